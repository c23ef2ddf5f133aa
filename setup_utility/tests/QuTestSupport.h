// Helpers for the utility's tests: a private registry root per test, a recorder of the
// messages the model shows, and a folder of module files with a known version resource.
#pragma once
#include "AppProfile.h"
#include "KvrOposUtilityDoc.h"
#include "Registry.h"
#include "UserMessages.h"
#include "Win.h"

#include <string>
#include <vector>

struct RecordedMessages final : IUserMessages {
  struct Shown {
    std::string text;
    unsigned icon;
  };
  void ShowMessage(const std::string& text, unsigned icon) override { shown.push_back({text, icon}); }
  int Ask(const std::string& text, unsigned type) override {
    asked.push_back({text, type});
    return answer;
  }
  std::vector<std::string> Texts() const;
  std::vector<Shown> shown;
  std::vector<Shown> asked;  // questions with their MB_ type
  int answer = IDCANCEL;
};

// A visible top-level window of the given thread with exactly this title; null when none.
HWND FindThreadWindow(DWORD thread, const char* title);
// The same, waiting up to 30 s: a dialog that never shows fails the test instead of hanging it.
HWND WaitForThreadWindow(DWORD thread, const char* title);

// Posts a cancel to every visible dialog (wizard sheets included) of the thread. Posted, not
// sent: the thread may already have left its modal loop and stopped pumping.
void CancelThreadDialogs(DWORD thread);

// HKLM\SOFTWARE\KVRTest\<name>\ServiceOPOS and ...\Classes, removed again at destruction.
class PrivateRegistry {
 public:
  explicit PrivateRegistry(const std::string& name);
  ~PrivateRegistry();
  PrivateRegistry(const PrivateRegistry&) = delete;
  PrivateRegistry& operator=(const PrivateRegistry&) = delete;

  RegistryLocation Location() const;
  // A profile location of its own: ...\<name>\Profile under HKLM, made when missing.
  ProfileLocation Profile() const;
  std::string DevicePath(DeviceClass cls, const std::string& device) const;
  std::string ClassPath(DeviceClass cls) const;

  void SetRaw(const std::string& path, const std::string& name, DWORD type, const void* data,
              DWORD size);
  void SetString(const std::string& path, const std::string& name, const std::string& text,
                 bool withTerminator = false);
  void Delete(const std::string& path, const std::string& name);
  // Type and bytes of a value exactly as stored; false when it does not exist.
  bool Raw(const std::string& path, const std::string& name, DWORD* type, std::string* bytes) const;
  std::string Text(const std::string& path, const std::string& name) const;  // bytes, "" if none
  bool HasValue(const std::string& path, const std::string& name) const;
  bool KeyExists(const std::string& path) const;
  DWORD ValueCount(const std::string& path) const;
  // Every value of the key as "name=TYPE:bytes" (REG_SZ data with its NUL shown as \0,
  // REG_DWORD as its number), in name order; the subkeys' names, in name order.
  std::vector<std::string> Values(const std::string& path) const;
  std::vector<std::string> SubKeys(const std::string& path) const;
  void RegisterProgId(const std::string& progId);

 private:
  std::string m_base;
};

// The folder of the running test program (no trailing backslash).
std::string ProgramFolder();

// A temporary folder holding copies of the test module qu_versioned.dll (product version
// kTestModuleVersion) under the given names, and plain files under the dummy names.
inline constexpr char kTestModuleVersion[] = "1.14.1.7";
class ModuleFolder {
 public:
  ModuleFolder(const std::string& tag, const std::vector<std::string>& versioned,
               const std::vector<std::string>& dummies = {});
  ~ModuleFolder();
  ModuleFolder(const ModuleFolder&) = delete;
  ModuleFolder& operator=(const ModuleFolder&) = delete;
  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
  std::vector<std::string> m_files;
};

// Every service object file of the TBX910QD row.
std::vector<std::string> AllModelFiles();

// The name of the running test, for keys and folders of its own.
std::string CurrentTestName();
