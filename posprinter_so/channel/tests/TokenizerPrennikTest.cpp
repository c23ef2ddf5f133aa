// The tokenizer as the real sub-module calls it: a small receipt through PrintNormal's
// execute phase, rendered with service 1010, ends in the printer bytes of its sequences.
#include <gtest/gtest.h>

#include <string>

#include "CommDevice.h"
#include "LogContext.h"
#include "SimulatedPrinter.h"

namespace {

constexpr char kDevice[] = "SoTokenizerPrennikDevice";
constexpr char kPrinter[] = "SoTokenizerPrennikPrinter";

TEST(TokenizerPrennik, AReceiptRendersToItsCommandBytes) {
  sotest::DeviceKey key(kDevice);
  ASSERT_NO_FATAL_FAILURE(sotest::UseSimulatedPrinter(key, kPrinter));
  CLogContext log;
  CCommDevice channel(nullptr, &log);
  ASSERT_TRUE(channel.LoadSubSODLL((sotest::BinFolder() + "prennik.dll").c_str()));
  PrnPropertySnapshot init{};
  ASSERT_EQ(channel.InitializeSubSO(kDevice, 1014001, &init), 0);
  (void)channel.OtherMethod1015(&init);

  // What rendering reads: line spacing, character set and units.
  PrnInputProperty input{};
  input.serviceObjectVersion = 1014001;
  input.mapMode = 1;
  input.recLineSpacing = 30;
  input.characterSet = 1252;
  PrnStationState station{};
  PrnPropertySnapshot result{};
  result.positionWord1 = result.positionWord2 = -1;

  const char data[] = "\x1b|cA\x1b|bCTotal\x1b|!bC 9.99\r\n\x1b|2CBig\x1b|1C\n";
  PrnTokenList* list = nullptr;
  PrnExecStationTextArgs exec{&input, &station, PRN_STATION_RECEIPT, data, &list, &result};
  ASSERT_EQ(channel.EntryPoints().executeMethod(PRN_METHOD_PRINT_NORMAL,
                                                reinterpret_cast<long*>(&exec), channel.Slot()),
            0);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(channel.BuildRequestData(&input, &station, list, /*queue=*/2), 0);
  std::string bytes;
  for (const PrnTokenNode* node = PrnOldestToken(list); node; node = PrnNewerToken(node)) {
    if (node->token->data)
      bytes.append(reinterpret_cast<const char*>(node->token->data), node->token->length);
  }
  EXPECT_EQ(static_cast<long>(bytes.size()), list->totalBytes);
  // After the list's own set-up bytes: ESC a 1 centre, ESC E 1 / ESC E 0 bold, LF per line
  // end, GS ! 0x10 double wide, GS ! 0x00 single size.
  static const char kWant[] =
      "\x1b" "a\x01"
      "\x1b" "E\x01" "Total"
      "\x1b" "E\x00" " 9.99" "\n"
      "\x1d" "!\x10" "Big"
      "\x1d" "!\x00" "\n";
  const std::string want(kWant, sizeof(kWant) - 1);
  ASSERT_GE(bytes.size(), want.size());
  EXPECT_EQ(bytes.substr(bytes.size() - want.size()), want);
  EXPECT_EQ(channel.ReleaseSubSOData(list), 0);
  (void)channel.OtherMethod1015(&result);
  EXPECT_TRUE(channel.TerminateSubSO());
  EXPECT_TRUE(channel.UnloadSubSODLL());
}

}  // namespace
