// The command builder's bitmaps: storing rasters in the printer's memory (checked at the
// simulated printer), printing a stored bitmap (token 121) and the raster token of
// PrintBitmap (token 150).
#include <cstring>
#include <memory>

#include "wired_builder.h"

namespace buildertest {
namespace {

constexpr char kPrinter[] = "BitmapDevicePrinter";

// Printer queries as the channel sends them.
const char kNvQuery[] = "1D 28 4C 02 00 30 03";
const char kUserQuery[] = "12 2A 32";
const char kDefragQuery[] = "12 2A 36";
const char kDefragment[] = "12 2A 31 00";

// A raster of widthBytes x height whose first rows hold `rows` (the rest zero).
DibRaster* NewRaster(long widthBytes, long height, const Bytes& rows) {
  auto* raster = new DibRaster{};
  raster->width = widthBytes;
  raster->height = height;
  raster->dataLength = static_cast<long>(rows.size());
  raster->size = widthBytes * ((height + 7) / 8 * 8);
  raster->data = new unsigned char[rows.size() ? rows.size() : 1];
  if (!rows.empty()) std::memcpy(raster->data, rows.data(), rows.size());
  return raster;
}

Bytes Cat(std::initializer_list<const char*> parts) {
  Bytes all;
  for (const char* p : parts) {
    const Bytes b = Hex(p);
    all.insert(all.end(), b.begin(), b.end());
  }
  return all;
}

class BitmapDevice : public WiredBuilderTest {
 protected:
  BitmapDevice() : WiredBuilderTest(kPrinter) {}
  long Register(long n, DibRaster* raster, long alignment = -1) {
    return wired_.RegisterBitmap(raster, n, alignment, kTimeout);
  }
  // Renders `tokens` with the wired builder and returns the bytes of the last token.
  Bytes RenderLast(std::initializer_list<Tok> tokens) {
    PrnTokenList* list = ListOf(2, tokens);
    EXPECT_EQ(0, wired_.ConvertTokens(&input_, &state_, list, 0));
    const PrnCommandToken* last = list->tokens->head->token;
    Bytes out(last->data, last->data + last->length);
    FreeCommandList(list);
    return out;
  }
};

// ---- storing -------------------------------------------------------------------------------

TEST_F(BitmapDevice, StoredBitmapsReachThePrinterMemory) {
  struct {
    const char* name;
    long n;
    const char* store;
  } rows[] = {
      {"1: downloaded bit image, 1 x 1 units of 8 dots", 1,
       "1B 4A 00 12 49 01 1D 2A 01 01 AA FF 00 00 00 00 00 00"},
      {"2: NV graphic with key 21 20, p = 8 + 11", 2,
       "1D 38 4C 13 00 00 00 30 43 30 21 20 01 08 00 08 00 31 AA FF 00 00 00 00 00 00"},
      {"20: key 33 20", 20,
       "1D 38 4C 13 00 00 00 30 43 30 33 20 01 08 00 08 00 31 AA FF 00 00 00 00 00 00"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TbxSim_ClearWritten(kPrinter);
    ASSERT_EQ(0, Register(row.n, NewRaster(1, 8, Hex("AA FF")), -1));
    EXPECT_EQ(ToHex(Cat({kNvQuery, row.store})), ToHex(Written()));
    ASSERT_NE(nullptr, wired_.RegisteredBitmap(row.n));
  }
  DWORD nv = 0;
  TbxSim_GetMemory(kPrinter, &nv, nullptr, nullptr);
  EXPECT_EQ(TBXSIM_DEFAULT_NV_MEMORY - 2 * (8 + 14), nv);  // the simulator keeps 14 per graphic
}

TEST_F(BitmapDevice, ClearingDeletesFromThePrinter) {
  ASSERT_EQ(0, Register(1, NewRaster(1, 8, Hex("AA"))));
  ASSERT_EQ(0, Register(2, NewRaster(1, 8, Hex("AA"))));
  TbxSim_ClearWritten(kPrinter);
  EXPECT_EQ(0, Register(1, nullptr));
  EXPECT_EQ(0, Register(2, nullptr));
  EXPECT_EQ("1D 2A 00 00 1D 28 4C 04 00 30 42 21 20", ToHex(Written()));
  EXPECT_EQ(nullptr, wired_.RegisteredBitmap(1));
  EXPECT_EQ(nullptr, wired_.RegisteredBitmap(2));
  DWORD nv = 0;
  TbxSim_GetMemory(kPrinter, &nv, nullptr, nullptr);
  EXPECT_EQ(TBXSIM_DEFAULT_NV_MEMORY, nv);
  EXPECT_TRUE(RenderLast({{121, 2}}).empty());
}

TEST_F(BitmapDevice, MemoryIsDefragmentedOnlyWhenThatMakesRoom) {
  // 25 x 8 = 200 bytes of dots, 214 bytes of NV memory.
  struct {
    const char* name;
    DWORD nv, user, defragmented;
    long result;
    std::initializer_list<const char*> sent;
  } rows[] = {
      {"enough NV memory", 214, 1000, 1000, 0, {kNvQuery}},
      {"defragmenting frees enough", 100, 1000, 1214, 0,
       {kNvQuery, kUserQuery, kDefragQuery, kDefragment, kNvQuery}},
      {"defragmenting would free too little", 100, 1000, 1213, 31,
       {kNvQuery, kUserQuery, kDefragQuery}},
      {"a printer that reports less after than before", 100, 1000, 900, 31,
       {kNvQuery, kUserQuery, kDefragQuery}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TbxSim_Reset(kPrinter);
    TbxSim_SetMemory(kPrinter, row.nv, row.user, row.defragmented);
    ASSERT_EQ(0, Register(2, NewRaster(1, 8, Hex("0F"))));  // what slot 2 holds before
    TbxSim_SetMemory(kPrinter, row.nv, row.user, row.defragmented);
    TbxSim_ClearWritten(kPrinter);
    EXPECT_EQ(row.result, Register(2, NewRaster(25, 8, Bytes(200, 0x5A)), -2));
    Bytes sent;
    for (const char* part : row.sent) {
      const Bytes b = Hex(part);
      sent.insert(sent.end(), b.begin(), b.end());
    }
    const Bytes written = Written();
    ASSERT_GE(written.size(), sent.size());
    EXPECT_EQ(ToHex(sent), ToHex(Bytes(written.begin(), written.begin() + sent.size())));
    const DibRaster* kept = wired_.RegisteredBitmap(2);
    ASSERT_NE(nullptr, kept);
    if (row.result == 0) {
      EXPECT_EQ(written.size(), sent.size() + 18 + 200);
      EXPECT_EQ(25, kept->width);
      EXPECT_EQ(-2, wired_.RegisteredAlignment(2));
    } else {
      // Refused before anything was stored: the number keeps what the printer holds.
      EXPECT_EQ(written.size(), sent.size());
      EXPECT_EQ(1, kept->width);
      EXPECT_EQ(-1, wired_.RegisteredAlignment(2));
    }
  }
}

TEST_F(BitmapDevice, NvStillShortAfterDefragmenting) {
  TbxSim_SetMemory(kPrinter, 100, 1000, 2000);
  // The printer's answers to the three queries before and the one after defragmenting.
  const BYTE nv100[] = {0x0E, 0xE4, 0xE6, 0xE0, 0xE0, 0xE0, 0xE0, 0xE0, 0xE0, 0x00};
  TbxSim_ScriptReply(kPrinter, nv100, sizeof nv100);
  const BYTE user1000[] = {0x0E, 0xE8, 0xEE, 0xE3, 0xE0, 0xE0, 0xE0, 0xE0, 0xE0, 0x00};
  TbxSim_ScriptReply(kPrinter, user1000, sizeof user1000);
  const BYTE user2000[] = {0x0E, 0xE0, 0xED, 0xE7, 0xE0, 0xE0, 0xE0, 0xE0, 0xE0, 0x00};
  TbxSim_ScriptReply(kPrinter, user2000, sizeof user2000);
  TbxSim_ScriptReply(kPrinter, nv100, sizeof nv100);
  EXPECT_EQ(31, Register(3, NewRaster(25, 8, Bytes(200, 0))));
  EXPECT_EQ(ToHex(Cat({kNvQuery, kUserQuery, kDefragQuery, kDefragment, kNvQuery})),
            ToHex(Written()));
  EXPECT_EQ(nullptr, wired_.RegisteredBitmap(3));
}

TEST_F(BitmapDevice, DownloadedImageOverFFF4BytesIsTooBig) {
  // 125 bytes x 560 rows = 70000 bytes.
  EXPECT_EQ(30, Register(1, NewRaster(125, 560, Bytes(125 * 560, 0))));
  EXPECT_EQ(kNvQuery, ToHex(Written()));
  EXPECT_EQ(nullptr, wired_.RegisteredBitmap(1));
  long rc = 0, rce = 0;
  (void)status_.GetErrorInfo(30, &rc, &rce, 0, nullptr, nullptr);
  EXPECT_EQ(114, rc);
  EXPECT_EQ(206, rce);
  (void)status_.GetErrorInfo(31, &rc, &rce, 0, nullptr, nullptr);
  EXPECT_EQ(114, rc);
  EXPECT_EQ(1009, rce);
}

TEST_F(BitmapDevice, FailedQueryKeepsThePreviousBitmap) {
  ASSERT_EQ(0, Register(4, NewRaster(1, 8, Hex("01")), -3));
  TbxSim_ClearWritten(kPrinter);
  TbxSim_FailNext(kPrinter, "DirectIOEx", TBXQD_ERR_OFFLINE, 1);
  EXPECT_EQ(1, Register(4, NewRaster(2, 8, Hex("02 02"))));
  ASSERT_NE(nullptr, wired_.RegisteredBitmap(4));
  EXPECT_EQ(1, wired_.RegisteredBitmap(4)->width);
  EXPECT_EQ(-3, wired_.RegisteredAlignment(4));
  EXPECT_EQ(3, Register(0, NewRaster(1, 8, Hex("01"))));  // no number 0: a failure
}

// ---- token 121 -----------------------------------------------------------------------------

TEST_F(BitmapDevice, StoredBitmapPrintsByItsNumber) {
  ASSERT_EQ(0, Register(1, NewRaster(1, 8, Hex("FF"))));
  ASSERT_EQ(0, Register(2, NewRaster(25, 8, Bytes(200, 0)), -2));
  ASSERT_EQ(0, Register(3, NewRaster(25, 8, Bytes(200, 0)), -3));
  ASSERT_EQ(0, Register(4, NewRaster(25, 8, Bytes(200, 0)), 40));
  struct {
    const char* name;
    std::initializer_list<Tok> tokens;
    long lineWidth;
    const char* bytes;
  } rows[] = {
      {"1, left", {{121, 1}}, 576, "1B 4A 00 1D 2F 00"},
      {"2 centred: 200 dots on 576", {{121, 2}}, 576, "1B 4A 00 1B 24 BC 00 1D 28 4C 06 00 30 45 21 20 01 01"},
      {"3 right", {{121, 3}}, 576, "1B 4A 00 1B 24 78 01 1D 28 4C 06 00 30 45 22 20 01 01"},
      {"4 at dot 40", {{121, 4}}, 576, "1B 4A 00 1B 24 28 00 1D 28 4C 06 00 30 45 23 20 01 01"},
      {"2 just fits", {{121, 2}}, 200, "1B 4A 00 1B 24 00 00 1D 28 4C 06 00 30 45 21 20 01 01"},
      {"2 wider than the line", {{121, 2}}, 199, ""},
      {"rotated page: no position", {{154, 0}, {121, 2}}, 576, "1B 4A 00 1D 28 4C 06 00 30 45 21 20 01 01"},
      {"number 0", {{121, 0}}, 576, ""},
      {"number 21", {{121, 21}}, 576, ""},
      {"number 5 is not stored", {{121, 5}}, 576, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    input_.recLineWidth = row.lineWidth;
    EXPECT_EQ(row.bytes, ToHex(RenderLast(row.tokens)));
  }
  EXPECT_TRUE(Logged("The bitmap is not registered."));
}

TEST_F(BitmapDevice, StoredBitmapInPageMode) {
  ASSERT_EQ(0, Register(2, NewRaster(25, 8, Bytes(200, 0)), -2));
  input_.pageModePrintArea = "0,0,400,800";
  struct {
    const char* name;
    long direction;
    const char* bytes;
  } rows[] = {
      {"left to right: centred in dx", 1, "1B 24 64 00 1D 28 4C 06 00 30 45 21 20 01 01"},
      {"right to left: centred in dx", 3, "1B 24 64 00 1D 28 4C 06 00 30 45 21 20 01 01"},
      {"bottom to top: dy, no position", 2, "1D 28 4C 06 00 30 45 21 20 01 01"},
      {"an invalid direction takes the line", 7, "1D 28 4C 06 00 30 45 21 20 01 01"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    input_.pageModePrintDirection = row.direction;
    EXPECT_EQ(row.bytes, ToHex(RenderLast({{801, 0, "\x1B\x4C"}, {121, 2}})));
  }
  EXPECT_TRUE(Logged("m_PageModePrintDirection is an invalid value."));
  input_.pageModePrintDirection = 1;
  input_.pageModePrintArea = "0,0,100,800";  // dx narrower than the bitmap
  EXPECT_TRUE(RenderLast({{801, 0, "\x1B\x4C"}, {121, 2}}).empty());
}

// ---- token 150 -----------------------------------------------------------------------------

struct RawRow {
  const char* name;
  long alignment;
  long base;          // PageModeHorizontalPosition
  bool turned;        // bitmaps turned by 180 degrees
  const char* position;
};

TEST_F(BuilderTest, RasterTokenPositionsByAlignment) {
  const RawRow rows[] = {
      {"left", -1, 0, false, ""},
      {"centre", -2, 0, false, "1B 24 1C 01"},              // (576 - 8) / 2
      {"centre from a base", -2, 100, false, "1B 24 4E 01"}, // (576 - 100 - 8) / 2 + 100
      {"right", -3, 0, false, "1B 24 38 02"},               // 576 - 8
      {"dot 40 from a base", 40, 100, false, "1B 24 8C 00"},
      {"turned: left becomes right", -1, 0, true, "1B 24 38 02"},
      {"turned: right becomes left", -3, 0, true, ""},
      {"turned: dot 40", 40, 0, true, "1B 24 10 02"},       // 576 - 40 - 8
      {"turned: centre stays", -2, 0, true, "1B 24 1C 01"},
  };
  const std::unique_ptr<DibRaster, DibRasterDeleter> raster(NewRaster(1, 2, Hex("AA FF")));
  for (const RawRow& row : rows) {
    SCOPED_TRACE(row.name);
    input_.pageModeHorizontalPosition = row.base;
    state_.bitmapsRotated180 = row.turned;
    PrnTokenList* list = CreateCommandList(2);
    device_.AddRawBitmapToken(&input_, raster.get(), list, row.alignment, 0, &state_);
    EXPECT_EQ((std::vector<long>{900, 150}), Codes(list));
    const PrnCommandToken* token = list->tokens->head->token;
    EXPECT_EQ(8, token->parameter);
    EXPECT_EQ(2, token->parameter2);
    EXPECT_EQ(SumOfLengths(list), list->totalBytes);
    const std::string expected = std::string("1B 4A 00 1B 61 00 ") + row.position +
                                 (*row.position ? " " : "") +
                                 "1D 76 30 00 01 00 02 00 AA FF 1B 24 00 00";
    EXPECT_EQ(expected, ToHex(Render(list)));
  }
}

TEST_F(BuilderTest, RasterTokenSidewaysAndInPageMode) {
  const std::unique_ptr<DibRaster, DibRasterDeleter> tall(NewRaster(1, 300, Bytes(300, 0x81)));
  // Sideways: the room is the pitch, and a line feed follows.
  state_.bitmapsRotated90 = 1;
  state_.rotatedPrint = 1;
  PrnTokenList* list = CreateCommandList(2);
  device_.AddRawBitmapToken(&input_, tall.get(), list, -3, 1000, &state_);
  EXPECT_EQ((std::vector<long>{900, 150, 157}), Codes(list));
  EXPECT_EQ("1B 4A 00 1B 61 00 1B 24 E0 03 1D 76 30 00 01 00 2C 01",
            ToHex(Bytes(list->tokens->head->next->token->data,
                        list->tokens->head->next->token->data + 18)));
  FreeCommandList(list);

  // Page mode: no position; the raster is followed by a feed of its height.
  state_ = PrnStationState{};
  state_.pageMode = 1;
  input_.pageModePrintArea = "0,0,400,800";
  input_.pageModePrintDirection = 2;
  list = CreateCommandList(2);
  device_.AddRawBitmapToken(&input_, tall.get(), list, -2, 0, &state_);
  EXPECT_EQ((std::vector<long>{900, 150, 157}), Codes(list));
  const PrnCommandToken* raster = list->tokens->head->next->token;
  const Bytes bytes(raster->data, raster->data + raster->length);
  ASSERT_EQ(3u + 8 + 300 + 6, bytes.size());
  EXPECT_EQ("1B 4A 00 1D 76 30 00 01 00 2C 01", ToHex(Bytes(bytes.begin(), bytes.begin() + 11)));
  EXPECT_EQ("1B 4A FF 1B 4A 2D", ToHex(Bytes(bytes.end() - 6, bytes.end())));  // 255 + 45
  FreeCommandList(list);
}

TEST_F(BuilderTest, RasterTokenThatDoesNotFitAddsNothing) {
  const std::unique_ptr<DibRaster, DibRasterDeleter> raster(NewRaster(2, 2, Bytes(4, 0)));
  struct {
    const char* name;
    long lineWidth, pageMode, direction;
  } rows[] = {
      {"line of 15 dots", 15, 0, 1},
      {"page mode with an invalid direction", 576, 1, 5},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    input_.recLineWidth = row.lineWidth;
    input_.pageModePrintArea = "0,0,400,800";
    input_.pageModePrintDirection = row.direction;
    state_.pageMode = row.pageMode;
    PrnTokenList* list = CreateCommandList(2);
    device_.AddRawBitmapToken(&input_, raster.get(), list, -1, 0, &state_);
    EXPECT_EQ(0, CommandTokenCount(list));
    FreeCommandList(list);
  }
  EXPECT_TRUE(Logged("pInput->PageModePrintDirection is an invalid value."));
}

}  // namespace
}  // namespace buildertest
