// Page mode, rotated print, measuring a rotated page, sideways characters per line, the
// line-feed adjustment of buffered pages, and the positioned and data tokens.
#include "RJDevice.h"

#include "CommandToken.h"
#include "Log.h"
#include "LogContext.h"
#include "RJBytes.h"
#include "CommandToken.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// x, y, width and height of a "x,y,dx,dy" print area; missing or bad fields read 0.
struct PrintArea {
  long v[4];
};

PrintArea ParseArea(const CDataConverter& converter, const char* text) {
  std::string fields[4];
  (void)converter.SplitCommaList(text, fields, 4);
  PrintArea area = {};
  for (int i = 0; i < 4; ++i) area.v[i] = std::strtol(fields[i].c_str(), nullptr, 10);
  return area;
}

void PutArea(RJBytes* bytes, const PrintArea& area) {
  bytes->Put({RJ_ESC, 'W'});
  for (long v : area.v) bytes->Word(v);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Page mode (PageModePrint, ClearPrintArea, service 1006).

void CRJDevice::AddPageModeStartToken(PrnTokenList* list) {
  AddToken900(list, /*atTail=*/false);
  const RJBytes bytes{RJ_ESC, 'J', 0, RJ_ESC, 'L'};
  (void)AddBytesToken(list, RJ_TOKEN_PAGE_BEGIN, 0, &bytes, /*atTail=*/true);
  AddToken900(list, /*atTail=*/true);
}

void CRJDevice::AddPageModeEndToken(long type, PrnTokenList* list) {
  RJBytes bytes;
  if (type == 2) bytes.Put({RJ_ESC, RJ_FF});  // print the page, stay in page mode
  if (type == 3) bytes.Put(RJ_FF);            // print the page, back to standard mode
  if (type == 4) bytes.Put({RJ_ESC, 'S'});    // drop the page, back to standard mode
  (void)AddBytesToken(list, RJ_TOKEN_PAGE_END, type, &bytes, /*atTail=*/false);
}

void CRJDevice::AddPageModeAreaToken(const char* area, long direction, long vertical,
                                     long horizontal, PrnTokenList* list) {
  RJBytes bytes;
  PutArea(&bytes, ParseArea(m_converter, area));
  if (direction >= 1 && direction <= 4)
    bytes.Put({RJ_ESC, 'T', static_cast<unsigned char>(direction - 1)});
  bytes.Put({RJ_GS, '$'}).Word(vertical);
  bytes.Put({RJ_ESC, '$'}).Word(horizontal);
  (void)AddBytesToken(list, RJ_TOKEN_PAGE_AREA, direction, &bytes, /*atTail=*/false);
}

void CRJDevice::AddClearPrintAreaToken(PrnTokenList* list, const char* area) {
  RJBytes bytes;
  PutArea(&bytes, ParseArea(m_converter, area));
  bytes.Put(RJ_CAN);
  (void)AddBytesToken(list, RJ_TOKEN_DATA, 0, &bytes, /*atTail=*/false);
}

long CRJDevice::BeginPageMode(const PrnInputProperty*, const PrnStationState*,
                              PrnCommandToken*, RJConvState* cs) {
  cs->pageMode = 1;
  return 0;
}

long CRJDevice::EndPageMode(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                            RJConvState* cs) {
  cs->pageMode = 0;
  return 0;
}

// ---------------------------------------------------------------------------------------
// Rotated print (RotatePrint).

void CRJDevice::AddRotateTokens(long left, PrnTokenList* list) {
  (void)AddBytesToken(list, RJ_TOKEN_WRAP_START, 0, nullptr, /*atTail=*/true);
  (void)AddBytesToken(list, left ? RJ_TOKEN_ROTATE_LEFT : RJ_TOKEN_ROTATE_RIGHT, 0, nullptr,
                      /*atTail=*/true);
}

void CRJDevice::AddFormFeedToken(PrnTokenList* list) {
  const RJBytes bytes{RJ_FF};
  (void)AddBytesToken(list, RJ_TOKEN_FORM_FEED, 0, &bytes, /*atTail=*/false);
}

long CRJDevice::BeginRotate(const PrnInputProperty* input, PrnCommandToken* token,
                            RJConvState* cs, bool left) {
  // A rotated print is a page whose area is the paper width by the measured page height,
  // printed with the direction turned: ESC T 1 (bottom to top) or ESC T 3 (top to bottom,
  // which starts at the far edge, hence the ESC $ 0 0).
  RJBytes bytes{RJ_ESC, 'J', 0, RJ_ESC, 'L'};
  PutArea(&bytes, PrintArea{{0, 0, input->recLineWidth, token->parameter}});
  bytes.Put({RJ_ESC, 'T', static_cast<unsigned char>(left ? 1 : 3), RJ_GS, '$', 0, 0});
  if (!left) bytes.Put({RJ_ESC, '$', 0, 0});
  bytes.StoreInto(token);
  cs->rotatedPage = 1;
  return 0;
}

long CRJDevice::BeginRotateLeft90(const PrnInputProperty* input, const PrnStationState*,
                                  PrnCommandToken* token, RJConvState* cs) {
  return BeginRotate(input, token, cs, /*left=*/true);
}

long CRJDevice::BeginRotateRight90(const PrnInputProperty* input, const PrnStationState*,
                                   PrnCommandToken* token, RJConvState* cs) {
  return BeginRotate(input, token, cs, /*left=*/false);
}

long CRJDevice::OnFormFeed(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                           RJConvState* cs) {
  cs->rotatedPage = 0;
  return 0;
}

// ---------------------------------------------------------------------------------------
// Measuring a rotated page (service 1009).

namespace {

// Dots of one text run along its line. FS & ... FS . brackets double-byte characters,
// each two bytes wide on paper; CR and LF end the line.
struct LineMeter {
  long charWidth;
  long hScale = 1;
  bool doubleByte = false;
  long current = 0;
  long longest = 0;

  void EndLine() {
    if (current > longest) longest = current;
    current = 0;
  }
  void Text(const unsigned char* p, long n) {
    for (long i = 0; i < n; ++i) {
      if (p[i] == RJ_FS && i + 1 < n && (p[i + 1] == '&' || p[i + 1] == '.')) {
        doubleByte = p[i + 1] == '&';
        ++i;
      } else if (p[i] == '\r' || p[i] == '\n') {
        EndLine();
      } else if (doubleByte) {
        current += 2 * charWidth * hScale;
        ++i;  // the trail byte
      } else {
        current += charWidth * hScale;
      }
    }
  }
};

}  // namespace

long CRJDevice::MeasureTokens(PrnTokenList* list, long lengthLimit) {
  // Half the full-width character plus the spacing: the pitch of one single-byte character.
  LineMeter meter{(m_recFont == 1 ? 8 : 12) + m_recSpacing};
  PrnCommandToken* rotation = nullptr;
  for (PrnTokenNode* node = OldestTokenNode(list); node; node = node->prev) {
    PrnCommandToken* token = node->token;
    switch (token->type) {
      case RJ_TOKEN_ROTATE_LEFT:
      case RJ_TOKEN_ROTATE_RIGHT:
        rotation = token;
        meter.current = meter.longest = 0;
        break;
      case RJ_TOKEN_FONT1: meter.charWidth = token->parameter + 8; break;
      case RJ_TOKEN_FONT2: meter.charWidth = token->parameter + 12; break;
      case RJ_TOKEN_CHARSET:
      case RJ_TOKEN_SINGLE_SIZE:
      case RJ_TOKEN_DOUBLE_HIGH:
      case RJ_TOKEN_NORMAL: meter.hScale = 1; break;
      case RJ_TOKEN_DOUBLE_WIDE:
      case RJ_TOKEN_DOUBLE_SIZE: meter.hScale = 2; break;
      case RJ_TOKEN_HSCALE: meter.hScale = token->parameter; break;
      case RJ_TOKEN_TEXT:
        if (rotation) meter.Text(token->data, token->length);
        break;
      case RJ_TOKEN_BITMAP:
        if (rotation && token->parameter >= 1 && token->parameter <= 20)
          meter.current += m_bitmapSize[token->parameter - 1].widthBytes * 8;
        break;
      case RJ_TOKEN_RASTER:
      case RJ_TOKEN_POSITIONED:
        if (rotation) meter.current += token->parameter;
        break;
      case RJ_TOKEN_LINE_FEED: meter.EndLine(); break;
      case RJ_TOKEN_FORM_FEED:
        if (rotation) {
          meter.EndLine();
          long height = meter.longest;
          if (lengthLimit >= 0 && height > lengthLimit) height = lengthLimit;
          rotation->parameter = token->parameter = height + 1;
          rotation = nullptr;
        }
        break;
      default: break;
    }
  }
  return 0;
}

// ---------------------------------------------------------------------------------------
// Sideways characters per line (service 1021).

bool CRJDevice::LineCharsFont(long k, RJLineCharsFont* out) {
  // Position in RecLineCharsList -> font, character width and spacing: the widest
  // characters first, then ever tighter, so that every entry fits one more per line.
  static const RJLineCharsFont kFonts[] = {
      {2, 24, 4}, {2, 24, 2}, {2, 24, 1}, {2, 24, 0}, {1, 16, 2}, {1, 16, 1}, {1, 16, 0},
  };
  if (k < 0 || k >= static_cast<long>(sizeof kFonts / sizeof kFonts[0])) return false;
  *out = kFonts[k];
  return true;
}

void CRJDevice::CalcCharPitchValue(const PrnInputProperty* input, PrnPropertySnapshot* snapshot,
                                   long pitch) {
  if (!input || !snapshot) return;
  const char* text = input->recLineCharsList ? input->recLineCharsList : "";
  std::vector<std::string> fields(static_cast<size_t>(m_converter.CountCommas(text) + 1));
  (void)m_converter.SplitCommaList(text, fields.data(), static_cast<long>(fields.size()));
  for (size_t k = 0; k < fields.size(); ++k) {
    if (fields[k].empty()) continue;  // " " of the paper sizes without a list
    if (std::strtol(fields[k].c_str(), nullptr, 10) < input->recLineChars) continue;
    RJLineCharsFont font;
    if (!LineCharsFont(static_cast<long>(k), &font)) break;
    const long pitchDots = font.charWidth / 2 + font.spacing;
    if (pitchDots > 0) snapshot->recSidewaysMaxChars = pitch / pitchDots;
    return;
  }
  // No entry fits: the value stays as it was.
}
