#include "LogWriter.h"

#include <cstring>

#include "ScopedHandle.h"

namespace {

const char kBanner[] = "_______________System Infomation____________________\r\n";
const char kSlowOpenMarker[] = "File access time is abnormal\r\n";
const char kFailedMarker[] = "<=== Log output here failed\r\n";

// Every user's processes must be able to open the mutexes: a NULL DACL, inheritable handles.
HANDLE CreateSharedMutex(const wchar_t* name) {
  SECURITY_DESCRIPTOR descriptor;
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), nullptr, TRUE};
  if (InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
      SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE)) {
    attributes.lpSecurityDescriptor = &descriptor;
  }
  HANDLE mutex = CreateMutexW(&attributes, FALSE, name);
  if (!mutex) mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, TRUE, name);
  return mutex;
}

// An abandoned mutex (its holder died) counts as acquired.
bool Acquire(HANDLE mutex) {
  if (!mutex) return false;
  const DWORD result = WaitForSingleObject(mutex, INFINITE);
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

bool ReadVersionText(HKEY key, const char* name, std::string* text) {
  char value[129] = {};
  DWORD size = 128;
  DWORD type = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  value[size < 128 ? size : 128] = '\0';  // the data may come without its terminator
  *text = value;
  return true;
}

}  // namespace

CSystemInfo CSystemInfo::Query() {
  CSystemInfo info;
  ScopedRegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0,
                    KEY_QUERY_VALUE, key.receive()) == ERROR_SUCCESS) {
    info.versionKeyOpened = true;
    info.hasProductName = ReadVersionText(key.get(), "ProductName", &info.productName);
    info.hasBuildLab = ReadVersionText(key.get(), "BuildLabEx", &info.buildLab);
  }
  HMODULE kernel = GetModuleHandleW(L"kernel32");
  using NativeInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
  using IsWow64Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
  auto nativeInfo = reinterpret_cast<NativeInfoFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "GetNativeSystemInfo")));
  auto isWow64 = reinterpret_cast<IsWow64Fn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
  if (nativeInfo) {
    SYSTEM_INFO system = {};
    nativeInfo(&system);
    info.nativeArchitecture = system.wProcessorArchitecture;
  }
  if (isWow64) {
    BOOL wow64 = FALSE;
    if (!isWow64(GetCurrentProcess(), &wow64)) {
      info.wow64 = kCallFailed;
    } else {
      info.wow64 = wow64 ? kWow64 : kNotWow64;
    }
  }
  return info;
}

std::string ArchitectureLine(const CSystemInfo& info) {
  std::string line;
  switch (info.nativeArchitecture) {
    case PROCESSOR_ARCHITECTURE_AMD64: line = "AMD64 Architecture"; break;
    case PROCESSOR_ARCHITECTURE_IA64: line = "IA64 Architecture"; break;
    case PROCESSOR_ARCHITECTURE_INTEL: line = "I386 Architecture"; break;
    default: break;
  }
  switch (info.wow64) {
    case CSystemInfo::kNoFunction: break;
    case CSystemInfo::kCallFailed: line += " 32bit process?\r\n"; break;
    case CSystemInfo::kWow64: line += " Wow64 process\r\n"; break;
    case CSystemInfo::kNotWow64:
      // A 32-bit system has no WOW64 either: there the process is a 32-bit one.
      line += info.nativeArchitecture == PROCESSOR_ARCHITECTURE_INTEL ? " 32bit process\r\n"
                                                                      : "64bit process\r\n";
      break;
  }
  return line;
}

std::string NewFileHeader(const CSystemInfo& info) {
  std::string header = "KVR Thermal Printer Log\r\n\r\n";
  if (info.versionKeyOpened) {
    header += kBanner;
    if (info.hasProductName) header += info.productName + "\t";
    if (info.hasBuildLab) header += info.buildLab + "\r\n";
  }
  header += ArchitectureLine(info);
  header += kBanner;
  header +=
      "\r\n\r\n\r\n[MM/dd HH:mm(ss.ms )]\t[Process info      ] \t[Lv]\t[Module ] \tMessage\r\n";
  header.append(133, '-');
  header += "\r\n";
  return header;
}

CLogWriter::CLogWriter(DWORD(WINAPI* tickCount)())
    : m_tickCount(tickCount),
      m_textMutex(CreateSharedMutex(L"Global\\KVR_SDK_LOGS2")),
      m_dumpMutex(CreateSharedMutex(L"Global\\KVR_SDK_BIN2")) {}

CLogWriter::~CLogWriter() {
  if (m_textMutex) CloseHandle(m_textMutex);
  if (m_dumpMutex) CloseHandle(m_dumpMutex);
}

bool CLogWriter::AppendAll(HANDLE file, const char* text, size_t length) {
  if (length == 0) return true;
  LARGE_INTEGER end = {};
  if (!SetFilePointerEx(file, LARGE_INTEGER{}, &end, FILE_END)) return false;
  DWORD written = 0;
  if (WriteFile(file, text, static_cast<DWORD>(length), &written, nullptr) && written == length) {
    return true;
  }
  // Never leave half a line: cut the file back to where this text began.
  SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
  SetEndOfFile(file);
  return false;
}

void CLogWriter::FlushPending(HANDLE file) {
  CLogLockGuard guard(m_lock);
  if (m_pendingLength) {
    if (!AppendAll(file, m_pending, m_pendingLength)) m_failed.store(true);
    m_pendingLength = 0;
  }
  if (m_failed.exchange(false) && !AppendAll(file, kFailedMarker, sizeof(kFailedMarker) - 1)) {
    m_failed.store(true);
  }
}

bool CLogWriter::Open(CTurn& turn, const std::wstring& name) {
  (void)Close(turn, nullptr);
  const DWORD start = m_tickCount();
  turn.m_holdsMutex = Acquire(m_textMutex);
  // No sharing: a reader or writer that does not take the mutex can never see half a line.
  HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (turn.m_holdsMutex) ReleaseMutex(m_textMutex);
    turn.m_holdsMutex = false;
    return false;
  }
  turn.m_file = file;
  turn.m_name = name;
  LARGE_INTEGER size = {};
  if (GetFileSizeEx(file, &size) && size.QuadPart == 0) {
    const std::string header = NewFileHeader(CSystemInfo::Query());
    if (!AppendAll(file, header.data(), header.size())) m_failed.store(true);
  }
  if (m_tickCount() - start > kSlowOpenMs &&
      !AppendAll(file, kSlowOpenMarker, sizeof(kSlowOpenMarker) - 1)) {
    m_failed.store(true);
  }
  FlushPending(file);
  return true;
}

void CLogWriter::WriteLine(CTurn& turn, const std::string& text) {
  if (text.empty()) return;
  if (turn.IsOpen()) {
    if (!AppendAll(turn.m_file, text.data(), text.size())) m_failed.store(true);
    return;
  }
  CLogLockGuard guard(m_lock);
  if (text.size() + 1 > kPendingSize - m_pendingLength) {
    m_failed.store(true);
    return;
  }
  m_pending[m_pendingLength++] = '*';
  memcpy(m_pending + m_pendingLength, text.data(), text.size());
  m_pendingLength += text.size();
}

ULONGLONG CLogWriter::Close(CTurn& turn, const std::wstring* rotatedName) {
  if (!turn.IsOpen()) return 0;
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(turn.m_file, &size)) size.QuadPart = 0;
  CloseHandle(turn.m_file);
  turn.m_file = INVALID_HANDLE_VALUE;
  // Moved while the mutex is still held, so no other writer has the file open. A failed move
  // is tried again after the next entry.
  if (rotatedName && static_cast<ULONGLONG>(size.QuadPart) > kRotateSize) {
    MoveFileW(turn.m_name.c_str(), rotatedName->c_str());
  }
  if (turn.m_holdsMutex) ReleaseMutex(m_textMutex);
  turn.m_holdsMutex = false;
  return static_cast<ULONGLONG>(size.QuadPart);
}

bool CLogWriter::WriteRawFile(const std::wstring& name, const void* data, DWORD length) {
  const bool holdsMutex = Acquire(m_dumpMutex);
  bool written = false;
  HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD count = 0;
    written = WriteFile(file, data, length, &count, nullptr) && count == length;
    CloseHandle(file);
    if (!written) DeleteFileW(name.c_str());  // no partial dump is left behind
  }
  if (holdsMutex) ReleaseMutex(m_dumpMutex);
  return written;
}

size_t CLogWriter::PendingLength() {
  CLogLockGuard guard(m_lock);
  return m_pendingLength;
}
