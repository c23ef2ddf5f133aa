// A claimed device for the tests of ClearOutput, the refused methods, DirectIO, statistics
// and CheckHealth, with the BSTRs the core passes for pString and the statistics buffer.
#pragma once
#include "DeviceFixture.h"

#include <oleauto.h>

#include <string>

namespace devicetest {

// A BSTR the test owns; the sub-module may free it and store a new one through address().
class TestBstr {
 public:
  explicit TestBstr(const wchar_t* text) : bstr_(SysAllocString(text)) {}
  ~TestBstr() { SysFreeString(bstr_); }
  TestBstr(const TestBstr&) = delete;
  TestBstr& operator=(const TestBstr&) = delete;
  PrnBstr* address() { return &bstr_; }
  BSTR get() const { return bstr_; }
  // The text as the test compares it (ASCII in every test).
  std::string text() const {
    std::string s;
    for (const wchar_t* p = bstr_; p && *p; ++p) s += static_cast<char>(*p);
    return s;
  }

 private:
  BSTR bstr_;
};

inline std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

class MiscDevice : public DeviceCycle {
 protected:
  // Claimed and enabled, the printer's record cleared. A condition set by beforeEnable
  // reaches the status store (and its gate) through the enable's first status word.
  void ClaimEnable(void (*beforeEnable)() = nullptr) {
    SetSwitches(0x04, 0xC8, 0x04);  // as the settings want them: no switch writes
    ASSERT_EQ(OpenAndClaim(), 0);
    if (beforeEnable) beforeEnable();
    ASSERT_EQ(Enable(), 0);
    TbxSim_ClearWritten(kPrinter);
  }
  // Until the status path has taken the printer off line.
  void GoOffline() {
    TbxSim_SetOnline(kPrinter, FALSE);
    ASSERT_TRUE(Pump([&] { return HasStatusCode(core_, OPOS_PS_OFF_OFFLINE); }));
  }
  // Frees what the sub-module attached to the test's snapshot (service 1015).
  void FreeSnapshotTexts() {
    PrnSnapshotArgs block{&rec_.snapshot};
    EXPECT_EQ(core_.Other(PRN_SERVICE_FREE_RESULT_RECORD, &block), 0);
    rec_.snapshot.checkHealthText = nullptr;
  }
};

// A list pointer the sub-module must leave alone.
inline PrnTokenList* const kUntouchedList = reinterpret_cast<PrnTokenList*>(0x5A5A5A5A);

}  // namespace devicetest
