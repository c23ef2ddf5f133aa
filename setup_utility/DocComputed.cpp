// Values that follow from the installed files: paths, versions and descriptions.
#include "KvrOposUtilityDoc.h"

#include <cstdio>
#include <vector>

namespace {

// The four-digit year of the file's last change, "" when the file can't be examined.
std::string FileYear(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() || !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
    return {};
  FILETIME local;
  SYSTEMTIME time;
  if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
      !FileTimeToSystemTime(&local, &time))
    return {};
  char year[8];
  std::snprintf(year, sizeof(year), "%d", time.wYear);
  return year;
}

// A drawer's files are known only for a model with a drawer-kick port (a pulse list).
bool ClassServed(DeviceClass cls, const ModelInfo& row) {
  return cls != kCashDrawer || HasList(row.pulseList);
}

}  // namespace

bool CKvrOposUtilityDoc::FileExists(const std::string& path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

std::string CKvrOposUtilityDoc::ComputeCorePath(DeviceClass cls, const ModelInfo& row) const {
  if (!HasModelName(row) || !ClassServed(cls, row) || m_moduleFolder.empty() ||
      row.coreFiles[cls][0] == '\0')
    return {};
  const std::string path = m_moduleFolder + "\\" + row.coreFiles[cls];
  return FileExists(path) ? path : std::string();
}

std::string CKvrOposUtilityDoc::ComputeSubPath(DeviceClass cls, const ModelInfo& row) const {
  if (!HasModelName(row) || !ClassServed(cls, row) || m_moduleFolder.empty() ||
      row.subFiles[cls][0] == '\0')
    return {};
  const std::string path = m_moduleFolder + "\\" + row.subFiles[cls];
  return FileExists(path) ? path : std::string();
}

std::string CKvrOposUtilityDoc::ComputeDescription(DeviceClass cls, const ModelInfo& row,
                                                   const std::string& yearFile) const {
  if (!HasModelName(row)) return {};
  std::string text = row.printerDriverName;
  if (cls == kPosPrinter) text += " POS Printer Service Object";
  if (cls == kCashDrawer && HasList(row.pulseList)) text += " Cash Drawer Service Object";
  const std::string year = FileYear(yearFile);
  text += year.empty() ? ", Copyright (C) KVR Corporation"
                       : ", Copyright (C) " + year + " KVR Corporation";
  return text;
}

std::string CKvrOposUtilityDoc::GetFileVersionString(const std::string& path) {
  if (path.empty()) return {};
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  if (size == 0) return {};
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return {};
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&info), &length) ||
      info == nullptr || length < sizeof(VS_FIXEDFILEINFO))
    return {};
  char text[64];
  std::snprintf(text, sizeof(text), "%i.%i.%i.%i", HIWORD(info->dwProductVersionMS),
                LOWORD(info->dwProductVersionMS), HIWORD(info->dwProductVersionLS),
                LOWORD(info->dwProductVersionLS));
  return text;
}

DeviceValues CKvrOposUtilityDoc::BuildDeviceRecord(DeviceClass cls, const ModelInfo& row,
                                                   int connector) const {
  DeviceValues v;
  char number[16];
  std::snprintf(number, sizeof(number), "%d", connector);
  v.drawerNo = number;
  v.coreSODLLPath = ComputeCorePath(cls, row);
  v.subSODLLPath = ComputeSubPath(cls, row);
  v.description = ComputeDescription(
      cls, row, v.coreSODLLPath.empty() ? m_selected.coreSODLLPath : v.coreSODLLPath);
  v.version = GetFileVersionString(v.subSODLLPath);
  // Without a version resource the entry keeps the model's version, as a repair would.
  if (v.version.empty()) v.version = row.version;
  v.printerProgId = row.progIds[kPosPrinter];
  v.drawerProgId = row.progIds[kCashDrawer];
  return v;
}
