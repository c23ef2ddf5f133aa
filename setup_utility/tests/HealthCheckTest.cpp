// The health-check launch: its command line, its failure messages, and a real start of the
// varnhold stand-in.
#include "DocTestFixture.h"

#include <gtest/gtest.h>

namespace {

// The launcher the document calls in place of WinExec.
std::string g_launched;
UINT g_launchResult = 33;
UINT WINAPI RecordLaunch(LPCSTR commandLine, UINT show) {
  g_launched = commandLine;
  EXPECT_EQ(show, static_cast<UINT>(SW_SHOWNORMAL));
  return g_launchResult;
}

TEST(HealthCheckCommandLine, SwitchFollowsTheNameWithoutABlank) {
  const struct {
    int nodeType;
    const char* line;
  } rows[] = {
      {3, "varnhold.exe P/p"},  {11, "varnhold.exe P/p"}, {53, "varnhold.exe P/p"},
      {87, "varnhold.exe P/p"}, {4, "varnhold.exe P/d"},  {12, "varnhold.exe P/d"},
      {54, "varnhold.exe P/d"}, {88, "varnhold.exe P/d"}, {5, "varnhold.exe P/l"},
      {13, "varnhold.exe P/l"}, {55, "varnhold.exe P/l"}, {89, "varnhold.exe P/l"},
      {6, "varnhold.exe P/s"},  {14, "varnhold.exe P/s"}, {56, "varnhold.exe P/s"},
      {90, "varnhold.exe P/s"}, {1, "varnhold.exe P/n"},  {2, "varnhold.exe P/n"},
      {10, "varnhold.exe P/n"}, {0, "varnhold.exe P/n"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(CKvrOposUtilityDoc::HealthCheckCommandLine("P", row.nodeType), row.line)
        << row.nodeType;
}

class HealthCheckTest : public DocumentFixture {
 protected:
  HealthCheckTest() {
    g_launched.clear();
    g_launchResult = 33;
    doc->SetLauncher(RecordLaunch);
  }
};

TEST_F(HealthCheckTest, TheSelectedDeviceOrLogicalNameIsChecked) {
  CreatePrinter("TBX910QD", "1");
  reg.SetString(reg.ClassPath(kPosPrinter), "QuLogical", "TBX910QD");
  SelectPrinter("TBX910QD");
  EXPECT_EQ(doc->RunCheckHealth(), 1);
  EXPECT_EQ(g_launched, "varnhold.exe TBX910QD/p");
  SelectDrawer("TBX910QD_1");
  EXPECT_EQ(doc->RunCheckHealth(), 1);
  EXPECT_EQ(g_launched, "varnhold.exe TBX910QD_1/d");
  Select({"QuLogical", "TBX910QD", "POSPrinter", kKvrGroupText});
  EXPECT_EQ(doc->RunCheckHealth(), 1);
  EXPECT_EQ(g_launched, "varnhold.exe QuLogical/p");
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(HealthCheckTest, PendingEditsReachTheRegistryBeforeTheCheck) {
  CreatePrinter("TBX910QD");
  SelectPrinter("TBX910QD");
  doc->m_selected.receiveTimeout = "20000";
  EXPECT_EQ(doc->RunCheckHealth(), 1);
  EXPECT_EQ(reg.Text(PrinterPath("TBX910QD"), "ReceiveTimeout"), "20000");
}

TEST_F(HealthCheckTest, LaunchFailuresAreReportedWithTheStopIcon) {
  CreatePrinter("TBX910QD");
  SelectPrinter("TBX910QD");
  const struct {
    UINT result;
    const char* message;  // nullptr: none
  } rows[] = {
      {ERROR_FILE_NOT_FOUND, "[varnhold.exe] was not found."},
      {0, "Loading the [varnhold.exe] failed."},
      {ERROR_PATH_NOT_FOUND, "Loading the [varnhold.exe] failed."},
      {31, "Loading the [varnhold.exe] failed."},
      {32, nullptr},
  };
  for (const auto& row : rows) {
    messages.shown.clear();
    g_launchResult = row.result;
    EXPECT_EQ(doc->RunCheckHealth(), row.message ? 0 : 1) << row.result;
    if (row.message == nullptr) {
      EXPECT_TRUE(messages.shown.empty()) << row.result;
      continue;
    }
    ASSERT_EQ(messages.shown.size(), 1u) << row.result;
    EXPECT_EQ(messages.shown[0].text, row.message);
    EXPECT_EQ(messages.shown[0].icon, static_cast<unsigned>(MB_ICONSTOP));
  }
}

// WinExec finds the stand-in beside the test program and hands it the command line as is.
TEST_F(HealthCheckTest, VarnholdIsStartedWithTheCommandLine) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string record =
      std::string(temp) + "qu_varnhold_" + std::to_string(GetCurrentProcessId()) + ".txt";
  DeleteFileA(record.c_str());
  ASSERT_TRUE(SetEnvironmentVariableA("VARNHOLD_RECORD", record.c_str()));
  doc->SetLauncher(WinExec);
  CreatePrinter("TBX910QD");
  SelectPrinter("TBX910QD");
  ASSERT_EQ(doc->RunCheckHealth(), 1);
  EXPECT_TRUE(messages.shown.empty());
  // The utility does not wait for the program; the test waits for its record (bounded).
  std::string line;
  for (int i = 0; i < 600 && line.find('\n') == std::string::npos; ++i) {
    Sleep(50);
    line.clear();
    HANDLE file = CreateFileA(record.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) continue;
    char buffer[256];
    DWORD read = 0;
    if (ReadFile(file, buffer, sizeof(buffer), &read, nullptr)) line.assign(buffer, read);
    CloseHandle(file);
  }
  EXPECT_EQ(line, "varnhold.exe TBX910QD/p\r\n");
  DeleteFileA(record.c_str());
  SetEnvironmentVariableA("VARNHOLD_RECORD", nullptr);
}

}  // namespace
