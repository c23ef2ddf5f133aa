#include "QuTestSupport.h"

#include "ScopedHandle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

std::vector<std::string> RecordedMessages::Texts() const {
  std::vector<std::string> texts;
  for (const Shown& s : shown) texts.push_back(s.text);
  return texts;
}

PrivateRegistry::PrivateRegistry(const std::string& name)
    : m_base("SOFTWARE\\KVRTest\\" + name) {
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, m_base.c_str());
}

PrivateRegistry::~PrivateRegistry() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, m_base.c_str()); }

RegistryLocation PrivateRegistry::Location() const {
  RegistryLocation where;
  where.root = HKEY_LOCAL_MACHINE;
  where.servicePath = m_base + "\\ServiceOPOS";
  where.classesRoot = HKEY_LOCAL_MACHINE;
  where.classesPath = m_base + "\\Classes";
  return where;
}

ProfileLocation PrivateRegistry::Profile() const {
  // Made here, as the real parent (Software) always exists.
  ScopedRegKey key;
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (m_base + "\\Profile").c_str(), 0, nullptr, 0,
                            KEY_READ, nullptr, key.receive(), nullptr),
            ERROR_SUCCESS);
  ProfileLocation where;
  where.root = HKEY_LOCAL_MACHINE;
  where.parent = m_base + "\\Profile";
  return where;
}

std::string PrivateRegistry::ClassPath(DeviceClass cls) const {
  return m_base + "\\ServiceOPOS\\" + kClassNames[cls];
}

std::string PrivateRegistry::DevicePath(DeviceClass cls, const std::string& device) const {
  return ClassPath(cls) + "\\" + device;
}

void PrivateRegistry::SetRaw(const std::string& path, const std::string& name, DWORD type,
                             const void* data, DWORD size) {
  ScopedRegKey key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, key.receive(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
}

void PrivateRegistry::SetString(const std::string& path, const std::string& name,
                                const std::string& text, bool withTerminator) {
  // A non-NUL byte after the text keeps the API from counting a terminator left out.
  std::string data = text + (withTerminator ? '\0' : '\xff');
  SetRaw(path, name, REG_SZ, data.data(), static_cast<DWORD>(text.size() + (withTerminator ? 1 : 0)));
}

void PrivateRegistry::Delete(const std::string& path, const std::string& name) {
  ScopedRegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, key.receive()) ==
      ERROR_SUCCESS)
    RegDeleteValueA(key.get(), name.c_str());
}

bool PrivateRegistry::Raw(const std::string& path, const std::string& name, DWORD* type,
                          std::string* bytes) const {
  ScopedRegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
    return false;
  DWORD size = 0;
  if (RegQueryValueExA(key.get(), name.c_str(), nullptr, type, nullptr, &size) != ERROR_SUCCESS)
    return false;
  // The size asked for first may include room for a terminator that is not stored.
  bytes->assign(size + 1, '\0');
  if (RegQueryValueExA(key.get(), name.c_str(), nullptr, type,
                       reinterpret_cast<BYTE*>(&(*bytes)[0]), &size) != ERROR_SUCCESS)
    return false;
  bytes->resize(size);
  return true;
}

std::string PrivateRegistry::Text(const std::string& path, const std::string& name) const {
  DWORD type = 0;
  std::string bytes;
  return Raw(path, name, &type, &bytes) ? bytes : std::string();
}

bool PrivateRegistry::HasValue(const std::string& path, const std::string& name) const {
  DWORD type = 0;
  std::string bytes;
  return Raw(path, name, &type, &bytes);
}

bool PrivateRegistry::KeyExists(const std::string& path) const {
  ScopedRegKey key;
  return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.receive()) ==
         ERROR_SUCCESS;
}

DWORD PrivateRegistry::ValueCount(const std::string& path) const {
  ScopedRegKey key;
  DWORD count = 0;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS ||
      RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                       nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return 0;
  return count;
}

std::vector<std::string> PrivateRegistry::Values(const std::string& path) const {
  std::vector<std::string> values;
  ScopedRegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
    return values;
  for (DWORD index = 0;; ++index) {
    char name[256];
    BYTE data[1024];
    DWORD nameLength = sizeof(name), size = sizeof(data), type = 0;
    if (RegEnumValueA(key.get(), index, name, &nameLength, nullptr, &type, data, &size) !=
        ERROR_SUCCESS)
      break;
    std::string shown = std::string(name, nameLength) + "=";
    if (type == REG_DWORD && size == sizeof(DWORD)) {
      DWORD number = 0;
      std::memcpy(&number, data, sizeof(number));
      shown += "DWORD:" + std::to_string(number);
    } else {
      shown += type == REG_SZ ? "SZ:" : "TYPE" + std::to_string(type) + ":";
      for (DWORD i = 0; i < size; ++i)
        shown += data[i] == 0 ? std::string("\\0") : std::string(1, static_cast<char>(data[i]));
    }
    values.push_back(shown);
  }
  std::sort(values.begin(), values.end());
  return values;
}

std::vector<std::string> PrivateRegistry::SubKeys(const std::string& path) const {
  std::vector<std::string> names;
  ScopedRegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
    return names;
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD length = sizeof(name);
    if (RegEnumKeyExA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    names.emplace_back(name, length);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void PrivateRegistry::RegisterProgId(const std::string& progId) {
  SetString(m_base + "\\Classes\\" + progId + "\\CLSID", "",
            "{6C1B1F1A-0000-4000-8000-00000000C0DE}", true);
}

std::string ProgramFolder() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, n);
  return folder.substr(0, folder.rfind('\\'));
}

ModuleFolder::ModuleFolder(const std::string& tag, const std::vector<std::string>& versioned,
                           const std::vector<std::string>& dummies) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  m_path = std::string(temp) + "qu_" + std::to_string(GetCurrentProcessId()) + "_" + tag;
  CreateDirectoryA(m_path.c_str(), nullptr);
  const std::string source = ProgramFolder() + "\\qu_versioned.dll";
  for (const std::string& name : versioned) {
    const std::string target = m_path + "\\" + name;
    EXPECT_TRUE(CopyFileA(source.c_str(), target.c_str(), FALSE)) << target;
    m_files.push_back(target);
  }
  for (const std::string& name : dummies) {
    const std::string target = m_path + "\\" + name;
    ScopedFile file(CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    EXPECT_TRUE(file.valid() && WriteFile(file.get(), "no version", 10, &written, nullptr));
    m_files.push_back(target);
  }
}

ModuleFolder::~ModuleFolder() {
  for (const std::string& f : m_files) DeleteFileA(f.c_str());
  RemoveDirectoryA(m_path.c_str());
}

std::vector<std::string> AllModelFiles() {
  return {"vasselin.dll", "prennik.dll", "fenwode.dll", "tollek.dll"};
}

std::string CurrentTestName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name)
    if (c == '/') c = '_';
  return name;
}

namespace {

struct TitleSearch {
  const char* title;
  HWND found;
};

BOOL CALLBACK MatchTitle(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<TitleSearch*>(param);
  char text[128] = {};
  GetWindowTextA(window, text, sizeof(text));
  if (!IsWindowVisible(window) || lstrcmpA(text, search->title) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

BOOL CALLBACK PostCancel(HWND window, LPARAM) {
  char cls[16] = {};
  GetClassNameA(window, cls, sizeof(cls));
  if (IsWindowVisible(window) && lstrcmpA(cls, "#32770") == 0)
    PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  return TRUE;
}

}  // namespace

void CancelThreadDialogs(DWORD thread) { EnumThreadWindows(thread, PostCancel, 0); }

HWND FindThreadWindow(DWORD thread, const char* title) {
  TitleSearch search = {title, nullptr};
  EnumThreadWindows(thread, MatchTitle, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForThreadWindow(DWORD thread, const char* title) {
  for (int i = 0; i < 1500; ++i) {
    if (HWND window = FindThreadWindow(thread, title)) return window;
    Sleep(20);
  }
  return nullptr;
}
