// Self-registration of vasselin.dll, through regsvr32 and through the exports. Runs alone:
// it removes the registration the other programs create objects through.
#include <gtest/gtest.h>

#include <objbase.h>

#include "TestSupport.h"

namespace {

const char kProgIdKey[] = "OPOS.POSPRINTER.SO.KVR.CORE.TBXQD";
const char kClsidKey[] = "CLSID\\{2E6C5238-F6D2-4109-9183-C5081F13134C}";
const char kClsidText[] = "{2E6C5238-F6D2-4109-9183-C5081F13134C}";

using PlainFn = HRESULT(WINAPI*)();

std::string DllPath() { return sotest::BinFolder() + "vasselin.dll"; }

bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

std::string ReadValue(const std::string& path, const char* name) {
  char data[MAX_PATH * 2] = {};
  DWORD size = sizeof(data) - 1;
  if (RegGetValueA(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) !=
      ERROR_SUCCESS) {
    return "<missing>";
  }
  return data;
}

DWORD RunRegsvr32(const std::string& options) {
  std::string command = "regsvr32.exe " + options + " \"" + DllPath() + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return 0xFFFFFFFF;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 0xFFFFFFFF;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return exitCode;
}

void ExpectRegistered() {
  EXPECT_EQ(ReadValue(kProgIdKey, nullptr), kProgIdKey);
  EXPECT_EQ(ReadValue(std::string(kProgIdKey) + "\\CLSID", nullptr), kClsidText);
  EXPECT_EQ(ReadValue(kClsidKey, nullptr), kProgIdKey);
  EXPECT_EQ(ReadValue(std::string(kClsidKey) + "\\ProgID", nullptr), kProgIdKey);
  const std::string server = ReadValue(std::string(kClsidKey) + "\\InProcServer32", nullptr);
  EXPECT_EQ(lstrcmpiA(server.c_str(), DllPath().c_str()), 0) << server;
  EXPECT_EQ(ReadValue(std::string(kClsidKey) + "\\InProcServer32", "ThreadingModel"),
            "Apartment");
}

TEST(Registration, Regsvr32RegistersAndUnregisters) {
  ASSERT_EQ(RunRegsvr32("/s"), 0u);
  ExpectRegistered();
  CLSID clsid;
  ASSERT_EQ(CLSIDFromProgID(L"OPOS.POSPRINTER.SO.KVR.CORE.TBXQD", &clsid), S_OK);

  ASSERT_EQ(RunRegsvr32("/u /s"), 0u);
  EXPECT_FALSE(KeyExists(kProgIdKey));
  EXPECT_FALSE(KeyExists(kClsidKey));
  EXPECT_EQ(RunRegsvr32("/u /s"), 0u) << "unregistering twice succeeds";

  ASSERT_EQ(RunRegsvr32("/s"), 0u);
  ExpectRegistered();
}

class Exports : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryA(DllPath().c_str());
    ASSERT_NE(module_, nullptr);
    register_ = reinterpret_cast<PlainFn>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllRegisterServer")));
    unregister_ = reinterpret_cast<PlainFn>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllUnregisterServer")));
    ASSERT_NE(register_, nullptr);
    ASSERT_NE(unregister_, nullptr);
  }
  void TearDown() override {
    // Leave the class registered for the other programs.
    EXPECT_EQ(register_(), S_OK);
    FreeLibrary(module_);
  }
  HMODULE module_ = nullptr;
  PlainFn register_ = nullptr;
  PlainFn unregister_ = nullptr;
};

TEST_F(Exports, UnregisterTwiceThenRegister) {
  ASSERT_EQ(register_(), S_OK);
  EXPECT_EQ(unregister_(), S_OK) << "in a process that never initialised COM";
  EXPECT_FALSE(KeyExists(kProgIdKey));
  EXPECT_FALSE(KeyExists(kClsidKey));
  EXPECT_EQ(unregister_(), S_OK) << "no ProgID found: skipped";
  EXPECT_EQ(register_(), S_OK);
  ExpectRegistered();
}

TEST_F(Exports, AProgIdThatIsNoKeyNameRemovesNoOtherKey) {
  ASSERT_EQ(register_(), S_OK);
  const std::string decoy = "SoRegTestDecoy\\Inner";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, decoy.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  // The CLSID's ProgID value, as a damaged registry may hold it, names another key.
  ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, (std::string(kClsidKey) + "\\ProgID").c_str(), REG_SZ,
                         decoy.c_str(), static_cast<DWORD>(decoy.size())),
            ERROR_SUCCESS);
  EXPECT_EQ(unregister_(), S_OK);
  EXPECT_FALSE(KeyExists(kClsidKey));
  EXPECT_TRUE(KeyExists(decoy)) << "only the class's own keys are removed";
  RegDeleteTreeA(HKEY_CLASSES_ROOT, "SoRegTestDecoy");
  RegDeleteTreeA(HKEY_CLASSES_ROOT, kProgIdKey);
}

TEST_F(Exports, AFailedRegistrationIsReported) {
  ASSERT_EQ(unregister_(), S_OK);
  // A volatile ProgID key cannot take the lasting CLSID subkey below it.
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, kProgIdKey, 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(register_(), HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE));
  RegDeleteTreeA(HKEY_CLASSES_ROOT, kProgIdKey);
  RegDeleteTreeA(HKEY_CLASSES_ROOT, kClsidKey);
}

}  // namespace
