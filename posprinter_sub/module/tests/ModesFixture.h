// A device of prennik.dll opened by the fake core, for methods that only build token lists
// (no printer is needed): pre and execute through the exports with the frame's promises
// checked on every call, and a list rendered into printer bytes through service 1010.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "FakeCore.h"
#include "PrnTokenWalk.h"

namespace modestest {

using Bytes = std::vector<unsigned char>;
using Codes = std::vector<long>;

// "1B 4A 00" -> the bytes.
inline Bytes Hex(const char* text) {
  Bytes bytes;
  char* end = nullptr;
  for (const char* p = text; *p; p = end) {
    const long v = std::strtol(p, &end, 16);
    if (end == p) break;
    bytes.push_back(static_cast<unsigned char>(v));
  }
  return bytes;
}

inline std::string ToHex(const Bytes& bytes) {
  std::string s;
  char b[4];
  for (unsigned char v : bytes) {
    std::snprintf(b, sizeof b, "%02X ", v);
    s += b;
  }
  return s;
}

// Token codes and bytes in render order (oldest first).
inline Codes CodesOf(const PrnTokenList* list) { return PrnTokenTypes(list); }
inline Bytes BytesOf(const PrnTokenList* list) { return PrnTokenBytes(list); }

// What an execute handler may never leave behind in a refused call's out word.
inline PrnTokenList* const kUntouched = reinterpret_cast<PrnTokenList*>(0x5EA1);

class ModesDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(core_.Load());
    ASSERT_EQ(core_.Open("ModesTestDevice"), 0);
  }

  // preMethod: ResultCodeExtended is cleared by every pre call. `block` ends with the
  // ResultCodeExtended word, which this sets up.
  template <class Block>
  long Pre(long method, Block block) {
    long rce = -1;
    block.resultCodeExtended = &rce;
    const long result = core_.Pre(method, &block);
    EXPECT_EQ(rce, 0) << "method " << method;
    return result;
  }

  // executeMethod: the ResultCode is also the snapshot's; a list that came back is tracked
  // (handed back through 1003 by the fake core).
  long Execute(long method, void* block, PrnTokenList* const* out = nullptr) {
    rec_.snapshot.resultCode = -1;
    const long result = core_.Execute(method, block);
    EXPECT_EQ(rec_.snapshot.resultCode, result) << "method " << method;
    if (out && *out && *out != kUntouched) core_.Track(*out);
    return result;
  }

  // A list as the core collects it: one token per code, text tokens carrying "AB".
  PrnTokenList* Buffer(const Codes& codes) {
    PrnTokenList* list = core_.CreateList();
    for (long code : codes)
      core_.AddToken(list, code, code == 101 ? "AB" : nullptr, code == 101 ? 2 : 0, -1);
    return list;
  }

  // Service 1010; the list's total then counts exactly its bytes.
  Bytes Render(PrnTokenList* list) {
    PrnRequestDeviceDataArgs render{&rec_.input, &rec_.station, list, 2};
    EXPECT_EQ(core_.Other(PRN_SERVICE_REQUEST_DEVICE_DATA, &render), 0);
    const Bytes bytes = BytesOf(list);
    EXPECT_EQ(list->totalBytes, static_cast<long>(bytes.size()));
    return bytes;
  }

  fakecore::FakeCore core_;
  fakecore::CoreRecords rec_;
};

}  // namespace modestest
