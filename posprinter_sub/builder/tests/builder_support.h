// Shared by the command builder tests: hex byte strings, lists made of (code, parameter)
// rows, rendering a list into the bytes the printer would get, and the log lines written.
#pragma once
#include "CommandToken.h"
#include "LogContext.h"
#include "RJDevice.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace buildertest {

using Bytes = std::vector<unsigned char>;

// "1B 4A 00" -> bytes; spaces are ignored.
Bytes Hex(const char* text);
std::string ToHex(const Bytes& bytes);

// A token to put into a list: code, parameter, optional data, optional further words.
struct Tok {
  Tok(long c, long p = -1, std::string d = std::string(), long p2 = 0, long p3 = 0)
      : code(c), parameter(p), data(std::move(d)), parameter2(p2), parameter3(p3) {}
  long code;
  long parameter;
  std::string data;
  long parameter2;
  long parameter3;
};

// A list of `station` whose tokens render in the order given (each added at the head).
PrnTokenList* ListOf(long station, std::initializer_list<Tok> tokens);

// Codes of the list in render order (tail to head).
std::vector<long> Codes(const PrnTokenList* list);
// Concatenated bytes of the list in render order.
Bytes Joined(const PrnTokenList* list);
// Sum of the token lengths.
long SumOfLengths(const PrnTokenList* list);

// Every log line written while a BuilderTest runs.
struct LogLine {
  DWORD category;
  std::string function;
  std::string text;
};
std::vector<LogLine>& Lines();
bool Logged(const char* textPart);

// A receipt printer with a 576-dot line (80 mm paper at 203 dpi), 30-dot line spacing,
// and the capabilities the sub-module reports.
class BuilderTest : public ::testing::Test {
 protected:
  BuilderTest();
  void SetUp() override;
  void TearDown() override;

  // Renders `list` (freed afterwards) and returns its bytes.
  Bytes Render(PrnTokenList* list);
  Bytes Render(long station, std::initializer_list<Tok> tokens) {
    return Render(ListOf(station, tokens));
  }

  PrnCapabilityBlock caps_{};
  PrnInputProperty input_{};
  PrnStationState state_{};
  CRJDevice device_;
};

}  // namespace buildertest
