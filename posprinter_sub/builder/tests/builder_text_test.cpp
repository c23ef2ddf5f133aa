// Text tokens with a stub tokenizer, code pages, ValidateData's rules and the fixed tokens
// the execute handlers build.
#include "builder_support.h"

#include <cstring>

namespace buildertest {
namespace {

// What the stub tokenizer saw on its last call.
struct TokenizerCall {
  int calls = 0;
  std::string data;
  long length = -1;
  long charWidth = -1;
  long charSpacing = -1;
  bool terminated = false;
  void* context = nullptr;
};
TokenizerCall g_call;

// Splits the data at LF into text tokens (101) and line ends (157), adding each at the head
// as the core's tokenizer does; "?" in the data is a refused sequence (106).
long __stdcall StubTokenizer(PrnInputProperty*, PrnStationState*, char* data, long length,
                             long charWidth, long charSpacing, PrnTokenList* list,
                             long* errorWord, void* context) {
  ++g_call.calls;
  g_call.data.assign(data, static_cast<size_t>(length));
  g_call.length = length;
  g_call.charWidth = charWidth;
  g_call.charSpacing = charSpacing;
  g_call.terminated = data[length] == '\0';
  g_call.context = context;
  long start = 0;
  for (long i = 0; i <= length; ++i) {
    if (i < length && data[i] != '\n' && data[i] != '?') continue;
    if (i > start) (void)AddCommandToken(list, 101, data + start, i - start, -1);
    if (i < length && data[i] == '\n') (void)AddCommandToken(list, 157, nullptr, 0, -1);
    if (i < length && data[i] == '?') *errorWord = 106;
    start = i + 1;
  }
  return 0;
}

class TextTokens : public BuilderTest {
 protected:
  void SetUp() override {
    BuilderTest::SetUp();
    g_call = TokenizerCall{};
    device_.SetConvertFunction(&StubTokenizer);
    device_.SetCallbackContext(&g_call);
  }
  PrnTokenList* Text(const char* text, long station = 2, long skip = 0) {
    error_ = 0;
    return device_.AddTextTokens(&input_, &state_, station,
                                 reinterpret_cast<const unsigned char*>(text),
                                 static_cast<long>(std::strlen(text)), &error_, skip);
  }
  long error_ = 0;
};

TEST_F(TextTokens, TwoCharactersOnTheReceiptRenderInOrder) {
  PrnTokenList* list = Text("AB");
  EXPECT_EQ((std::vector<long>{401, 602, 100, 153, 101}), Codes(list));
  EXPECT_EQ(ToHex(Hex("1B 33 1E"                                         // line spacing 30
                      "1B 21 00 1B 61 00 1B 4D 00 1B 20 00 1D 42 00 1C 21 00 1C 53 00 00"
                      "1B 52 08 1B 74 01 1C 43 01"                       // power-on charset
                      "1B 7B 00"                                         // not upside down
                      "41 42")),
            ToHex(Render(list)));
  EXPECT_EQ("AB", g_call.data);
  EXPECT_TRUE(g_call.terminated);
  EXPECT_EQ(24, g_call.charWidth);
  EXPECT_EQ(0, g_call.charSpacing);
  EXPECT_EQ(&g_call, g_call.context);
}

TEST_F(TextTokens, TokenizerTokensFollowInTheOrderAdded) {
  PrnTokenList* list = Text("one\ntwo\nthree");
  EXPECT_EQ((std::vector<long>{401, 602, 100, 153, 101, 157, 101, 157, 101}), Codes(list));
  const Bytes bytes = Render(list);
  const std::string tail(bytes.end() - 13, bytes.end());
  EXPECT_EQ("one\ntwo\nthree", tail);
}

TEST_F(TextTokens, LetterQualityTokenWhenRequestedAndNotSkipped) {
  state_.settingsChanged = 1;
  input_.recLetterQuality = 1;
  PrnTokenList* list = Text("A");
  EXPECT_EQ((std::vector<long>{401, 602, 132, 100, 153, 101}), Codes(list));
  const Bytes bytes = Render(list);
  EXPECT_EQ(ToHex(Hex("1D 73 01")), ToHex(Bytes(bytes.begin() + 25, bytes.begin() + 28)));

  PrnTokenList* skipped = Text("A", 2, /*skip=*/1);
  EXPECT_EQ((std::vector<long>{401, 602, 100, 153, 101}), Codes(skipped));
  FreeCommandList(skipped);
}

TEST_F(TextTokens, EmptyTextHasNoFontOrSpacing) {
  state_.settingsChanged = 1;
  PrnTokenList* list = Text("");
  EXPECT_EQ((std::vector<long>{132, 100, 153}), Codes(list));
  EXPECT_EQ(1, g_call.calls);
  EXPECT_EQ(0, g_call.length);
  FreeCommandList(list);
}

TEST_F(TextTokens, StationFontSpacingAndUpsideDown) {
  device_.SetStationFont(1, 1, 2);
  state_.upsideDown = 1;
  PrnTokenList* list = Text("A", /*station=*/1);
  EXPECT_EQ(1, list->station);
  EXPECT_EQ((std::vector<long>{401, 601, 100, 153, 101}), Codes(list));
  EXPECT_EQ(16, g_call.charWidth);
  EXPECT_EQ(2, g_call.charSpacing);
  EXPECT_EQ(ToHex(Hex("1B 33 18"  // the journal's 24-dot spacing
                      "1B 21 00 1B 61 00 1B 4D 01 1B 20 02 1D 42 00 1C 21 01 1C 53 02 02"
                      "1B 52 08 1B 74 01 1C 43 01"
                      "1B 4A 00 1B 7B 01 41")),
            ToHex(Render(list)));

  device_.SetStationFont(2, 3, 0);
  FreeCommandList(Text("A"));
  EXPECT_EQ(28, g_call.charWidth);
}

TEST_F(TextTokens, TokenizerErrorReachesTheCaller) {
  PrnTokenList* list = Text("A?B");
  EXPECT_EQ(106, error_);
  FreeCommandList(list);
}

TEST_F(TextTokens, MissingTokenizerIsLoggedNotCalled) {
  device_.SetConvertFunction(nullptr);
  PrnTokenList* list = Text("AB");
  EXPECT_TRUE(Logged("No print-data tokenizer."));
  EXPECT_EQ((std::vector<long>{401, 602, 100, 153}), Codes(list));
  FreeCommandList(list);
}

// ---------------------------------------------------------------------------------------
// Callbacks into the core.

struct CoreCalls {
  long responseId = -1;
  long resultCode = -1, extended = -1, severity = -1;
  std::string text;
  void* context = nullptr;
};
CoreCalls g_core;

long __stdcall RecordResponse(long id, void* context) {
  g_core.responseId = id;
  g_core.context = context;
  return 0;
}

long __stdcall RecordError(long rc, long rce, long severity, const char* text, void* context) {
  g_core.resultCode = rc;
  g_core.extended = rce;
  g_core.severity = severity;
  g_core.text = text;
  g_core.context = context;
  return 0;
}

TEST_F(BuilderTest, CallbacksCarryTheCoreContext) {
  g_core = CoreCalls{};
  int context = 0;
  device_.SetCallbackContext(&context);
  device_.SetResponseCodeFunction(&RecordResponse);
  device_.SetErrorFunction(&RecordError);
  EXPECT_EQ(0, device_.NotifyResponseCode(13));
  EXPECT_EQ(13, g_core.responseId);
  EXPECT_EQ(&context, g_core.context);

  device_.SetErrorNoticeToCore(114, 1002, 2, "Autocutter error");
  EXPECT_EQ(114, g_core.resultCode);
  EXPECT_EQ(1002, g_core.extended);
  EXPECT_EQ(2, g_core.severity);
  EXPECT_EQ("Autocutter error", g_core.text);
  EXPECT_TRUE(Logged("[Info    ] lResultCode-114, lResultCodeExtended-1002"));
}

TEST_F(BuilderTest, MissingCallbacksAreLoggedNotCalled) {
  EXPECT_EQ(0, device_.NotifyResponseCode(1));
  device_.SetErrorNoticeToCore(111, 0, 2, nullptr);
  EXPECT_TRUE(Logged("No response-code function."));
  EXPECT_TRUE(Logged("No error-notice function."));
}

// ---------------------------------------------------------------------------------------

struct CodePageRow {
  long codePage;
  const char* bytes;  // the character-set token as rendered
};

TEST_F(BuilderTest, CodePagesSelectTableAndCharacterSet) {
  const CodePageRow rows[] = {
      {932, "1B 52 08 1B 74 01 1C 43 01"},  {1252, "1B 52 00 1B 74 10 1C 43 00"},
      {999, "1B 52 00 1B 74 10 1C 43 00"},  {1257, "1B 52 00 1B 74 10 1C 43 00"},
      {437, "1B 52 00 1B 74 00 1C 43 00"},  {737, "1B 52 00 1B 74 0E 1C 43 00"},
      {850, "1B 52 00 1B 74 02 1C 43 00"},  {852, "1B 52 00 1B 74 12 1C 43 00"},
      {855, "1B 52 00 1B 74 22 1C 43 00"},  {857, "1B 52 00 1B 74 0D 1C 43 00"},
      {858, "1B 52 00 1B 74 13 1C 43 00"},  {860, "1B 52 00 1B 74 03 1C 43 00"},
      {863, "1B 52 00 1B 74 04 1C 43 00"},  {865, "1B 52 00 1B 74 05 1C 43 00"},
      {866, "1B 52 00 1B 74 11 1C 43 00"},  {1250, "1B 52 00 1B 74 2D 1C 43 00"},
      {1251, "1B 52 00 1B 74 2E 1C 43 00"}, {1253, "1B 52 00 1B 74 2F 1C 43 00"},
      {1254, "1B 52 00 1B 74 30 1C 43 00"},
  };
  for (const CodePageRow& row : rows) {
    SCOPED_TRACE(row.codePage);
    device_.SelectCodeTable(row.codePage);
    PrnTokenList* list = CreateCommandList(2);
    device_.AddCharsetStateToken(list);
    EXPECT_EQ(ToHex(Hex(row.bytes)), ToHex(Render(list)));
  }
}

TEST_F(BuilderTest, DirectIOCharacterSetIsRemembered) {
  device_.SelectCodeTable(1252);
  PrnTokenList* list = CreateCommandList(2);
  device_.AddCharsetToken(8, list);
  device_.AddCharsetStateToken(list);
  EXPECT_EQ(3, list->totalBytes);
  EXPECT_EQ(ToHex(Hex("1B 52 08  1B 52 08 1B 74 10 1C 43 01")), ToHex(Render(list)));
}

TEST_F(BuilderTest, ResponseIdTokenIsDc2q) {
  PrnTokenList* list = ListOf(2, {{101, -1, "X"}});
  device_.AddDc2qToken(5, list);
  EXPECT_EQ(4, list->totalBytes);
  EXPECT_EQ((std::vector<long>{101, 710}), Codes(list));
  EXPECT_EQ(ToHex(Hex("58 12 71 85")), ToHex(Render(list)));
}

TEST_F(BuilderTest, CutPaperTokens) {
  struct {
    long percentage;
    const char* bytes;
  } rows[] = {
      {100, "1B 4A 00 1D 56 00 1B 4A 01"},
      {-1, "1B 4A 00 1D 56 00 1B 4A 01"},
      {101, "1B 4A 00 1D 56 01 1B 4A 01"},  // only exactly 100 is the full cut
      {99, "1B 4A 00 1D 56 01 1B 4A 01"},
      {1, "1B 4A 00 1D 56 01 1B 4A 01"},
      {0, "1B 4A 00 1B 4A 01"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.percentage);
    CRJDevice device(nullptr, nullptr, &caps_);
    PrnTokenList* list = CreateCommandList(2);
    device.AddCutToken(list, row.percentage);
    EXPECT_EQ((std::vector<long>{900, 403}), Codes(list));
    EXPECT_EQ(static_cast<long>(Hex(row.bytes).size()), list->totalBytes);
    EXPECT_EQ(1, device.CutDone());
    EXPECT_EQ(ToHex(Hex(row.bytes)), ToHex(Render(list)));
  }
}

TEST_F(BuilderTest, MarkFeedTokens) {
  struct {
    long type;
    std::vector<long> codes;
    const char* bytes;
  } rows[] = {
      {1, {900, 404}, "1B 4A 00 1D 0C"},
      {2, {900, 404}, "1B 4A 00 1D 0C"},
      {4, {404}, "1B 6A 44 1B 4A 05"},
      {8, {900, 404}, "1B 4A 00 1D 3C 1B 6A 44 1B 4A 05"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.type);
    PrnTokenList* list = CreateCommandList(2);
    device_.AddMarkFeedToken(list, row.type);
    EXPECT_EQ(row.codes, Codes(list));
    EXPECT_EQ(ToHex(Hex(row.bytes)), ToHex(Render(list)));
  }
  EXPECT_EQ(0, device_.CutDone());
}

TEST_F(BuilderTest, LetterQualityToken) {
  PrnTokenList* list = ListOf(2, {{101, -1, "X"}});
  device_.AddModeToken132(1, list, 0);
  device_.AddModeToken132(0, list, 0);
  device_.AddModeToken132(1, list, /*skip=*/2);
  EXPECT_EQ(ToHex(Hex("1D 73 00 1D 73 01 58")), ToHex(Render(list)));
}

TEST_F(BuilderTest, RemoveModeTokensKeepsTheRest) {
  PrnTokenList* list = ListOf(2, {{401, 30}, {601}, {602}, {603}, {604}, {100}, {153}, {511},
                                  {512}, {516}, {101, -1, "A"}});
  device_.RemoveModeTokens(list);
  EXPECT_EQ((std::vector<long>{401, 100, 516, 101}), Codes(list));
  EXPECT_EQ(4, CommandTokenCount(list));
  FreeCommandList(list);
}

TEST_F(BuilderTest, CopyTokenListKeepsOrderAndAddsLengths) {
  PrnTokenList* from = ListOf(2, {{101, -1, "AB"}, {157}, {101, -1, "C"}});
  PrnTokenList* to = ListOf(2, {{900}});
  ASSERT_TRUE(device_.CopyTokenList(from, to));
  EXPECT_EQ((std::vector<long>{900, 101, 157, 101}), Codes(to));
  EXPECT_EQ(3, to->totalBytes);
  EXPECT_EQ(3, CommandTokenCount(from));
  FreeCommandList(from);
  FreeCommandList(to);
}

// ---------------------------------------------------------------------------------------
// ValidateData.

struct ValidateRow {
  const char* source;
  long code;
  long parameter;
  long station;
  bool modeOpen;
  long expect;
};

const ValidateRow kValidateRows[] = {
    {"uF 10: only 0 is valid", 123, 10, 2, false, 1},
    {"uF without number", 123, -1, 2, false, 1},
    {"uF 0", 123, 0, 2, false, 0},
    {"lF 10", 122, 10, 2, false, 0},
    {"lF 256", 122, 256, 2, false, 1},
    {"lF in page mode", 122, 1, 2, true, 1},
    {"P without number is a full cut", 116, -1, 2, false, 0},
    {"fP without number is a full cut", 117, -1, 2, false, 0},
    {"P 0", 116, 0, 2, false, 0},
    {"P 90", 116, 90, 2, false, 0},
    {"P 100", 116, 100, 2, false, 0},
    {"P 50", 116, 50, 2, false, 1},
    {"P on the journal", 116, 100, 1, false, 2},
    {"P in page mode", 116, 100, 2, true, 1},
    {"bC", 104, -1, 2, false, 0},
    {"!bC", 128, -1, 2, false, 0},
    {"iC", 106, -1, 2, false, 2},
    {"!iC", 129, -1, 2, false, 2},
    {"sL", 105, -1, 2, false, 2},
    {"stC", 159, -1, 2, false, 2},
    {"tbC", 303, -1, 2, false, 2},
    {"cA", 114, -1, 2, false, 0},
    {"cA in a mode", 114, -1, 2, true, 1},
    {"B 5", 121, 5, 2, false, 0},
    {"B 21", 121, 21, 2, false, 2},
    {"B on the journal", 121, 5, 1, false, 2},
    {"uC 2", 124, 2, 2, false, 0},
    {"uC 3", 124, 3, 2, false, 1},
    {"!uC", 131, -1, 2, false, 0},
    {"hC 8", 126, 8, 2, false, 0},
    {"vC 9", 127, 9, 2, false, 1},
    {"hC 0", 126, 0, 2, false, 1},
    {"barcode", 152, 100, 2, false, 0},
    {"barcode on the journal", 152, 100, 1, false, 2},
    {"ruled line", 162, 10, 2, false, 0},
    {"ruled line in page mode", 162, 10, 2, true, 1},
    {"ruled line parameter", 162, 70000, 2, false, 2},
    {"E 70000", 305, 70000, 2, false, 1},
    {"text", 101, -1, 2, true, 0},
};

TEST_F(BuilderTest, ValidateTokensRules) {
  for (const ValidateRow& row : kValidateRows) {
    SCOPED_TRACE(row.source);
    state_.pageMode = row.modeOpen ? 1 : 0;
    PrnTokenList* list = ListOf(row.station, {{row.code, row.parameter}});
    const long none = 0;
    EXPECT_EQ(row.expect,
              device_.ValidateTokens(&caps_, &input_, &state_, row.station, list, &none));
    FreeCommandList(list);
  }
}

TEST_F(BuilderTest, ValidateTokensWorstResultAndTokenizerError) {
  PrnTokenList* list = ListOf(2, {{104}, {123, 5}, {101, -1, "A"}});
  const long none = 0, illegal = 106, failure = 111;
  EXPECT_EQ(1, device_.ValidateTokens(&caps_, &input_, &state_, 2, list, &none));
  (void)AddCommandToken(list, 106, nullptr, 0, -1);
  EXPECT_EQ(2, device_.ValidateTokens(&caps_, &input_, &state_, 2, list, &none));
  FreeCommandList(list);

  PrnTokenList* clean = ListOf(2, {{104}});
  EXPECT_EQ(1, device_.ValidateTokens(&caps_, &input_, &state_, 2, clean, &illegal));
  EXPECT_EQ(2, device_.ValidateTokens(&caps_, &input_, &state_, 2, clean, &failure));
  state_.rotatedPrint = 1;  // sideways printing counts as a mode too
  PrnTokenList* aligned = ListOf(2, {{107}});
  EXPECT_EQ(1, device_.ValidateTokens(&caps_, &input_, &state_, 2, aligned, &none));
  FreeCommandList(aligned);
  FreeCommandList(clean);
}

TEST_F(BuilderTest, ValidateTokensReadsTheGivenCapabilities) {
  PrnCapabilityBlock none = {};
  PrnTokenList* list = ListOf(2, {{116, 100}});
  const long ok = 0;
  EXPECT_EQ(2, device_.ValidateTokens(&none, &input_, &state_, 2, list, &ok));
  EXPECT_EQ(0, device_.ValidateTokens(&caps_, &input_, &state_, 2, list, &ok));
  FreeCommandList(list);
}

}  // namespace
}  // namespace buildertest
