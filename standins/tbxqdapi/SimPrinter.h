// One simulated thermal printer: its sensors and error conditions, memory, counters, the bytes
// it was sent, and the replies it produces by executing them. Not thread-safe on its own:
// SimHost calls it under its lock.
#pragma once
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

class SimPrinter {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr int kSwitchCount = 40;

  SimPrinter() { PowerOn(); }

  // Every condition, memory, counter, record and setting back to its power-on value.
  void PowerOn();

  DWORD StatusWord() const;
  // Offline while switched off line, and for a short while after a reset.
  bool Online() const { return powered_ && online_ && Clock::now() >= resetEnds_; }
  // True while a condition holds that keeps the printer from printing.
  bool Stopped() const;

  // Takes bytes written by the host: records them, then prints them or holds them while the
  // printer is stopped.
  void Accept(const uint8_t* data, size_t length, Clock::time_point now);
  // Prints the held bytes once nothing stops the printer any more.
  void Resume(Clock::time_point now);
  // Printer reset: held and half-received bytes, unread input and the recoverable errors go,
  // and the printer is offline until the reset is over (ResetOfflineTime after now).
  void ResetForRecovery(Clock::time_point now);
  // Power off: offline, and every byte not printed yet and every answer not read yet is
  // lost; the record of what was written and printed stays. Power on: online again.
  void SetPower(bool on);
  void SetResetOfflineTime(DWORD ms) { resetOfflineMs_ = ms; }
  // When the last reset is over, while that has not been reported yet (FinishReset).
  bool PendingResetEnd(Clock::time_point* when) const {
    *when = resetEnds_;
    return resetPending_;
  }
  void FinishReset() { resetPending_ = false; }

  // Reply bytes (DirectIOEx reads) and completion bytes (the immediate read) that are ready at
  // now, at most capacity of them; chunk (0: no limit) caps a reply read further.
  size_t TakeReplies(uint8_t* buffer, size_t capacity, Clock::time_point now);
  size_t TakeCompletions(uint8_t* buffer, size_t capacity, Clock::time_point now);
  // Completion bytes still to be read, held or not yet ready included.
  size_t PendingCompletions() const { return completions_.size(); }
  // When the next reply byte becomes ready; false when none is queued.
  bool NextReplyTime(Clock::time_point* when) const;

  const std::vector<uint8_t>& Written() const { return written_; }
  void ClearWritten() { written_.clear(); }
  // Bytes executed (printed), in order; what a power loss dropped never gets here.
  const std::vector<uint8_t>& Printed() const { return printed_; }

  // Conditions.
  void SetOnline(bool online) { online_ = online; }
  void SetCoverOpen(bool open) { coverOpen_ = open; }
  void SetPaper(int paper) { paper_ = paper; }
  void SetDrawerOpen(bool open) { drawerOpen_ = open; }
  void SetDrawerKickOpens(bool opens) { drawerKickOpens_ = opens; }
  void SetStatusBits(DWORD mask, DWORD bits);
  void OverrideStatus(bool enable, DWORD word) {
    overrideStatus_ = enable;
    overrideWord_ = word;
  }

  // Behaviour of replies and writes.
  void SetReplyDelay(DWORD ms) { replyDelay_ = std::chrono::milliseconds(ms); }
  void SetReplySplit(DWORD chunk) { replySplit_ = chunk; }
  DWORD WriteDelay() const { return writeDelayMs_; }
  void SetWriteDelay(DWORD ms) { writeDelayMs_ = ms; }
  // pass < 0: nothing held; else only the next pass completion bytes (or writes) go on and
  // the later ones wait for the next call.
  void HoldCompletions(LONG pass) { completionPass_ = pass; }
  void HoldWrites(LONG pass) { writePass_ = pass; }
  void HoldWriteReturns(LONG pass) { returnPass_ = pass; }
  // True when a write may go on now (it then uses up one of the writes let through).
  bool TakeWritePass();
  bool TakeReturnPass();
  LONG WaitingWrites() const { return waitingWrites_; }
  void SetWaitingWrites(LONG count) { waitingWrites_ = count; }
  LONG WaitingReturns() const { return waitingReturns_; }
  void SetWaitingReturns(LONG count) { waitingReturns_ = count; }
  void ScriptReply(const uint8_t* bytes, size_t length) {
    scripted_.emplace_back(bytes, bytes + length);
  }

  // Memory, counters, identification.
  void SetSwitch(int number, uint8_t value);
  uint8_t Switch(int number) const;
  void LockSwitches(bool locked) { switchesLocked_ = locked; }
  void SetMemory(DWORD nv, DWORD user, DWORD userDefrag);
  void GetMemory(DWORD* nv, DWORD* user, DWORD* userDefrag) const;
  void SetCounter(uint16_t index, DWORD value) { counters_[index] = value; }
  bool Counter(uint16_t index, DWORD* value) const;
  void SetPrinterId(uint8_t index, uint8_t type, uint8_t value);
  void PrinterId(uint8_t index, uint8_t* type, uint8_t* value) const;

  // Failure injection and call counting, by entry point name.
  void FailNext(const std::string& entry, LONG result, int count);
  // Counts the call; true with *result set when an injected failure is due.
  bool TakeCall(const std::string& entry, LONG* result);
  LONG CallCount(const std::string& entry) const;

  // The SDK's printer lock (per printer, owned by one handle, re-entrant for it).
  bool LockFree(LONG handle) const { return lockOwner_ == 0 || lockOwner_ == handle; }
  void Lock(LONG handle);
  bool Unlock(LONG handle);

  // Status changes reach the callbacks this long after they happen.
  void SetReportDelay(DWORD ms) { reportDelay_ = std::chrono::milliseconds(ms); }
  Clock::duration ReportDelay() const { return reportDelay_; }
  // Accepted writes carrying a DC2 q id whose answer the printer still owed (produced or to
  // come, not read yet) for an earlier write.
  LONG ReusedIdWrites() const { return reusedIdWrites_; }

  DWORD LastReported() const { return lastReported_; }
  void SetLastReported(DWORD word) { lastReported_ = word; }

 private:
  struct TimedByte {
    uint8_t value;
    Clock::time_point ready;
  };

  void Feed(const uint8_t* data, size_t length, Clock::time_point now);
  void Execute(const uint8_t* command, size_t length, Clock::time_point now);
  void ExecuteGraphics(const uint8_t* command, size_t length);
  void StoreNvGraphic(const uint8_t* command, size_t length);
  void Reply(std::vector<uint8_t> bytes, Clock::time_point now);
  void ReplyMemory(DWORD value, Clock::time_point now);
  void ReplySwitches(Clock::time_point now);
  void Count(uint16_t first, uint16_t second);
  void KickDrawer();
  static size_t Take(std::deque<TimedByte>* queue, uint8_t* buffer, size_t capacity,
                     Clock::time_point now, LONG* pass = nullptr);

  bool online_ = true;
  bool powered_ = true;
  DWORD resetOfflineMs_ = 0;  // how long a reset keeps it offline
  Clock::time_point resetEnds_{};
  bool resetPending_ = false;
  bool coverOpen_ = false;
  int paper_ = 0;
  bool drawerOpen_ = false;
  bool drawerKickOpens_ = true;
  DWORD conditionBits_ = 0;
  bool overrideStatus_ = false;
  DWORD overrideWord_ = 0;

  uint8_t switches_[kSwitchCount] = {};
  bool switchesLocked_ = false;
  DWORD nvFree_ = 0, userFree_ = 0, userFreeDefrag_ = 0;
  std::map<uint16_t, DWORD> nvGraphics_;  // key code pair -> NV bytes it holds
  std::map<uint16_t, DWORD> counters_;
  std::map<uint8_t, std::pair<uint8_t, uint8_t>> ids_;  // index -> (type, value)

  std::vector<uint8_t> written_;
  std::vector<uint8_t> printed_;
  std::vector<uint8_t> pending_;  // the start of a command still being received
  std::vector<uint8_t> held_;     // received while stopped
  std::deque<TimedByte> replies_;
  std::deque<TimedByte> completions_;
  std::deque<std::vector<uint8_t>> scripted_;
  Clock::duration replyDelay_{};
  size_t replySplit_ = 0;
  DWORD writeDelayMs_ = 0;
  LONG completionPass_ = -1;
  LONG writePass_ = -1;
  LONG waitingWrites_ = 0;
  LONG returnPass_ = -1;
  LONG waitingReturns_ = 0;

  std::map<std::string, std::deque<LONG>> injected_;
  std::map<std::string, LONG> calls_;
  LONG lockOwner_ = 0;
  int lockDepth_ = 0;
  DWORD lastReported_ = 0;
  Clock::duration reportDelay_{};
  int owedIds_[16] = {};  // answers owed per DC2 q id: written, not lost, not read yet
  LONG reusedIdWrites_ = 0;
};
