// The pure parts of the logger: decision table, line, dump, ring, header and name formats.
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "LogReport.h"
#include "LogWriter.h"
#include "Logfile.h"
#include "Message.h"
#include "TraceRing.h"

namespace {

const SYSTEMTIME kMarch7 = {2024, 3, 4, 7, 9, 5, 2, 7};  // 2024-03-07 09:05:02.007

bool Expand(std::string* out, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const bool ok = CMessage::ExpandMessage(format, args, out);
  va_end(args);
  return ok;
}

CLogLine Fields(DWORD category, const char* function = "CSubSO::initSubSO", int line = 42) {
  return {kMarch7, category, 0x1A4, 0x9C, "OPS_PSB", function, line};
}

TEST(LogDecision, Table) {
  struct Row {
    DWORD level;
    DWORD category;
    LogDecision expected;
    const char* why;
  } rows[] = {
      {0xFFFFFFFF, 0x2, LogDecision::kNothing, "negative level: all off"},
      {0xFFFFFFFF, 0x10, LogDecision::kNothing, "negative level: not even the ring"},
      {0x0, 0x2, LogDecision::kNothing, "level 0"},
      {0x2, 0x2, LogDecision::kLine, "error enabled"},
      {0x16, 0x10, LogDecision::kLine, "I, W, E and an information line"},
      {0x10, 0x100, LogDecision::kNothing, "trace off and no error bit: no ring"},
      {0x2, 0x10, LogDecision::kRing, "errors only: information goes to the ring"},
      {0x2, 0x80, LogDecision::kRing, "D goes to the ring"},
      {0x2, 0x100, LogDecision::kRing, "T goes to the ring"},
      {0x2, 0x4, LogDecision::kRing, "W goes to the ring"},
      {0x16, 0x100, LogDecision::kRing, "T not enabled, E enabled"},
      {0x2, 0x400, LogDecision::kNothing, "V never goes to the ring"},
      {0x3196, 0x2000, LogDecision::kHexDump, "SEND enabled: hex dump"},
      {0x3196, 0x1000, LogDecision::kHexDump, "READ enabled: hex dump"},
      {0x2, 0x2000, LogDecision::kNothing, "dump not enabled, not a ring category"},
      {0x200002, 0x200000, LogDecision::kRawDump, "raw enabled, no READ/SEND in level"},
      {0x202002, 0x200000, LogDecision::kHexDump, "raw with SEND in level: hex"},
      {0x1000, 0x201000, LogDecision::kHexDump, "READ bit of a mixed category"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(DecideLog(static_cast<LONG>(row.level), row.category), row.expected) << row.why;
  }
}

TEST(LogLine, LetterIsFirstOfIDTEWV) {
  const struct {
    DWORD category;
    char letter;
  } rows[] = {{0x10, 'I'}, {0x80, 'D'}, {0x100, 'T'}, {0x2, 'E'},  {0x4, 'W'},
              {0x400, 'V'}, {0x12, 'I'}, {0x102, 'T'}, {0x6, 'E'}, {0x1000, '?'}};
  for (const auto& row : rows) EXPECT_EQ(CMessage::CategoryLetter(row.category), row.letter);
}

TEST(LogLine, WorkedExample) {
  std::string line;
  ASSERT_TRUE(CMessage::TemplateMessage(Fields(0x10), "abc", &line));
  EXPECT_EQ(line,
            "[03/07 09:05(02.007)]\t[000001a4(0000009c)]\t[I] \t[OPS_PSB] \t"
            "CSubSO::initSubSO(42) \tabc\r\n");
}

TEST(LogLine, ShortFormWithoutIdsAndFunction) {
  CLogLine fields = {kMarch7, 0x2, 0, 0, "UNDEF  ", nullptr, 9};
  std::string line;
  ASSERT_TRUE(CMessage::TemplateMessage(fields, "lost", &line));
  EXPECT_EQ(line, "[03/07 09:05(02.007)]\t[********(********)]\t[E] \t[UNDEF  ] \tlost\r\n");
}

TEST(LogLine, WideFormatUsesPlatformRules) {
  // "%s" takes a wide string and "%hs" a narrow one, as in the platform's msvcrt.
  std::string message;
  ASSERT_TRUE(Expand(&message, L"[%s|%hs|%d|%s]", L"wide", "narrow", -7, L"caf\u00e9"));
  EXPECT_EQ(message, "[wide|narrow|-7|caf\xE9]");  // code page 1252 under the test runner
  std::string line;
  ASSERT_TRUE(CMessage::TemplateMessage(Fields(0x10, "CPOSPrinter::Open", 7), message, &line));
  EXPECT_EQ(line,
            "[03/07 09:05(02.007)]\t[000001a4(0000009c)]\t[I] \t[OPS_PSB] \t"
            "CPOSPrinter::Open(7) \t[wide|narrow|-7|caf\xE9]\r\n");
  wchar_t small[4];
  va_list none{};
  EXPECT_EQ(CMessage::PlatformVsnwprintf(small, 4, L"toolong", none), -1);
}

TEST(LogLine, MessageLengthLimits) {
  const struct {
    size_t length;
    bool written;
  } rows[] = {{511, true}, {512, true}, {600, true}, {5119, true}, {5120, false}, {6000, false}};
  for (const auto& row : rows) {
    const std::wstring text(row.length, L'x');
    std::string message;
    EXPECT_EQ(Expand(&message, L"%s", text.c_str()), row.written) << row.length;
    if (!row.written) continue;
    EXPECT_EQ(message.size(), row.length);
    std::string line;
    ASSERT_TRUE(CMessage::TemplateMessage(Fields(0x10), message, &line)) << row.length;
    EXPECT_EQ(line.substr(line.size() - row.length - 2), message + "\r\n");
  }
}

TEST(LogLine, LineThatDoesNotFitIsNotWritten) {
  const std::string function(1000, 'f');
  std::string line = "sentinel";
  EXPECT_FALSE(CMessage::TemplateMessage(Fields(0x10, function.c_str()), "abc", &line));
  EXPECT_TRUE(line.empty());
}

std::string Bytes(size_t count) {
  std::string bytes;
  for (size_t i = 0; i < count; ++i) bytes.push_back(static_cast<char>(i & 0xFF));
  return bytes;
}

std::string Dump(DWORD length, DWORD maxDump, CLogLine fields) {
  const std::string bytes = Bytes(length);
  return CMessage::TemplateDump(fields, "Send data.", reinterpret_cast<const BYTE*>(bytes.data()),
                                length, maxDump);
}

const char kDumpHeader20[] =
    "[03/07 09:05(02.007)]\t[000001a4(0000009c)]\t[SEND] \t[OPS_PSB] \t"
    "CCommPrinterDriver::WritePrinterData(120) [20byte] Send data.\r\n"
    "Addr : +0 +1 +2 +3 +4 +5 +6 +7 +8 +9 +A +B +C +D +E +F\r\n";

TEST(LogDump, TwentyBytes) {
  EXPECT_EQ(Dump(20, 256, Fields(0x2000, "CCommPrinterDriver::WritePrinterData", 120)),
            std::string(kDumpHeader20) +
                "0000 : 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\r\n"
                "0010 : 10 11 12 13\r\n"
                "\r\n");
}

TEST(LogDump, MaxDumpZeroShowsOnlyTheContinuation) {
  EXPECT_EQ(Dump(20, 0, Fields(0x2000, "CCommPrinterDriver::WritePrinterData", 120)),
            std::string(kDumpHeader20) + "       ... 13 (20 byte data continues yet)\r\n\r\n");
}

TEST(LogDump, ThreeHundredBytesCutAt256) {
  const std::string block = Dump(300, 256, Fields(0x1000, "CCommPrinterDriver::Read", 5));
  const std::string header =
      "[03/07 09:05(02.007)]\t[000001a4(0000009c)]\t[READ] \t[OPS_PSB] \t"
      "CCommPrinterDriver::Read(5) [300byte] Send data.\r\n"
      "Addr : +0 +1 +2 +3 +4 +5 +6 +7 +8 +9 +A +B +C +D +E +F\r\n";
  ASSERT_EQ(block.compare(0, header.size(), header), 0) << block;
  const std::string lastRow = "00F0 : F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF\r\n";
  const std::string tail = lastRow + "       ... 2B (44 byte data continues yet)\r\n\r\n";
  EXPECT_EQ(block.substr(block.size() - tail.size()), tail);
  // 16 rows of 6 + 48 + 2 characters between the header and the tail.
  EXPECT_EQ(block.size(), header.size() + 16 * 56 + tail.size() - lastRow.size());
  EXPECT_NE(block.find("\r\n0080 : 80 81 82"), std::string::npos);
}

TEST(LogDump, ShortFormAndNoBytes) {
  CLogLine fields = {kMarch7, 0x2000, 0, 0, "OPS_DSB", nullptr, 0};
  EXPECT_EQ(Dump(1, 256, fields),
            "[03/07 09:05(02.007)]\t[********(********)]\t[DUMP] \t[OPS_DSB] \t[1byte] Send "
            "data.\r\nAddr : +0 +1 +2 +3 +4 +5 +6 +7 +8 +9 +A +B +C +D +E +F\r\n0000 : 00\r\n\r\n");
  EXPECT_EQ(Dump(0, 256, Fields(0x2000)), "");
}

TEST(LogDump, CaptionIsCutAt1023Bytes) {
  EXPECT_EQ(CMessage::CaptionToAnsi(nullptr), "");
  EXPECT_EQ(CMessage::CaptionToAnsi(L"Received data."), "Received data.");
  EXPECT_EQ(CMessage::CaptionToAnsi(std::wstring(2000, L'c').c_str()), std::string(1023, 'c'));
}

TEST(LogRing, EntryFormatAndCut) {
  char entry[CTraceRing::kEntrySize];
  CTraceRing::FormatEntry(entry, kMarch7, 0x1A4, 0x9C, "CSubSO::prePrintNormal", 88);
  EXPECT_STREQ(entry, "$$$ [09:05(02.007)] [000001a4(0000009c)] CSubSO::prePrintNormal(88)\r\n");
  const std::string function(200, 'f');
  CTraceRing::FormatEntry(entry, kMarch7, 0x1A4, 0x9C, function.c_str(), 1);
  // The 41-character prefix, then the function cut so the entry keeps 125 characters.
  EXPECT_EQ(std::string(entry),
            "$$$ [09:05(02.007)] [000001a4(0000009c)] " + std::string(84, 'f') + "\r\n");
}

TEST(LogRing, FortyEntriesKeepTheLatest32InOrder) {
  CTraceRing ring;
  EXPECT_EQ(ring.GetText(), "");
  for (int line = 1; line <= 40; ++line) ring.Add(kMarch7, 1, 2, "F", line);
  std::string expected;
  for (int line = 9; line <= 40; ++line) {
    expected += "$$$ [09:05(02.007)] [00000001(00000002)] F(" + std::to_string(line) + ")\r\n";
  }
  EXPECT_EQ(ring.GetText(), expected);
  EXPECT_EQ(ring.GetText(), expected) << "reading does not empty the ring";
}

const char kColumnTitles[] =
    "\r\n\r\n\r\n[MM/dd HH:mm(ss.ms )]\t[Process info      ] \t[Lv]\t[Module ] \tMessage\r\n";

TEST(LogHeader, NewFileBytes) {
  CSystemInfo info;
  info.versionKeyOpened = true;
  info.hasProductName = true;
  info.productName = "Microsoft Windows 7";
  info.hasBuildLab = true;
  info.buildLab = "7601.win7sp1_ldr.170913-0600";
  info.nativeArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
  info.wow64 = CSystemInfo::kNotWow64;
  const std::string titles = std::string(kColumnTitles) + std::string(133, '-') + "\r\n";
  ASSERT_EQ(titles.size(), 210u);
  EXPECT_EQ(NewFileHeader(info),
            "KVR Thermal Printer Log\r\n\r\n"
            "_______________System Infomation____________________\r\n"
            "Microsoft Windows 7\t7601.win7sp1_ldr.170913-0600\r\n"
            "I386 Architecture 32bit process\r\n"
            "_______________System Infomation____________________\r\n" +
                titles);
  info.versionKeyOpened = false;
  EXPECT_EQ(NewFileHeader(info),
            "KVR Thermal Printer Log\r\n\r\n"
            "I386 Architecture 32bit process\r\n"
            "_______________System Infomation____________________\r\n" +
                titles);
}

TEST(LogHeader, ArchitectureLine) {
  const struct {
    int architecture;
    CSystemInfo::Wow64 wow64;
    const char* expected;
  } rows[] = {
      {PROCESSOR_ARCHITECTURE_AMD64, CSystemInfo::kWow64, "AMD64 Architecture Wow64 process\r\n"},
      {PROCESSOR_ARCHITECTURE_AMD64, CSystemInfo::kNotWow64, "AMD64 Architecture64bit process\r\n"},
      {PROCESSOR_ARCHITECTURE_IA64, CSystemInfo::kCallFailed,
       "IA64 Architecture 32bit process?\r\n"},
      // A plain 32-bit system reports no WOW64: the process is a 32-bit one.
      {PROCESSOR_ARCHITECTURE_INTEL, CSystemInfo::kNotWow64, "I386 Architecture 32bit process\r\n"},
      {PROCESSOR_ARCHITECTURE_INTEL, CSystemInfo::kNoFunction, "I386 Architecture"},
      {12, CSystemInfo::kNotWow64, "64bit process\r\n"},
      {-1, CSystemInfo::kNoFunction, ""},
  };
  for (const auto& row : rows) {
    CSystemInfo info;
    info.nativeArchitecture = row.architecture;
    info.wow64 = row.wow64;
    EXPECT_EQ(ArchitectureLine(info), row.expected) << row.architecture << "/" << row.wow64;
  }
}

TEST(LogFiles, Names) {
  EXPECT_EQ(CLogfile::DailyFileName(L"C:\\L", kMarch7), L"C:\\L\\20240307.log");
  EXPECT_EQ(CLogfile::RotatedFileName(L"C:\\L", kMarch7), L"C:\\L\\20240307_090502(007).log");
  EXPECT_EQ(CLogfile::RawDumpFileName(L"C:\\L", kMarch7), L"C:\\L\\20240307_02007.bin");
}

TEST(LogFiles, CleanupThreshold) {
  const struct {
    DWORD lifeDays;
    DWORD units;
  } rows[] = {{0, 0}, {1, 404}, {10, 2222}, {89, 18180}, {90, 18181}, {365, 18181}};
  for (const auto& row : rows) EXPECT_EQ(CLogfile::CleanupThreshold(row.lifeDays), row.units);
  // 2222 units of 2^32 x 100 ns are 11.05 days: 12 days old expires, 10 days old does not.
  const ULONGLONG day = 864000000000ULL;
  const ULONGLONG reference = 133540000000000000ULL;
  auto high = [](ULONGLONG t) { return static_cast<DWORD>(t >> 32); };
  EXPECT_TRUE(CLogfile::IsExpired(high(reference - 12 * day), 2222, high(reference)));
  EXPECT_FALSE(CLogfile::IsExpired(high(reference - 10 * day), 2222, high(reference)));
}

TEST(LogModuleLiteral, Validity) {
  const struct {
    const char* literal;
    bool valid;
    const char* tag;
    const char* folder;
  } rows[] = {
      {"OPS_PSB\0OposPrinter", true, "OPS_PSB", "OposPrinter"},
      {"OPS_DSB\0OposDrawer", true, "OPS_DSB", "OposDrawer"},
      {"T\0" "0123456789abcdef", true, "T", "0123456789abcdef"},
      {"T\0" "0123456789abcdefg", false, "T", ""},  // 17 characters
      {"T\0", false, "T", ""},
      {"T\0..", false, "T", ""},
      {"T\0a\\b", false, "T", ""},
      {"", false, "", ""},
      {nullptr, false, "", ""},
      {"0123456789012345678901234567890123\0x", false, "", ""},  // tag over 31
  };
  for (const auto& row : rows) {
    const CModuleLiteral literal = CModuleLiteral::Parse(row.literal);
    EXPECT_EQ(literal.valid, row.valid) << (row.literal ? row.literal : "(null)");
    EXPECT_EQ(literal.tag, row.tag);
    EXPECT_EQ(literal.folder, row.folder);
  }
}

TEST(LogAssertText, Format) {
  EXPECT_EQ(FormatAssertText("Logfile.cpp", 143, "CLogfile::CreateLogFolder", 3),
            L"Assert!! \r\nFile:Logfile.cpp(line:143)/ CLogfile::CreateLogFolder\r\n"
            L"(system error code :3)");
}

}  // namespace
