#include "Message.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <new>

namespace {

// Appends printf output (narrow, C99 rules) to `out`; false when the output is unbounded
// garbage (a negative result).
bool AppendFormat(std::string* out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length < 0) {
    va_end(args);
    return false;
  }
  const size_t start = out->size();
  out->resize(start + length + 1);
  vsnprintf(&(*out)[start], length + 1, format, args);
  out->resize(start + length);
  va_end(args);
  return true;
}

const char kHex[] = "0123456789ABCDEF";

void AppendHexByte(std::string* out, BYTE value) {
  out->push_back(kHex[value >> 4]);
  out->push_back(kHex[value & 0xF]);
}

}  // namespace

int CMessage::PlatformVsnwprintf(wchar_t* buffer, size_t count, const wchar_t* format,
                                 va_list args) {
  // MinGW's own wide printf follows C99 ("%s" narrow, no -1 on overflow); callers of the log
  // entry points write formats for the platform's msvcrt, so its _vsnwprintf is used. msvcrt
  // is loaded in every process this library runs in; it is looked up once.
  using Function = int(__cdecl*)(wchar_t*, size_t, const wchar_t*, va_list);
  static std::atomic<Function> resolved{nullptr};
  Function function = resolved.load(std::memory_order_acquire);
  if (!function) {
    HMODULE crt = GetModuleHandleW(L"msvcrt.dll");
    if (crt) {
      function = reinterpret_cast<Function>(
          reinterpret_cast<void*>(GetProcAddress(crt, "_vsnwprintf")));
    }
    if (!function) function = &_vsnwprintf;  // the import, with the same rules under msvcrt
    resolved.store(function, std::memory_order_release);
  }
  return function(buffer, count, format, args);
}

bool CMessage::ExpandMessage(const wchar_t* format, va_list args, std::string* ansi) {
  wchar_t shortText[512];
  va_list copy;
  va_copy(copy, args);
  int length = PlatformVsnwprintf(shortText, 511, format, copy);
  va_end(copy);
  const wchar_t* text = shortText;
  std::unique_ptr<wchar_t[]> longText;
  if (length < 0) {
    longText.reset(new (std::nothrow) wchar_t[5120]);
    if (!longText) return false;
    va_copy(copy, args);
    length = PlatformVsnwprintf(longText.get(), 5119, format, copy);
    va_end(copy);
    if (length < 0) return false;
    text = longText.get();
  }
  ansi->clear();
  if (length == 0) return true;
  const int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return false;
  ansi->resize(size);
  return WideCharToMultiByte(CP_ACP, 0, text, length, &(*ansi)[0], size, nullptr, nullptr) ==
         size;
}

char CMessage::CategoryLetter(DWORD category) {
  static const struct {
    DWORD bit;
    char letter;
  } kLetters[] = {{0x10, 'I'}, {0x80, 'D'}, {0x100, 'T'}, {0x2, 'E'}, {0x4, 'W'}, {0x400, 'V'}};
  for (const auto& row : kLetters) {
    if (category & row.bit) return row.letter;
  }
  return '?';  // no caller logs text without one of the six bits
}

const char* CMessage::DumpKind(DWORD category) {
  if (category == LOG_CAT_READ) return "READ";
  if (category == LOG_CAT_SEND) return "SEND";
  return "DUMP";
}

std::string CMessage::CaptionToAnsi(const wchar_t* caption) {
  std::string ansi;
  if (!caption || !*caption) return ansi;
  const int size = WideCharToMultiByte(CP_ACP, 0, caption, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return ansi;
  ansi.resize(size);
  WideCharToMultiByte(CP_ACP, 0, caption, -1, &ansi[0], size, nullptr, nullptr);
  ansi.resize(size - 1);
  if (ansi.size() > 1023) {
    // Cut on a character boundary of a double-byte code page.
    size_t end = 0;
    while (end < ansi.size()) {
      const size_t next = end + (IsDBCSLeadByte(static_cast<BYTE>(ansi[end])) ? 2 : 1);
      if (next > 1023) break;
      end = next;
    }
    ansi.resize(end);
  }
  return ansi;
}

bool CMessage::TemplateMessage(const CLogLine& f, const std::string& message, std::string* line) {
  const size_t capacity = message.size() + 129 >= 1024 ? message.size() + 129 : 1024;
  line->resize(capacity);
  const SYSTEMTIME& t = f.time;
  int length;
  if (f.processId == 0 && f.threadId == 0 && f.function == nullptr) {
    length = snprintf(&(*line)[0], capacity,
                      "[%02d/%02d %02d:%02d(%02d.%03d)]\t[********(********)]\t[%c] \t[%s] \t%s\r\n",
                      t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds,
                      CategoryLetter(f.category), f.tag, message.c_str());
  } else {
    length = snprintf(&(*line)[0], capacity,
                      "[%02d/%02d %02d:%02d(%02d.%03d)]\t[%08x(%08x)]\t[%c] \t[%s] \t%s(%d) \t%s\r\n",
                      t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds,
                      static_cast<unsigned>(f.processId), static_cast<unsigned>(f.threadId),
                      CategoryLetter(f.category), f.tag, f.function ? f.function : "", f.line,
                      message.c_str());
  }
  if (length < 0 || static_cast<size_t>(length) >= capacity) {
    line->clear();
    return false;
  }
  line->resize(length);
  return true;
}

std::string CMessage::TemplateDump(const CLogLine& f, const std::string& caption,
                                   const BYTE* data, DWORD length, DWORD maxDumpBytes) {
  std::string block;
  if (length == 0 || !data) return block;
  const DWORD shown = std::min(length, maxDumpBytes);
  const char* const kAddressTitle = "Addr : +0 +1 +2 +3 +4 +5 +6 +7 +8 +9 +A +B +C +D +E +F";
  // 16 bytes make a row of 6 + 16 x 3 + 2 characters.
  block.reserve(256 + caption.size() + (shown / 16 + 1) * 56 + 64);
  const SYSTEMTIME& t = f.time;
  if (f.processId == 0 && f.threadId == 0 && f.function == nullptr) {
    AppendFormat(&block,
                 "[%02d/%02d %02d:%02d(%02d.%03d)]\t[********(********)]\t[DUMP] \t[%s] \t"
                 "[%dbyte] %s\r\n%s\r\n",
                 t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, f.tag,
                 static_cast<int>(length), caption.c_str(), kAddressTitle);
  } else {
    AppendFormat(&block,
                 "[%02d/%02d %02d:%02d(%02d.%03d)]\t[%08x(%08x)]\t[%s] \t[%s] \t%s(%d) "
                 "[%dbyte] %s\r\n%s\r\n",
                 t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds,
                 static_cast<unsigned>(f.processId), static_cast<unsigned>(f.threadId),
                 DumpKind(f.category), f.tag, f.function ? f.function : "", f.line,
                 static_cast<int>(length), caption.c_str(), kAddressTitle);
  }
  for (DWORD row = 0; row < shown; row += 16) {
    AppendFormat(&block, "%04X :", static_cast<unsigned>(row));
    for (DWORD i = row; i < shown && i < row + 16; ++i) {
      block.push_back(' ');
      AppendHexByte(&block, data[i]);
    }
    block += "\r\n";
  }
  if (shown < length) {
    AppendFormat(&block, "       ... %02X (%d byte data continues yet)\r\n", data[length - 1],
                 static_cast<int>(length - shown));
  }
  block += "\r\n";
  return block;
}

std::string CMessage::LineTag(const CModuleLiteral& literal) const {
  if (!literal.tag.empty()) return literal.tag;
  std::string tag = ModuleTag();
  return tag.empty() ? "UNDEF  " : tag;
}
