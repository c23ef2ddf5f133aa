// The sub-module's instance in this process (exports linked in): initialisation log lines,
// the Windows printer lookup's effect on the snapshot, and the DirectIO single-token lists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Exports.h"
#include "LogContext.h"
#include "PrennikApp.h"
#include "ScopedHandle.h"
#include "SubSO.h"
#include "SubSOSettings.h"

namespace {

std::vector<std::string>& Texts() {
  static std::vector<std::string> texts;
  return texts;
}
void Record(DWORD, const char*, const char* line) { Texts().push_back(line); }

class InProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    key_ = std::string(kPosPrinterClassKey) + "\\SvcInProcessDevice";
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, key_.c_str());
    CLogContext::SetLineObserver(&Record);
    Texts().clear();
  }
  void TearDown() override {
    TheApp().ExitInstance();
    CLogContext::SetLineObserver(nullptr);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, key_.c_str());
  }
  void SetValue(const char* name, const char* value) {
    ScopedRegKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.receive(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                             static_cast<DWORD>(strlen(value) + 1)),
              ERROR_SUCCESS);
  }
  std::string key_;
  PrnPropertySnapshot snapshot_{};
};

TEST_F(InProcess, InitialisationLinesAndMissingWindowsPrinter) {
  SetValue("DriverName", "SvcNoSuchWindowsPrinter");
  SetValue("PaperSize", "0");
  long slot = -1;
  ASSERT_EQ(initSubSO("SvcInProcessDevice", 1014000, &snapshot_, &slot, nullptr), 0);
  const std::vector<std::string> expected = {
      "[SvcInProcessDevice] [Enter   ] initSubSO ",
      "[SvcInProcessDevice] [Param   ] DeviceName SvcInProcessDevice",
      "[SvcInProcessDevice] [Info    ] Version: 1.14.1.3",
      "[SvcInProcessDevice] [Result  ] 0 ",
      "[SvcInProcessDevice] [Exit    ] initSubSO ",
  };
  EXPECT_EQ(Texts(), expected);
  EXPECT_EQ(snapshot_.serviceObjectVersion, 1014001);
  EXPECT_EQ(snapshot_.resultCode, 0);
  // No Windows printer: no description texts, the rest of initialisation goes on.
  EXPECT_EQ(snapshot_.deviceDescription, nullptr);
  EXPECT_EQ(snapshot_.serviceObjectDescription, nullptr);
  EXPECT_EQ(snapshot_.deviceName, nullptr);
  ASSERT_NE(snapshot_.recLineCharsList, nullptr);
  EXPECT_STREQ(snapshot_.recLineCharsList, "18,20,22,24,28,32,36");
  const CSubSO* instance = TheApp().Instance(slot);
  ASSERT_NE(instance, nullptr);
  EXPECT_EQ(instance->settings().PortName, "");
  EXPECT_EQ(instance->settings().ModelText, "");
  EXPECT_EQ(instance->settings().PaperSize, 0);
  PrnSnapshotArgs release{&snapshot_};
  EXPECT_EQ(otherMethod(PRN_SERVICE_FREE_RESULT_RECORD, reinterpret_cast<long*>(&release), slot),
            0);
}

TEST_F(InProcess, VersionRule) {
  const struct {
    long core;
    long result;
  } rows[] = {{1013999, 106}, {1014000, 0}, {1014999, 0}, {2000000, 0}, {0, 106}};
  for (const auto& row : rows) {
    PrnPropertySnapshot snapshot{};
    snapshot.serviceObjectVersion = -3;
    long slot = -1;
    EXPECT_EQ(initSubSO("SvcInProcessDevice", row.core, &snapshot, &slot, nullptr), row.result)
        << row.core;
    EXPECT_EQ(snapshot.serviceObjectVersion, row.result == 0 ? 1014001 : -3) << row.core;
    PrnSnapshotArgs release{&snapshot};
    (void)otherMethod(PRN_SERVICE_FREE_RESULT_RECORD, reinterpret_cast<long*>(&release), slot);
    (void)terminateSubSO(slot);
  }
}

struct DirectIORow {
  bool characterSet;
  long data;
  long type;
  std::vector<BYTE> bytes;
};

TEST_F(InProcess, DirectIOSingleTokenLists) {
  long slot = -1;
  ASSERT_EQ(initSubSO("SvcInProcessDevice", 1014000, &snapshot_, &slot, nullptr), 0);
  CSubSO* instance = TheApp().Instance(slot);
  const DirectIORow rows[] = {{true, 0x108, 717, {0x1B, 0x52, 0x08}},  // ESC R n, low byte
                              {false, 5, 710, {0x12, 0x71, 0x85}}};    // DC2 q (n | 0x80)
  for (const DirectIORow& row : rows) {
    long data = row.data;
    PrnDirectIOFlags flags{0, 0, 0};
    PrnTokenList* list = nullptr;
    PrnPropertySnapshot snapshot{};
    snapshot.resultCode = snapshot.resultCodeExtended = 99;
    PrnExecDirectIOArgs block{nullptr, nullptr, row.characterSet ? 201 : 2, &data, nullptr,
                              &flags, &list, &snapshot};
    ASSERT_EQ(row.characterSet ? instance->makeDirectIOTokenA(&block)
                               : instance->makeDirectIOTokenB(&block),
              0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->station, 2);
    const PrnTokenNode* node = PrnOldestToken(list);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(PrnNewerToken(node), nullptr) << "one token";
    EXPECT_EQ(node->token->type, row.type);
    EXPECT_EQ(std::vector<BYTE>(node->token->data, node->token->data + node->token->length),
              row.bytes);
    EXPECT_EQ(flags.useTransaction + flags.usePageMode + flags.useRotation, 3);
    EXPECT_EQ(snapshot.resultCode, 0);
    EXPECT_EQ(snapshot.resultCodeExtended, 0);
    PrnListArgs free{list};
    EXPECT_EQ(otherMethod(PRN_SERVICE_FREE_COMMAND_LIST, reinterpret_cast<long*>(&free), slot), 0);
  }
  PrnSnapshotArgs release{&snapshot_};
  EXPECT_EQ(otherMethod(PRN_SERVICE_FREE_RESULT_RECORD, reinterpret_cast<long*>(&release), slot),
            0);
}

}  // namespace
