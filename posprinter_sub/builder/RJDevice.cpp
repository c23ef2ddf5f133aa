// Command builder: construction, callbacks into the core, lists, text tokens, code pages,
// the small fixed tokens and the commands written straight to the printer.
#include "RJDevice.h"

#include "CommandToken.h"
#include "Log.h"
#include "LogContext.h"
#include "RJBytes.h"
#include "CommandToken.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr char kFile[] = "RJDevice";

}  // namespace

CRJDevice::CRJDevice(CLogContext* log, CCommPrinterDriver* channel,
                     const PrnCapabilityBlock* caps)
    : m_log(log), m_channel(channel), m_caps(caps) {}

CRJDevice::~CRJDevice() = default;

void CRJDevice::LogError(const char* function, int line, const char* text,
                         const char* detail) {
  WriteLogLine(m_log, LOG_CAT_ERROR, function, kFile, line, kTagInfo, text, detail);
}

void CRJDevice::LogInfo(const char* function, int line, const char* text, const char* detail) {
  WriteLogLine(m_log, LOG_CAT_INFO, function, kFile, line, kTagInfo, text, detail);
}

// ---------------------------------------------------------------------------------------
// Callbacks into the core.

long CRJDevice::NotifyResponseCode(long responseId) {
  if (!m_responseCode) {
    LogError("CRJDevice::NotifyResponseCode", __LINE__, "No response-code function.");
    return 0;
  }
  (void)m_responseCode(responseId, m_context);
  return 0;
}

void CRJDevice::SetErrorNoticeToCore(long resultCode, long resultCodeExtended, long flag,
                                     const char* text) {
  char line[80];
  std::snprintf(line, sizeof line, "lResultCode-%ld, lResultCodeExtended-%ld", resultCode,
                resultCodeExtended);
  LogInfo("CRJDevice::SetErrorNoticeToCore", __LINE__, line);
  if (!m_errorNotice) {
    LogError("CRJDevice::SetErrorNoticeToCore", __LINE__, "No error-notice function.");
    return;
  }
  // The core copies the text during the call; it only borrows this one.
  const std::string copy = text ? text : "";
  (void)m_errorNotice(resultCode, resultCodeExtended, flag, copy.c_str(), m_context);
}

// ---------------------------------------------------------------------------------------
// Persisting settings.

namespace {

// Windows code page -> the printer's character code table (ESC t n). Only Japanese (932)
// also needs the Japanese international character set (ESC R 8).
struct CodePageRow {
  long codePage;
  long codeTable;
  long charset;
};
constexpr CodePageRow kCodePages[] = {
    {437, 0, 0},   {737, 14, 0},  {850, 2, 0},   {852, 18, 0},  {855, 34, 0},
    {857, 13, 0},  {858, 19, 0},  {860, 3, 0},   {863, 4, 0},   {865, 5, 0},
    {866, 17, 0},  {932, 1, 8},   {1250, 45, 0}, {1251, 46, 0}, {1253, 47, 0},
    {1254, 48, 0},
};
// 1252, 999 and every code page without a row: the Windows Latin-1 table.
constexpr CodePageRow kOtherCodePage = {0, 16, 0};

}  // namespace

void CRJDevice::SelectCodeTable(long codePage) {
  const CodePageRow* chosen = &kOtherCodePage;
  for (const CodePageRow& row : kCodePages)
    if (row.codePage == codePage) chosen = &row;
  m_codeTable = chosen->codeTable;
  m_charset = chosen->charset;
}

void CRJDevice::SetStationFont(long station, long font, long spacing) {
  if (station == PRN_STATION_JOURNAL) {
    m_jrnFont = font;
    m_jrnSpacing = spacing;
  } else if (station == PRN_STATION_RECEIPT) {
    m_recFont = font;
    m_recSpacing = spacing;
  }
}

long CRJDevice::StationFont(long station) const {
  return station == PRN_STATION_JOURNAL ? m_jrnFont : m_recFont;
}

long CRJDevice::StationSpacing(long station) const {
  return station == PRN_STATION_JOURNAL ? m_jrnSpacing : m_recSpacing;
}

void CRJDevice::SetPageStart(long charHeight, long lineSpacing) {
  m_pageCharHeight = charHeight;
  m_pageLineSpacing = lineSpacing;
}

void CRJDevice::SetRegisteredBitmapSize(long n, long widthBytes, long heightDots) {
  if (n < 1 || n > 20) return;
  m_bitmapSize[n - 1] = BitmapSize{widthBytes, heightDots};
}

// ---------------------------------------------------------------------------------------
// Lists.

PrnTokenList* CRJDevice::CreateTokenList(long station) { return CreateCommandList(station); }

void CRJDevice::FreeTokenList(PrnTokenList* list) { FreeCommandList(list); }

bool CRJDevice::CopyTokenList(const PrnTokenList* from, PrnTokenList* to) {
  return CopyCommandTokens(from, to);
}

void CRJDevice::RemoveModeTokens(PrnTokenList* list) {
  PrnTokenNode* node = OldestTokenNode(list);
  while (node) {
    switch (node->token->type) {
      case RJ_TOKEN_UPSIDE_DOWN:
      case RJ_TOKEN_CENTER_MODE:
      case RJ_TOKEN_RIGHT_MODE:
      case RJ_TOKEN_FONT1:
      case RJ_TOKEN_FONT2:
      case RJ_TOKEN_FONT3:
      case RJ_TOKEN_FONT4:
        (void)UnlinkTokenNode(list, node, &node);
        break;
      default:
        node = node->prev;
    }
  }
}

PrnCommandToken* CRJDevice::AddBytesToken(PrnTokenList* list, long code, long parameter,
                                          const RJBytes* bytes, bool atTail) {
  if (!list) return nullptr;
  PrnCommandToken* token = NewCommandToken(list, code, bytes ? bytes->Data() : nullptr,
                                           bytes ? static_cast<long>(bytes->Size()) : 0,
                                           parameter);
  if (!token || !(atTail ? PutTokenAtTail(list, token) : PutTokenAtHead(list, token)))
    return nullptr;
  list->totalBytes += token->length;
  return token;
}

// ---------------------------------------------------------------------------------------
// Text tokens and the small fixed tokens.

void CRJDevice::AddCharsetStateToken(PrnTokenList* list) {
  if (PrnCommandToken* token = AddBytesToken(list, RJ_TOKEN_CHARSET, m_charset, nullptr, false))
    token->parameter2 = m_codeTable;
}

void CRJDevice::AddToken900(PrnTokenList* list, bool atTail) {
  (void)AddBytesToken(list, RJ_TOKEN_FLUSH, 0, nullptr, atTail);
}

void CRJDevice::AddModeToken132(long value, PrnTokenList* list, long skip) {
  if (skip) return;
  const RJBytes bytes{RJ_GS, 's', static_cast<unsigned char>(value == 1 ? 1 : 0)};
  (void)AddBytesToken(list, RJ_TOKEN_LETTER_QUALITY, value, &bytes, /*atTail=*/true);
}

void CRJDevice::AddDc2qToken(long responseId, PrnTokenList* list) {
  // DC2 q n: the printer answers 0x80 + id once everything before it has printed.
  const RJBytes bytes{RJ_DC2, 'q', static_cast<unsigned char>(responseId | 0x80)};
  (void)AddBytesToken(list, RJ_TOKEN_RESPONSE_ID, 0, &bytes, /*atTail=*/false);
}

void CRJDevice::AddCharsetToken(long n, PrnTokenList* list) {
  const RJBytes bytes{RJ_ESC, 'R', static_cast<unsigned char>(n)};
  (void)AddBytesToken(list, RJ_TOKEN_SET_CHARSET, 0, &bytes, /*atTail=*/false);
  m_charset = static_cast<unsigned char>(n);
}

PrnTokenList* CRJDevice::AddTextTokens(PrnInputProperty* input, PrnStationState* state,
                                       long station, const unsigned char* data, long length,
                                       long* errorCode, long skip) {
  const long font = StationFont(station);
  const long spacing = StationSpacing(station);
  const long lineSpacing = !input ? 0
                           : station == PRN_STATION_JOURNAL ? input->jrnLineSpacing
                                                            : input->recLineSpacing;
  const long charWidth = font == 2 ? 24 : font == 3 ? 28 : 16;
  if (length < 0 || (length > 0 && !data)) length = 0;

  PrnTokenList* list = CreateTokenList(station);
  if (!list) return nullptr;
  if (state && state->settingsChanged)
    AddModeToken132(input ? input->recLetterQuality : 0, list, skip);
  AddCharsetStateToken(list);
  (void)AddBytesToken(list, RJ_TOKEN_UPSIDE_DOWN, state && state->upsideDown ? 1 : 0, nullptr,
                      /*atTail=*/false);

  // The tokenizer gets a NUL-terminated copy of its own, kept in the list's store.
  char* copy = reinterpret_cast<char*>(AllocateInList(list, static_cast<size_t>(length) + 1));
  if (!copy) {
    FreeTokenList(list);
    return nullptr;
  }
  if (length) std::memcpy(copy, data, static_cast<size_t>(length));
  copy[length] = '\0';
  if (m_tokenizer)
    (void)m_tokenizer(input, state, copy, length, charWidth, spacing, list, errorCode,
                      m_context);
  else
    LogError("CRJDevice::AddTextTokens", __LINE__, "No print-data tokenizer.");

  if (length != 0) {
    const long fontCode = font == 2   ? RJ_TOKEN_FONT2
                          : font == 3 ? RJ_TOKEN_FONT3
                          : font == 4 ? RJ_TOKEN_FONT4
                                      : RJ_TOKEN_FONT1;
    (void)AddBytesToken(list, fontCode, spacing, nullptr, /*atTail=*/true);
    (void)AddBytesToken(list, RJ_TOKEN_LINE_SPACING, lineSpacing, nullptr, /*atTail=*/true);
  }
  return list;
}
