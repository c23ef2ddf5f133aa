#include "builder_support.h"

#include <cstdio>
#include <cstdlib>

#include "PrnTokenWalk.h"

namespace buildertest {

Bytes Hex(const char* text) {
  Bytes out;
  std::string digits;
  for (const char* p = text; *p; ++p)
    if (*p != ' ') digits += *p;
  for (size_t i = 0; i + 1 < digits.size(); i += 2)
    out.push_back(static_cast<unsigned char>(std::strtoul(digits.substr(i, 2).c_str(), nullptr, 16)));
  return out;
}

std::string ToHex(const Bytes& bytes) {
  std::string out;
  char hex[4];
  for (unsigned char b : bytes) {
    std::snprintf(hex, sizeof hex, out.empty() ? "%02X" : " %02X", b);
    out += hex;
  }
  return out;
}

PrnTokenList* ListOf(long station, std::initializer_list<Tok> tokens) {
  PrnTokenList* list = CreateCommandList(station);
  for (const Tok& t : tokens) {
    PrnCommandToken* token = AddCommandToken(list, t.code, t.data.data(),
                                             static_cast<long>(t.data.size()), t.parameter);
    token->parameter2 = t.parameter2;
    token->parameter3 = t.parameter3;
  }
  return list;
}

std::vector<long> Codes(const PrnTokenList* list) { return PrnTokenTypes(list); }

Bytes Joined(const PrnTokenList* list) { return PrnTokenBytes(list); }

long SumOfLengths(const PrnTokenList* list) {
  long sum = 0;
  for (const PrnTokenNode* n = PrnOldestToken(list); n; n = PrnNewerToken(n))
    sum += n->token->length;
  return sum;
}

std::vector<LogLine>& Lines() {
  static std::vector<LogLine> lines;
  return lines;
}

namespace {
void Record(DWORD category, const char* function, const char* line) {
  Lines().push_back(LogLine{category, function ? function : "", line ? line : ""});
}
}  // namespace

bool Logged(const char* textPart) {
  for (const LogLine& line : Lines())
    if (line.text.find(textPart) != std::string::npos) return true;
  return false;
}

BuilderTest::BuilderTest() : device_(nullptr, nullptr, &caps_) {
  caps_.capRecPresent = 1;
  caps_.capRecPapercut = 1;
  caps_.capRecBarCode = 1;
  caps_.capRecRuledLine = 3;
  input_.recLineSpacing = 30;
  input_.jrnLineSpacing = 24;
  input_.recLineWidth = 576;
  input_.recLinesToPaperCut = 4;
}

void BuilderTest::SetUp() {
  CLogContext::SetLineObserver(&Record);
  Lines().clear();
}

void BuilderTest::TearDown() { CLogContext::SetLineObserver(nullptr); }

Bytes BuilderTest::Render(PrnTokenList* list) {
  EXPECT_EQ(0, device_.ConvertTokens(&input_, &state_, list, 0));
  EXPECT_EQ(SumOfLengths(list), list->totalBytes);
  Bytes out = Joined(list);
  FreeCommandList(list);
  return out;
}

}  // namespace buildertest
