// A fake printer core for tests of prennik.dll: loads the DLL, builds the core's records
// with the shared layouts, registers recording stdcall callbacks and hands every list it
// was given back through service 1003.
//
//   fakecore::FakeCore core;
//   ASSERT_TRUE(core.Load());                       // prennik.dll beside the test
//   ASSERT_EQ(core.Open("MyTestPrinter"), 0);       // initSubSO + callbacks 2001-2005
//   fakecore::CoreRecords rec;                      // input record, snapshot, station state
//   PrnPreStationTextArgs pre{&rec.input, 2, "abc", &rce};
//   core.Pre(PRN_METHOD_PRINT_NORMAL, &pre);
//   PrnTokenList* list = core.CreateList();         // tracked; freed by ~FakeCore
//   core.AddToken(list, 101, "A", 1, -1);
#pragma once
#include "Win.h"

#include "PrinterSubApi.h"

#include <string>
#include <vector>

namespace fakecore {

// The core's own version as it passes it to initSubSO (1.14.0).
inline constexpr long kCoreVersion = 1014000;

// Records as the core builds them for one call.
PrnInputProperty MakeInputProperty();                       // plain receipt defaults
PrnPropertySnapshot MakeSnapshot(const PrnInputProperty& input, long carryWord = 0);
PrnStationState MakeStationState();                         // every mode off, no buffers
PrnStatusRecord MakeStatusRecord();                         // every word -1

struct CoreRecords {
  CoreRecords();
  PrnInputProperty input;
  PrnPropertySnapshot snapshot;
  PrnStationState station;
};

struct StatusCall {
  bool hadRecord;
  PrnStatusRecord record;  // copy of the record at the call (all 0 when none)
  long code;
};
struct ErrorNotice {
  long resultCode;
  long resultCodeExtended;
  long severity;
  std::string text;
};
struct DirectIOEvent {
  long eventNumber;
};

using Exports = PrnEntryPoints;

class FakeCore {
 public:
  FakeCore();
  // Hands back every tracked list, terminates the open slot, frees the DLL.
  ~FakeCore();
  FakeCore(const FakeCore&) = delete;
  FakeCore& operator=(const FakeCore&) = delete;

  // LoadLibraryA and the nine exports by name; false when any is missing.
  [[nodiscard]] bool Load(const char* path = "prennik.dll");
  const Exports& exports() const { return exports_; }

  // initSubSO with a fresh snapshot and this object as callback context; on 0 registers
  // 2001-2005 (tokenizer, status function set, response code, error notice, status event).
  [[nodiscard]] long Open(const char* deviceName, long coreVersion = kCoreVersion);
  // terminateSubSO of the open slot.
  long Close();
  // Frees the DLL as a core would that never calls terminateSubSO: the tracked lists go back
  // first, the slot stays taken.
  void FreeWithoutTerminate();
  long slot() const { return slot_; }
  bool open() const { return open_; }
  const PrnPropertySnapshot& openSnapshot() const { return openSnapshot_; }

  long Pre(long methodId, void* block) const;
  long Execute(long methodId, void* block) const;
  long Other(long serviceId, void* block) const;
  long Capability(PrnCapabilityBlock* block) const;

  // Service 1018; the list is tracked and handed back by HandBackAll or the destructor.
  PrnTokenList* CreateList(long station = PRN_STATION_RECEIPT);
  // Service 1013 on the list; returns the new token (NULL on failure).
  PrnCommandToken* AddToken(PrnTokenList* list, long type, const void* data, long length,
                            long parameter, long* result = nullptr) const;
  // A list the core received (an execute out word): tracked until handed back.
  void Track(PrnTokenList* list);
  // Service 1003 for one tracked list (untracked afterwards) / for all of them.
  long HandBack(PrnTokenList* list);
  void HandBackAll();
  size_t outstandingLists() const { return lists_.size(); }

  // What the callbacks recorded.
  std::vector<StatusCall> statusCalls;
  std::vector<long> responseIds;
  std::vector<ErrorNotice> errorNotices;
  std::vector<DirectIOEvent> directIOEvents;
  std::vector<std::string> tokenizedData;  // every string the tokenizer was handed
  HANDLE statusEvent() const { return statusEvent_; }

  // The registered functions, for tests that call them directly.
  static long SUBAPI_CALL Tokenize(PrnInputProperty* record, PrnStationState* stationState,
                                   char* data, long length, long charWidth, long charSpacing,
                                   PrnTokenList* list, long* errorWord, void* context);
  static long SUBAPI_CALL OnStatus(PrnStatusRecord* record, long code, void* context);
  static long SUBAPI_CALL OnDirectIOEvent(PrnDirectIOEventRecord* record, void* context);
  static long SUBAPI_CALL OnResponseCode(long responseId, void* context);
  static long SUBAPI_CALL OnErrorNotice(long resultCode, long resultCodeExtended,
                                        long severity, const char* errorText, void* context);
  PrnStatusFunctionSet statusFunctionSet() const;

 private:
  HMODULE module_ = nullptr;
  Exports exports_;
  long slot_ = -1;
  bool open_ = false;
  PrnPropertySnapshot openSnapshot_{};
  HANDLE statusEvent_ = nullptr;  // manual-reset, as the core creates it at claim
  std::vector<PrnTokenList*> lists_;
};

// The minimal print-data tokenizer behind FakeCore::Tokenize: text runs (101), line ends
// (157; CR LF is one), and ESC "|" sequences of a small table; an unknown sequence writes
// 111 to the error word and its bytes stay text. Adds through service 1013.
void TokenizeInto(const FakeCore& core, const char* data, long length, PrnTokenList* list,
                  long* errorWord);

}  // namespace fakecore
