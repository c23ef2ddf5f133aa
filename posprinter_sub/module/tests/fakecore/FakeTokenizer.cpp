// The fake core's print-data tokenizer: enough of the escape grammar for sub-module tests.
#include "FakeCore.h"

#include <cctype>
#include <cstring>
#include <string>

namespace fakecore {
namespace {

constexpr long kText = 101;
constexpr long kLineFeed = 157;

// Sequence (after ESC "|"; "#" marks a number, "!" the off prefix) -> token code.
struct Sequence {
  const char* form;
  long token;
};
constexpr Sequence kSequences[] = {
    {"bC", 104},  {"!bC", 128}, {"iC", 106},  {"!iC", 129}, {"lA", 107},
    {"rA", 109},  {"cA", 114},  {"N", 115},   {"P", 116},   {"#P", 116},
    {"fP", 117},  {"#fP", 117}, {"lF", 122},  {"#lF", 122}, {"uF", 123},
    {"#uF", 123}, {"uC", 124},  {"#uC", 124}, {"!uC", 131}, {"#B", 121},
};

long Lookup(const std::string& form) {
  for (const Sequence& s : kSequences)
    if (form == s.form) return s.token;
  return 0;
}

void Add(const FakeCore& core, PrnTokenList* list, long type, const char* data, long length,
         long parameter) {
  core.AddToken(list, type, data, length, parameter);
}

// Parses ESC "|" [!] [digits] lowercase* Uppercase at data[pos] (pos at the ESC). Returns
// the bytes consumed, 0 when the sequence is not one of the table.
long ParseSequence(const char* data, long pos, long length, long* token, long* number) {
  long p = pos + 1;
  if (p >= length || data[p] != '|') return 0;
  ++p;
  std::string form;
  if (p < length && data[p] == '!') form += data[p++];
  long value = -1;
  if (p < length && std::isdigit(static_cast<unsigned char>(data[p]))) {
    value = 0;
    int digits = 0;
    while (p < length && std::isdigit(static_cast<unsigned char>(data[p]))) {
      if (++digits > 9) return 0;
      value = value * 10 + (data[p++] - '0');
    }
    form += '#';
  }
  while (p < length && std::islower(static_cast<unsigned char>(data[p]))) form += data[p++];
  if (p >= length || !std::isupper(static_cast<unsigned char>(data[p]))) return 0;
  form += data[p++];
  if (form == "#C" && value >= 1 && value <= 4) {
    *token = 109 + value;  // 1C..4C: 110..113
  } else {
    *token = Lookup(form);
  }
  if (!*token) return 0;
  *number = value;
  return p - pos;
}

}  // namespace

void TokenizeInto(const FakeCore& core, const char* data, long length, PrnTokenList* list,
                  long* errorWord) {
  if (!data) return;
  long start = 0;
  long pos = 0;
  auto flushText = [&](long end) {
    if (end > start) Add(core, list, kText, data + start, end - start, -1);
  };
  while (pos < length) {
    const char c = data[pos];
    if (c == '\r' || c == '\n') {
      flushText(pos);
      const bool pair = c == '\r' && pos + 1 < length && data[pos + 1] == '\n';
      Add(core, list, kLineFeed, nullptr, 0, -1);
      pos += pair ? 2 : 1;
      start = pos;
    } else if (c == 0x1B) {
      long token = 0, number = -1;
      const long used = ParseSequence(data, pos, length, &token, &number);
      if (used == 0) {
        if (errorWord) *errorWord = OPOS_E_FAILURE;  // its bytes stay in the text
        ++pos;
        continue;
      }
      flushText(pos);
      Add(core, list, token, nullptr, 0, number);
      pos += used;
      start = pos;
    } else {
      ++pos;
    }
  }
  flushText(length);
}

}  // namespace fakecore
