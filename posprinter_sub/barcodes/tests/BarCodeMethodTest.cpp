// PrintBarCode through preMethod and executeMethod (method 106) of an instance in this
// process: validation, the OPOS maps, the room of the symbol, decoding, the escape path.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "CommandToken.h"
#include "Exports.h"
#include "PrennikApp.h"
#include "ScopedHandle.h"
#include "SubSOSettings.h"

namespace {

constexpr char kDevice[] = "BarCodeMethodDevice";

std::string Hex(const PrnTokenList* list) {
  std::string s;
  char b[4];
  for (const PrnTokenNode* n = PrnOldestToken(list); n; n = PrnNewerToken(n))
    for (long i = 0; i < n->token->length; ++i) {
      std::snprintf(b, sizeof b, "%02X ", n->token->data[i]);
      s += b;
    }
  return s;
}

class PrintBarCode : public ::testing::Test {
 protected:
  void SetUp() override {
    key_ = std::string(kPosPrinterClassKey) + "\\" + kDevice;
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, key_.c_str());
    ScopedRegKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.receive(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(initSubSO(kDevice, 1014000, &snapshot_, &slot_, nullptr), 0);
    input_.recLineWidth = 576;
    input_.rotateSpecial = 1;
    state_.rotation = 1;
  }
  void TearDown() override {
    FreeCommandList(list_);
    PrnSnapshotArgs release{&snapshot_};
    (void)otherMethod(PRN_SERVICE_FREE_RESULT_RECORD, reinterpret_cast<long*>(&release), slot_);
    (void)terminateSubSO(slot_);
    TheApp().ReleaseAllSlots();
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, key_.c_str());
  }

  long Pre(long station, long symbology, long height, long width, long alignment,
           long textPosition, long* rce) {
    PrnPrePrintBarCodeArgs block{&input_, station, "12345678901", symbology, height, width,
                                 alignment, textPosition, rce};
    return preMethod(PRN_METHOD_PRINT_BAR_CODE, reinterpret_cast<long*>(&block), slot_);
  }
  // executeMethod 106 on the receipt, height 100; the list built lands in list_.
  long Execute(const char* data, long symbology = 101, long width = 400, long alignment = -1,
               long textPosition = -11, long flag = 0) {
    PrnExecPrintBarCodeArgs block{&input_, &state_,   PRN_STATION_RECEIPT, data,
                                  symbology, 100,      width,               alignment,
                                  textPosition, flag, &list_,             &snapshot_};
    return executeMethod(PRN_METHOD_PRINT_BAR_CODE, reinterpret_cast<long*>(&block), slot_);
  }

  std::string key_;
  long slot_ = -1;
  PrnPropertySnapshot snapshot_{};
  PrnInputProperty input_{};
  PrnStationState state_{};
  PrnTokenList* list_ = nullptr;
};

TEST_F(PrintBarCode, PreRules) {
  const struct {
    const char* name;
    long station, symbology, height, width, alignment, textPosition;
    long result;
  } rows[] = {
      {"UPC-A", 2, 101, 100, 400, -1, -11, 0},
      {"journal", 1, 101, 100, 400, -1, -11, 106},
      {"Aztec Code", 2, 206, 100, 400, -1, -11, 106},
      {"symbology 105", 2, 105, 100, 400, -1, -11, 106},
      {"symbology 111", 2, 111, 100, 400, -1, -11, 106},
      {"maker's DataBar Truncated", 2, 511, 100, 400, -1, -11, 0},
      {"QR Code", 2, 204, 100, 400, -1, -11, 0},
      {"height 255", 2, 101, 255, 400, -1, -11, 0},
      {"height 256", 2, 101, 256, 400, -1, -11, 106},
      {"height 0", 2, 101, 0, 400, -1, -11, 106},
      {"width 0", 2, 101, 100, 0, -1, -11, 106},
      {"width beyond the line", 2, 101, 100, 100000, -1, -11, 0},
      {"alignment 0", 2, 101, 100, 400, 0, -11, 0},
      {"alignment -3", 2, 101, 100, 400, -3, -11, 0},
      {"alignment -4", 2, 101, 100, 400, -4, -11, 106},
      {"text -13", 2, 101, 100, 400, -1, -13, 0},
      {"text -10", 2, 101, 100, 400, -1, -10, 106},
      {"text -14", 2, 101, 100, 400, -1, -14, 106},
  };
  for (const auto& row : rows) {
    long rce = -5;
    EXPECT_EQ(Pre(row.station, row.symbology, row.height, row.width, row.alignment,
                  row.textPosition, &rce),
              row.result)
        << row.name;
    EXPECT_EQ(rce, 0) << row.name;
  }
}

TEST_F(PrintBarCode, BuildsAndReportsTheSymbolSize) {
  snapshot_.positionWord1 = snapshot_.positionWord2 = -1;
  ASSERT_EQ(Execute("12345678901"), 0);
  ASSERT_NE(list_, nullptr);
  EXPECT_EQ(snapshot_.resultCode, 0);
  EXPECT_EQ(snapshot_.positionWord1, 380);
  EXPECT_EQ(snapshot_.positionWord2, 100);
  // OPOS left (-1) reaches the builder as its left code: ESC a 0.
  EXPECT_EQ(Hex(list_), "1B 4A 00 1D 77 04 12 3A 00 1D 68 64 1D 66 00 1D 48 00 1B 7B 00 "
                        "1B 61 00 1D 6B 00 31 32 33 34 35 36 37 38 39 30 31 00 ");
}

TEST_F(PrintBarCode, AlignmentMap) {
  const struct {
    long opos;
    const char* bytes;
  } rows[] = {{-1, "1B 61 00 1D 6B"}, {-2, "1B 61 01 1D 6B"}, {-3, "1B 61 02 1D 6B"},
              {10, "1B 61 00 1B 24 0A 00 1D 6B"}};
  for (const auto& row : rows) {
    FreeCommandList(list_);
    list_ = nullptr;
    ASSERT_EQ(Execute("12345678901", 101, 400, row.opos), 0) << row.opos;
    EXPECT_NE(Hex(list_).find(row.bytes), std::string::npos) << row.opos << ": " << Hex(list_);
  }
}

TEST_F(PrintBarCode, RefusalsLeaveTheOutWordAlone) {
  PrnTokenList sentinel{};
  const struct {
    const char* name;
    const char* data;
    long symbology, width, alignment, textPosition;
  } rows[] = {
      {"width one dot over the line", "12345678901", 101, 577, -1, -11},
      {"text position -10", "12345678901", 101, 400, -1, -10},
      {"builder refuses the data", "1234", 101, 400, -1, -11},
      {"no builder for the symbology", "12345678901", 999, 400, -1, -11},
      {"GS1 encoder refuses the stacked data", "0198898765432107", 134, 400, -1, -11},
      {"dot position at the 32-bit limit", "12345678901", 101, 400, 0x7FFFFFFF, -11},
  };
  for (const auto& row : rows) {
    list_ = &sentinel;
    EXPECT_EQ(Execute(row.data, row.symbology, row.width, row.alignment, row.textPosition), 106)
        << row.name;
    EXPECT_EQ(list_, &sentinel) << row.name;
    EXPECT_EQ(snapshot_.resultCode, 106) << row.name;
  }
  list_ = nullptr;
}

TEST_F(PrintBarCode, SidewaysUsesThePitchWord) {
  // Not enabled yet: the pitch word is 0, so no width fits sideways.
  input_.rotateSpecial = 257;
  EXPECT_EQ(Execute("12345678901", 101, 400), 106);
  EXPECT_EQ(list_, nullptr);
  input_.rotateSpecial = 1;
  EXPECT_EQ(Execute("12345678901", 101, 400), 0);
}

TEST_F(PrintBarCode, PageModeRoom) {
  state_.pageMode = 1;
  input_.pageModePrintArea = "0,0,576,800";
  input_.pageModeHorizontalPosition = 100;
  input_.pageModeVerticalPosition = 50;
  const struct {
    long direction, width;
    long result;
  } rows[] = {{1, 476, 0}, {1, 477, 106}, {3, 476, 0}, {2, 700, 0}, {2, 701, 106}, {4, 701, 106}};
  for (const auto& row : rows) {
    input_.pageModePrintDirection = row.direction;
    FreeCommandList(list_);
    list_ = nullptr;
    EXPECT_EQ(Execute("12345678901", 101, row.width), row.result)
        << row.direction << " " << row.width;
  }
  input_.pageModePrintDirection = 1;
  input_.pageModePrintArea = "0,0,576,150";  // 100 dots high from the vertical position
  FreeCommandList(list_);
  list_ = nullptr;
  EXPECT_EQ(Execute("12345678901"), 0);
  input_.pageModeVerticalPosition = 51;
  EXPECT_EQ(Execute("12345678901"), 106);
}

TEST_F(PrintBarCode, BinaryConversionDecodesOnlyTheMethodCall) {
  input_.binaryConversion = 1;
  ASSERT_EQ(Execute("3132333435363738393031"), 0);
  EXPECT_NE(Hex(list_).find("1D 6B 00 31 32 33 34 35 36 37 38 39 30 31 00"), std::string::npos);
  FreeCommandList(list_);
  list_ = nullptr;
  EXPECT_EQ(Execute("313"), 106);  // odd length
  EXPECT_EQ(list_, nullptr);
  // The escape path takes the text as it is: 22 digits are no UPC-A.
  list_ = CreateCommandList(PRN_STATION_RECEIPT);
  EXPECT_EQ(Execute("3132333435363738393031", 101, 400, -1, -11, 1), 106);
  EXPECT_EQ(CommandTokenCount(list_), 0);
}

TEST_F(PrintBarCode, EscapePathJoinsTheCoresList) {
  list_ = CreateCommandList(PRN_STATION_RECEIPT);
  ASSERT_NE(AddCommandToken(list_, 101, "AB", 2, -1), nullptr);
  state_.upsideDown = 1;
  ASSERT_EQ(Execute("12345678901", 101, 400, -1, -11, 1), 0);
  EXPECT_EQ(state_.rotation, 259);
  std::vector<long> codes;
  long sum = 0;
  for (const PrnTokenNode* n = PrnOldestToken(list_); n; n = PrnNewerToken(n)) {
    codes.push_back(n->token->type);
    sum += n->token->length;
  }
  EXPECT_EQ((std::vector<long>{101, 900, 152}), codes);
  EXPECT_EQ(list_->totalBytes, sum);
  EXPECT_NE(Hex(list_).find("1B 7B 01 1B 61 00"), std::string::npos) << Hex(list_);
  EXPECT_EQ(Hex(list_).substr(Hex(list_).size() - 3), "0C ");  // upside down, no rotated print
}

// Without memory for the move the call fails, the core's list keeps only its own tokens and
// its total counts only them.
TEST_F(PrintBarCode, EscapePathWithoutMemoryAddsNothing) {
  list_ = CreateCommandList(PRN_STATION_RECEIPT);
  ASSERT_NE(AddCommandToken(list_, 101, "AB", 2, -1), nullptr);
  FailNextTokenMoves(1);
  EXPECT_EQ(Execute("12345678901", 101, 400, -1, -11, 1), 111);
  FailNextTokenMoves(0);
  EXPECT_EQ(CommandTokenCount(list_), 1);
  EXPECT_EQ(list_->totalBytes, 2);
  EXPECT_EQ(Hex(list_), "41 42 ");
}

// The room comes from the rotation before the turn: RotateSpecial 257 turns the symbol
// sideways, where the pitch word (0 before the first enable) leaves no room.
TEST_F(PrintBarCode, EscapePathTurnKeepsTheRoomOfTheRotationBefore) {
  list_ = CreateCommandList(PRN_STATION_RECEIPT);
  state_.upsideDown = 1;
  input_.rotateSpecial = 257;
  EXPECT_EQ(Execute("12345678901", 101, 400, -1, -11, 1), 106);
  EXPECT_EQ(CommandTokenCount(list_), 0);
  EXPECT_EQ(state_.rotation, 1);
}

TEST_F(PrintBarCode, EscapePathWithoutAListIsRefused) {
  list_ = nullptr;
  EXPECT_EQ(Execute("12345678901", 101, 400, -1, -11, 1), 106);
  EXPECT_EQ(list_, nullptr);
}

}  // namespace
