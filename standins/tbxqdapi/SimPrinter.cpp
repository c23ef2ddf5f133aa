#include "SimPrinter.h"

#include <algorithm>

#include "SimCommandStream.h"
#include "TbxSim.h"

namespace {

constexpr DWORD kStoppingBits = TBXQD_ST_VP_VOLTAGE | TBXQD_ST_UNRECOVERABLE |
                                TBXQD_ST_HEAD_TEMPERATURE | TBXQD_ST_AUTOCUTTER |
                                TBXQD_ST_MARK_PAPER_JAM;
// What a printer reset clears; the other errors last as long as their cause.
constexpr DWORD kRecoverableBits =
    TBXQD_ST_AUTOCUTTER | TBXQD_ST_MARK_PAPER_JAM | TBXQD_ST_RESET_REQUEST;

// Counters the printer keeps: receipt line feeds, head powered count, cuts, powered minutes,
// and the accumulated (never reset) line feeds, cuts and powered minutes.
constexpr uint16_t kCounters[] = {20, 21, 50, 70, 148, 178, 198};
constexpr uint16_t kLineFeedCounters[] = {20, 148};
constexpr uint16_t kCutCounters[] = {50, 178};

// Replies carry each nibble as a byte 0xE0 | nibble between the frame bytes 0x0E and 0x00.
constexpr uint8_t kFrameStart = 0x0E, kFrameEnd = 0x00, kNibble = 0xE0;

constexpr uint8_t kDle = 0x10, kDc2 = 0x12, kEsc = 0x1B, kGs = 0x1D, kLf = 0x0A;

}  // namespace

void SimPrinter::PowerOn() {
  online_ = true;
  powered_ = true;
  resetOfflineMs_ = TBXSIM_DEFAULT_RESET_OFFLINE_MS;
  resetEnds_ = {};
  resetPending_ = false;
  coverOpen_ = false;
  paper_ = TBXSIM_PAPER_PRESENT;
  drawerOpen_ = false;
  drawerKickOpens_ = true;
  conditionBits_ = 0;
  overrideStatus_ = false;
  std::fill(std::begin(switches_), std::end(switches_), 0);
  switchesLocked_ = false;
  SetMemory(TBXSIM_DEFAULT_NV_MEMORY, TBXSIM_DEFAULT_USER_MEMORY,
            TBXSIM_DEFAULT_USER_MEMORY_DEFRAG);
  nvGraphics_.clear();
  counters_.clear();
  for (uint16_t c : kCounters) counters_[c] = 0;
  ids_ = {{1, {1, 0x01}}, {2, {1, 0x02}}, {3, {1, 0x12}}};
  written_.clear();
  printed_.clear();
  pending_.clear();
  held_.clear();
  replies_.clear();
  completions_.clear();
  scripted_.clear();
  replyDelay_ = {};
  replySplit_ = 0;
  writeDelayMs_ = 0;
  completionPass_ = -1;
  writePass_ = -1;
  returnPass_ = -1;
  injected_.clear();
  calls_.clear();
  lockOwner_ = 0;
  lockDepth_ = 0;
  reportDelay_ = {};
  std::fill(std::begin(owedIds_), std::end(owedIds_), 0);
  reusedIdWrites_ = 0;
  lastReported_ = StatusWord();
}

DWORD SimPrinter::StatusWord() const {
  if (overrideStatus_) return overrideWord_;
  if (!Online()) return TBXQD_ST_OFFLINE;
  DWORD word = TBXQD_ST_READY | conditionBits_;
  if (coverOpen_) word |= TBXQD_ST_COVER_OPEN;
  if (paper_ == TBXSIM_PAPER_NEAR_END) word |= TBXQD_ST_PAPER_NEAR_END;
  // An empty roll leaves the near-end sensor uncovered too.
  if (paper_ == TBXSIM_PAPER_EMPTY) word |= TBXQD_ST_PAPER_NEAR_END | TBXQD_ST_PAPER_END;
  if (!drawerOpen_) word |= TBXQD_ST_DRAWER_CLOSED;
  return word;
}

bool SimPrinter::Stopped() const {
  return coverOpen_ || paper_ == TBXSIM_PAPER_EMPTY || (conditionBits_ & kStoppingBits) != 0;
}

void SimPrinter::SetStatusBits(DWORD mask, DWORD bits) {
  mask &= TBXQD_ST_SETTABLE;
  conditionBits_ = (conditionBits_ & ~mask) | (bits & mask);
}

void SimPrinter::Accept(const uint8_t* data, size_t length, Clock::time_point now) {
  written_.insert(written_.end(), data, data + length);
  for (size_t i = 0; i + 2 < length; ++i) {
    if (data[i] != 0x12 || data[i + 1] != 0x71 || (data[i + 2] & 0xF0) != 0x80) continue;
    int& owed = owedIds_[data[i + 2] & 0x0F];
    if (owed > 0) ++reusedIdWrites_;
    ++owed;
  }
  if (Stopped()) {
    held_.insert(held_.end(), data, data + length);
  } else {
    Feed(data, length, now);
  }
}

void SimPrinter::Resume(Clock::time_point now) {
  if (Stopped() || held_.empty()) return;
  std::vector<uint8_t> held;
  held.swap(held_);
  Feed(held.data(), held.size(), now);
}

void SimPrinter::ResetForRecovery(Clock::time_point now) {
  held_.clear();
  pending_.clear();
  replies_.clear();
  completions_.clear();
  std::fill(std::begin(owedIds_), std::end(owedIds_), 0);
  conditionBits_ &= ~kRecoverableBits;
  if (resetOfflineMs_ == 0) return;
  resetEnds_ = now + std::chrono::milliseconds(resetOfflineMs_);
  resetPending_ = true;
}

void SimPrinter::SetPower(bool on) {
  if (!on) {
    held_.clear();
    pending_.clear();
    replies_.clear();
    completions_.clear();
    std::fill(std::begin(owedIds_), std::end(owedIds_), 0);
  }
  powered_ = on;
}

void SimPrinter::Feed(const uint8_t* data, size_t length, Clock::time_point now) {
  pending_.insert(pending_.end(), data, data + length);
  size_t at = 0;
  while (at < pending_.size()) {
    const size_t n = SimCommandLength(pending_.data() + at, pending_.size() - at);
    if (n == 0) break;
    printed_.insert(printed_.end(), pending_.begin() + at, pending_.begin() + at + n);
    Execute(pending_.data() + at, n, now);
    at += n;
  }
  pending_.erase(pending_.begin(), pending_.begin() + at);
  // The drawer kick leaves out its connector byte for drawers other than 1 and 2, so a
  // write that ends in DLE DC4 1 t is a whole four-byte kick.
  if (pending_.size() == 4 && pending_[0] == kDle && pending_[1] == 0x14 && pending_[2] == 1) {
    KickDrawer();
    pending_.clear();
  }
}

void SimPrinter::Execute(const uint8_t* c, size_t length, Clock::time_point now) {
  if (length == 1) {
    if (c[0] == kLf) Count(kLineFeedCounters[0], kLineFeedCounters[1]);
    return;
  }
  const uint8_t prefix = c[0], letter = c[1];
  if (prefix == kDc2 && letter == 'q') {
    completions_.push_back({uint8_t(c[2] | 0x80), now + replyDelay_});
  } else if (prefix == kDc2 && letter == 'l') {
    ReplySwitches(now);
  } else if (prefix == kDc2 && letter == 'w') {
    if (!switchesLocked_ && c[2] > 0x80 && c[2] <= 0x80 + kSwitchCount) {
      switches_[c[2] - 0x81] = c[3];
    }
  } else if (prefix == kDc2 && letter == '*') {
    if (c[2] == '1') {  // defragment: the NV graphics area grows by what user memory gains
      nvFree_ += userFreeDefrag_ - userFree_;
      userFree_ = userFreeDefrag_;
    } else if (c[2] == '2') {
      ReplyMemory(userFree_, now);
    } else if (c[2] == '6') {
      ReplyMemory(userFreeDefrag_, now);
    }
  } else if (prefix == kGs && (letter == '(' || letter == '8')) {
    if (letter == '(' && length >= 7 && c[2] == 'L' && c[6] == 3) {
      ReplyMemory(nvFree_, now);
    } else {
      ExecuteGraphics(c, length);
    }
  } else if (prefix == kGs && letter == 'g' && c[2] == '0') {
    auto it = counters_.find(uint16_t(c[4] | (c[5] << 8)));
    if (it != counters_.end()) it->second = 0;
  } else if (prefix == kGs && letter == 'V') {
    Count(kCutCounters[0], kCutCounters[1]);
  } else if ((prefix == kDle && letter == 0x14) || (prefix == kEsc && letter == 'p')) {
    KickDrawer();
  }
}

// GS 8 L stores an NV graphic (fn 67), GS ( L fn 66 deletes one; both name it by two key
// code bytes.
void SimPrinter::ExecuteGraphics(const uint8_t* c, size_t length) {
  if (c[2] != 'L') return;
  if (c[1] == '8' && length >= 12 && c[8] == 67) {
    StoreNvGraphic(c, length);
  } else if (c[1] == '(' && length >= 9 && c[6] == 66) {
    const uint16_t key = uint16_t(c[7] | (c[8] << 8));
    auto it = nvGraphics_.find(key);
    if (it != nvGraphics_.end()) {
      nvFree_ += it->second;
      nvGraphics_.erase(it);
    }
  }
}

// GS 8 L p1..p4 m fn a kc1 kc2 b xL xH yL yH c d...: p counts the 11 bytes from m to c
// plus the data; the printer keeps 14 bytes of its own beside the data.
void SimPrinter::StoreNvGraphic(const uint8_t* c, size_t length) {
  const uint16_t key = uint16_t(c[10] | (c[11] << 8));
  const DWORD need = DWORD(length - 7 - 11) + 14;
  auto old = nvGraphics_.find(key);
  const DWORD freed = old != nvGraphics_.end() ? old->second : 0;
  if (nvFree_ + freed < need) return;  // no room: the graphic is not stored
  nvFree_ = nvFree_ + freed - need;
  nvGraphics_[key] = need;
}

void SimPrinter::Reply(std::vector<uint8_t> bytes, Clock::time_point now) {
  if (!scripted_.empty()) {
    bytes = std::move(scripted_.front());
    scripted_.pop_front();
  }
  for (uint8_t b : bytes) replies_.push_back({b, now + replyDelay_});
}

void SimPrinter::ReplyMemory(DWORD value, Clock::time_point now) {
  std::vector<uint8_t> frame{kFrameStart};
  for (int i = 0; i < 8; ++i) frame.push_back(uint8_t(kNibble | ((value >> (4 * i)) & 0x0F)));
  frame.push_back(kFrameEnd);
  Reply(std::move(frame), now);
}

void SimPrinter::ReplySwitches(Clock::time_point now) {
  std::vector<uint8_t> frame{kFrameStart};
  for (uint8_t v : switches_) {
    frame.push_back(uint8_t(kNibble | (v & 0x0F)));
    frame.push_back(uint8_t(kNibble | (v >> 4)));
  }
  frame.push_back(kFrameEnd);
  Reply(std::move(frame), now);
}

void SimPrinter::Count(uint16_t first, uint16_t second) {
  ++counters_[first];
  ++counters_[second];
}

void SimPrinter::KickDrawer() {
  if (drawerKickOpens_) drawerOpen_ = true;
}

size_t SimPrinter::Take(std::deque<TimedByte>* queue, uint8_t* buffer, size_t capacity,
                        Clock::time_point now, LONG* pass) {
  size_t n = 0;
  while (n < capacity && !queue->empty() && queue->front().ready <= now &&
         !(pass && *pass == 0)) {
    buffer[n++] = queue->front().value;
    queue->pop_front();
    if (pass && *pass > 0) --*pass;
  }
  return n;
}

namespace {
// One pass of a hold: none held (< 0), none left (0), or one used up.
bool TakePass(LONG* pass) {
  if (*pass < 0) return true;
  if (*pass == 0) return false;
  --*pass;
  return true;
}
}  // namespace

bool SimPrinter::TakeWritePass() { return TakePass(&writePass_); }
bool SimPrinter::TakeReturnPass() { return TakePass(&returnPass_); }

size_t SimPrinter::TakeReplies(uint8_t* buffer, size_t capacity, Clock::time_point now) {
  if (replySplit_ != 0) capacity = std::min(capacity, replySplit_);
  return Take(&replies_, buffer, capacity, now);
}

size_t SimPrinter::TakeCompletions(uint8_t* buffer, size_t capacity, Clock::time_point now) {
  const size_t n = Take(&completions_, buffer, capacity, now, &completionPass_);
  for (size_t i = 0; i < n; ++i) {
    int& owed = owedIds_[buffer[i] & 0x0F];
    if (owed > 0) --owed;
  }
  return n;
}

bool SimPrinter::NextReplyTime(Clock::time_point* when) const {
  if (replies_.empty()) return false;
  *when = replies_.front().ready;
  return true;
}

void SimPrinter::SetSwitch(int number, uint8_t value) {
  if (number >= 1 && number <= kSwitchCount) switches_[number - 1] = value;
}

uint8_t SimPrinter::Switch(int number) const {
  return number >= 1 && number <= kSwitchCount ? switches_[number - 1] : 0;
}

void SimPrinter::SetMemory(DWORD nv, DWORD user, DWORD userDefrag) {
  nvFree_ = nv;
  userFree_ = user;
  userFreeDefrag_ = std::max(user, userDefrag);
}

void SimPrinter::GetMemory(DWORD* nv, DWORD* user, DWORD* userDefrag) const {
  if (nv) *nv = nvFree_;
  if (user) *user = userFree_;
  if (userDefrag) *userDefrag = userFreeDefrag_;
}

bool SimPrinter::Counter(uint16_t index, DWORD* value) const {
  auto it = counters_.find(index);
  if (it == counters_.end()) return false;
  *value = it->second;
  return true;
}

void SimPrinter::SetPrinterId(uint8_t index, uint8_t type, uint8_t value) {
  ids_[index] = {type, value};
}

void SimPrinter::PrinterId(uint8_t index, uint8_t* type, uint8_t* value) const {
  auto it = ids_.find(index);
  *type = it != ids_.end() ? it->second.first : 0;
  *value = it != ids_.end() ? it->second.second : 0;
}

void SimPrinter::FailNext(const std::string& entry, LONG result, int count) {
  auto& queue = injected_[entry];
  for (int i = 0; i < count; ++i) queue.push_back(result);
}

bool SimPrinter::TakeCall(const std::string& entry, LONG* result) {
  ++calls_[entry];
  auto it = injected_.find(entry);
  if (it == injected_.end() || it->second.empty()) return false;
  *result = it->second.front();
  it->second.pop_front();
  return true;
}

LONG SimPrinter::CallCount(const std::string& entry) const {
  auto it = calls_.find(entry);
  return it == calls_.end() ? 0 : it->second;
}

void SimPrinter::Lock(LONG handle) {
  lockOwner_ = handle;
  ++lockDepth_;
}

bool SimPrinter::Unlock(LONG handle) {
  if (lockOwner_ != handle || lockDepth_ == 0) return false;
  if (--lockDepth_ == 0) lockOwner_ = 0;
  return true;
}
