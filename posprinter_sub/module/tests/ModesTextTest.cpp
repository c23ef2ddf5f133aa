// ValidateData, SetLogo and PrintTwoNormal: the same decoding and tokenizing as PrintNormal,
// judged (ValidateData), cleaned of mode tokens and handed over (SetLogo), or refused.
#include "ModesFixture.h"

#include <utility>

namespace modestest {
namespace {

// Data and BinaryConversion -> the execute result.
struct DataRow {
  const char* what;
  const char* data;
  long binaryConversion;
  long expected;
};

class TextMethods : public ModesDevice {
 protected:
  // Rows of (Station or Location, expected pre result).
  void ExpectPre(long method, std::initializer_list<std::pair<long, long>> rows) {
    for (const auto& row : rows)
      EXPECT_EQ(Pre(method, PrnPreStationTextArgs{&rec_.input, row.first, "AB", nullptr}),
                row.second)
          << "method " << method << " with " << row.first;
  }
  long ExecuteText(long method, long station, const char* data, PrnTokenList** out) {
    PrnExecStationTextArgs block{&rec_.input, &rec_.station, station, data, out,
                                 &rec_.snapshot};
    return Execute(method, &block, out);
  }
};

TEST_F(TextMethods, ValidateDataValidation) {
  // The device has a receipt and no journal.
  ExpectPre(PRN_METHOD_VALIDATE_DATA, {{1, 106}, {2, 0}, {0, 106}, {3, 106}});
}

TEST_F(TextMethods, ValidateDataJudgesTheTokens) {
  const DataRow rows[] = {
      {"plain text", "AB\n", 0, 0},
      {"cut without a number", "A\x1b|P", 0, 0},
      {"underline 5 dots thick: illegal", "\x1b|5uC", 0, 106},
      {"italic: not supported", "\x1b|iCA", 0, 111},
      {"sequence the tokenizer refuses", "A\x1b|zZ", 0, 111},
      {"nibbles", "4142", 1, 0},
      {"odd number of nibbles", "414", 1, 106},
      {"decimal triples cut short", "0650", 2, 106},
  };
  for (const DataRow& row : rows) {
    SCOPED_TRACE(row.what);
    rec_.input.binaryConversion = row.binaryConversion;
    const size_t tokenized = core_.tokenizedData.size();
    PrnTokenList* out = kUntouched;
    EXPECT_EQ(ExecuteText(PRN_METHOD_VALIDATE_DATA, 2, row.data, &out), row.expected);
    EXPECT_EQ(out, kUntouched) << "nothing is handed to the core";
    const bool decodable = row.expected != 106 || row.binaryConversion == 0;
    EXPECT_EQ(core_.tokenizedData.size(), tokenized + (decodable ? 1 : 0));
  }
}

TEST_F(TextMethods, SetLogoValidation) {
  ExpectPre(PRN_METHOD_SET_LOGO, {{0, 106}, {1, 0}, {2, 0}, {3, 106}});  // top 1, bottom 2
}

TEST_F(TextMethods, LogoHoldsTheTextWithoutModeTokens) {
  // Font (602) and upside-down state (153) would change the text printed around the logo;
  // line spacing (401) and character set (100) stay. Top and bottom logos are alike.
  rec_.station.upsideDown = 1;
  rec_.station.settingsChanged = 1;  // no letter-quality token in a logo either
  for (long location : {1L, 2L}) {
    SCOPED_TRACE(location);
    PrnTokenList* out = kUntouched;
    ASSERT_EQ(ExecuteText(PRN_METHOD_SET_LOGO, location, "AB\n", &out), 0);
    ASSERT_NE(out, kUntouched);
    EXPECT_EQ(out->station, 2);
    EXPECT_EQ(CodesOf(out), (Codes{401, 100, 101, 157}));
    // ESC 3 30, ESC R 8, ESC t 1, FS C 1, "AB", LF.
    EXPECT_EQ(ToHex(Render(out)), ToHex(Hex("1B 33 1E 1B 52 08 1B 74 01 1C 43 01 41 42 0A")));
  }
}

TEST_F(TextMethods, SetLogoOutcomes) {
  const DataRow rows[] = {
      {"a refused sequence does not fail the logo", "A\x1b|zZ", 0, 0},
      {"odd number of nibbles", "414", 1, 106},
  };
  for (const DataRow& row : rows) {
    SCOPED_TRACE(row.what);
    rec_.input.binaryConversion = row.binaryConversion;
    PrnTokenList* out = kUntouched;
    EXPECT_EQ(ExecuteText(PRN_METHOD_SET_LOGO, 1, row.data, &out), row.expected);
    EXPECT_EQ(out != kUntouched, row.expected == 0);
  }
}

TEST_F(TextMethods, PrintTwoNormalIsRefused) {
  for (long stations : {1L, 2L, 3L, 0L}) {
    EXPECT_EQ(Pre(PRN_METHOD_PRINT_TWO_NORMAL,
                  PrnPrePrintTwoNormalArgs{&rec_.input, stations, "A", "B", nullptr}),
              106)
        << stations;
  }
  PrnTokenList* out = kUntouched;
  PrnExecPrintTwoNormalArgs block{&rec_.input, &rec_.station, 3, "A", "B", &out,
                                  &rec_.snapshot};
  EXPECT_EQ(Execute(PRN_METHOD_PRINT_TWO_NORMAL, &block, &out), 106);
  EXPECT_EQ(out, kUntouched);
}

}  // namespace
}  // namespace modestest
