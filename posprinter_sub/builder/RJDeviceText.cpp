// Character and line commands: the rendering operations for attributes, alignment, sizes,
// fonts, line spacing, feeds and cuts, and the CutPaper and MarkFeed token builders.
#include "RJDevice.h"

#include "RJBytes.h"

namespace {

void ResetAttributes(RJConvState* cs) {
  cs->bold = cs->underline = cs->reverse = cs->doubleWidth = cs->doubleHeight = 0;
  cs->hScale = cs->vScale = 1;
}

bool InMode(const RJConvState* cs) { return cs->pageMode != 0 || cs->rotatedPage != 0; }

// GS ! n: (width factor - 1) in the high nibble, (height factor - 1) in the low one.
// A scale word kept from earlier contributes 1-7 for 2-8 and nothing otherwise.
unsigned char StoredNibble(long scale) {
  return static_cast<unsigned char>(scale >= 2 && scale <= 8 ? scale - 1 : 0);
}
// The scale just given: 0 and 1 mean normal, 2-7 their factor, anything else the largest.
unsigned char GivenNibble(long scale) {
  if (scale == 0 || scale == 1) return 0;
  return static_cast<unsigned char>(scale >= 2 && scale <= 7 ? scale - 1 : 7);
}

unsigned char SizeByte(const RJConvState* cs) {
  return static_cast<unsigned char>((StoredNibble(cs->hScale) << 4) | StoredNibble(cs->vScale));
}

long SetSize(PrnCommandToken* token, RJConvState* cs, long dw, long dh) {
  cs->doubleWidth = dw;
  cs->doubleHeight = dh;
  cs->hScale = dw ? 2 : 1;
  cs->vScale = dh ? 2 : 1;
  RJBytes{RJ_GS, '!', SizeByte(cs)}.StoreInto(token);
  return 0;
}

long Align(PrnCommandToken* token, const RJConvState* cs, unsigned char n) {
  if (!InMode(cs)) RJBytes{RJ_ESC, 'a', n}.StoreInto(token);
  return 0;
}

// Font 1 (16-dot, ESC M 1) or 2 (24-dot, ESC M 0) from a clean state: no emphasis, left
// aligned, no reverse, the double-byte font to match (FS !) and the spacing s on both sides
// of single-byte (ESC SP) and double-byte (FS S) characters.
long SelectFont(PrnCommandToken* token, RJConvState* cs, long font) {
  cs->font = font;
  const unsigned char s = static_cast<unsigned char>(token->parameter);
  const unsigned char small = font == 1 ? 1 : 0;
  RJBytes{RJ_ESC, '!', 0, RJ_ESC, 'a', 0, RJ_ESC, 'M', small, RJ_ESC, RJ_SP, s,
          RJ_GS,  'B', 0, RJ_FS,  '!', small, RJ_FS,  'S', s, s}
      .StoreInto(token);
  return 0;
}

// The cut command of a percentage: none given (-1) or 100 and more cut fully.
unsigned char CutKind(long percentage) {
  return (percentage == -1 || percentage >= 100) ? 0 : 1;
}

}  // namespace

long CRJDevice::Keep(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                     RJConvState*) {
  return 0;
}

long CRJDevice::Drop(const PrnInputProperty*, const PrnStationState*, PrnCommandToken* token,
                     RJConvState*) {
  RJDropTokenData(token);
  return 0;
}

long CRJDevice::PrintText(const PrnInputProperty*, const PrnStationState*,
                          PrnCommandToken* token, RJConvState* cs) {
  if (token->length > 0) cs->lineStart = 0;
  return 0;
}

long CRJDevice::ESCCharacterSet(const PrnInputProperty*, const PrnStationState*,
                                PrnCommandToken* token, RJConvState* cs) {
  ResetAttributes(cs);
  const long p = token->parameter;
  // FS C 1 switches kanji mode on for the Japanese character set (ESC R 8).
  RJBytes{RJ_ESC, 'R', static_cast<unsigned char>(p),
          RJ_ESC, 't', static_cast<unsigned char>(token->parameter2),
          RJ_FS,  'C', static_cast<unsigned char>(p == 8 ? 1 : 0)}
      .StoreInto(token);
  return 0;
}

long CRJDevice::ESCNormal(const PrnInputProperty*, const PrnStationState*,
                          PrnCommandToken* token, RJConvState* cs) {
  ResetAttributes(cs);
  const unsigned char f = cs->font == 1 ? 1 : 0;
  RJBytes{RJ_ESC, '!', f, RJ_GS, 'B', 0, RJ_ESC, 'a', 0, RJ_FS, '!', f}.StoreInto(token);
  return 0;
}

long CRJDevice::ESCBold(const PrnInputProperty*, const PrnStationState*,
                        PrnCommandToken* token, RJConvState* cs) {
  cs->bold = cs->cancel ? 0 : 1;
  cs->cancel = 0;
  RJBytes{RJ_ESC, 'E', static_cast<unsigned char>(cs->bold)}.StoreInto(token);
  return 0;
}

long CRJDevice::ESCReverseVideo(const PrnInputProperty*, const PrnStationState*,
                                PrnCommandToken* token, RJConvState* cs) {
  cs->reverse = cs->cancel ? 0 : 1;
  cs->cancel = 0;
  RJBytes{RJ_GS, 'B', static_cast<unsigned char>(cs->reverse)}.StoreInto(token);
  return 0;
}

long CRJDevice::ESCUnderline(const PrnInputProperty*, const PrnStationState*,
                             PrnCommandToken* token, RJConvState* cs) {
  const long p = token->parameter;
  if (p < -1) {
    cs->cancel = 0;
    RJDropTokenData(token);
    return 0;
  }
  // No number means a 1-dot line; the printer draws at most 2 dots.
  long u = p == -1 ? 1 : (p > 2 ? 2 : p);
  if (cs->cancel) u = 0;
  cs->cancel = 0;
  cs->underline = u;
  const unsigned char n = static_cast<unsigned char>(u);
  RJBytes{RJ_ESC, '-', n, RJ_FS, '-', n}.StoreInto(token);
  return 0;
}

long CRJDevice::ESCLeftJustify(const PrnInputProperty*, const PrnStationState*,
                               PrnCommandToken* token, RJConvState* cs) {
  return Align(token, cs, 0);
}

long CRJDevice::ESCCenter(const PrnInputProperty*, const PrnStationState*,
                          PrnCommandToken* token, RJConvState* cs) {
  return Align(token, cs, 1);
}

long CRJDevice::ESCRightJustify(const PrnInputProperty*, const PrnStationState*,
                                PrnCommandToken* token, RJConvState* cs) {
  return Align(token, cs, 2);
}

long CRJDevice::ESCUpsideDown(const PrnInputProperty*, const PrnStationState*,
                              PrnCommandToken* token, RJConvState* cs) {
  const long on = token->parameter != 0 ? 1 : 0;
  RJBytes bytes;
  // Switching direction mid-page would mix orientations in the line buffer: ESC J 0
  // prints what is buffered first.
  if (!cs->pageMode && cs->upsideDown != on) {
    cs->upsideDown = on;
    bytes.Put({RJ_ESC, 'J', 0});
  }
  bytes.Put({RJ_ESC, '{', static_cast<unsigned char>(on)});
  bytes.StoreInto(token);
  return 0;
}

long CRJDevice::ESCSingleSize(const PrnInputProperty*, const PrnStationState*,
                              PrnCommandToken* token, RJConvState* cs) {
  return SetSize(token, cs, 0, 0);
}

long CRJDevice::ESCDoubleWide(const PrnInputProperty*, const PrnStationState*,
                              PrnCommandToken* token, RJConvState* cs) {
  return SetSize(token, cs, 1, 0);
}

long CRJDevice::ESCDoubleHigh(const PrnInputProperty*, const PrnStationState*,
                              PrnCommandToken* token, RJConvState* cs) {
  return SetSize(token, cs, 0, 1);
}

long CRJDevice::ESCDoubleSize(const PrnInputProperty*, const PrnStationState*,
                              PrnCommandToken* token, RJConvState* cs) {
  return SetSize(token, cs, 1, 1);
}

long CRJDevice::ESCHorizontalScale(const PrnInputProperty*, const PrnStationState*,
                                   PrnCommandToken* token, RJConvState* cs) {
  cs->hScale = token->parameter;
  const unsigned char n = static_cast<unsigned char>((GivenNibble(token->parameter) << 4) |
                                                     StoredNibble(cs->vScale));
  RJBytes{RJ_GS, '!', n}.StoreInto(token);
  return 0;
}

long CRJDevice::ESCVerticalScale(const PrnInputProperty*, const PrnStationState*,
                                 PrnCommandToken* token, RJConvState* cs) {
  cs->vScale = token->parameter;
  const unsigned char n = static_cast<unsigned char>((StoredNibble(cs->hScale) << 4) |
                                                     GivenNibble(token->parameter));
  RJBytes{RJ_GS, '!', n}.StoreInto(token);
  return 0;
}

long CRJDevice::SelectFont1(const PrnInputProperty*, const PrnStationState*,
                            PrnCommandToken* token, RJConvState* cs) {
  return SelectFont(token, cs, 1);
}

long CRJDevice::SelectFont2(const PrnInputProperty*, const PrnStationState*,
                            PrnCommandToken* token, RJConvState* cs) {
  return SelectFont(token, cs, 2);
}

long CRJDevice::SetLineSpacing(const PrnInputProperty*, const PrnStationState*,
                               PrnCommandToken* token, RJConvState* cs) {
  cs->lineSpacing = token->parameter;
  RJBytes{RJ_ESC, '3', static_cast<unsigned char>(token->parameter)}.StoreInto(token);
  return 0;
}

long CRJDevice::ESCFeedLines(const PrnInputProperty*, const PrnStationState*,
                             PrnCommandToken* token, RJConvState* cs) {
  const long n = token->parameter == -1 ? 1 : token->parameter;
  if (n < 0 || cs->rotatedPage) {
    RJDropTokenData(token);
    return 0;
  }
  RJBytes bytes;
  for (long i = 0; i < n && i < 255; ++i) bytes.Put(RJ_LF);
  bytes.StoreInto(token);
  return 0;
}

long CRJDevice::ESCFeedUnits(const PrnInputProperty*, const PrnStationState*,
                             PrnCommandToken* token, RJConvState* cs) {
  const long n = token->parameter == -1 ? 1 : token->parameter;
  if (n < 0 || cs->rotatedPage) {
    RJDropTokenData(token);
    return 0;
  }
  RJBytes{RJ_ESC, 'J', static_cast<unsigned char>(n > 255 ? 255 : n)}.StoreInto(token);
  return 0;
}

long CRJDevice::LineFeed(const PrnInputProperty*, const PrnStationState*,
                         PrnCommandToken* token, RJConvState* cs) {
  cs->lineStart = 1;
  const long p = token->parameter;
  if (!InMode(cs) || p == -1) {
    RJBytes{RJ_LF}.StoreInto(token);
    return 0;
  }
  // In page mode and rotated print LF would move by the printer's own line pitch; the
  // builder feeds the exact dots worked out by the line-feed adjustment instead.
  RJBytes bytes;
  bytes.Feed(p < 0 ? 0 : p);
  bytes.StoreInto(token);
  return 0;
}

bool CRJDevice::CutAllowed(const PrnCommandToken* token, const RJConvState* cs) const {
  return cs->station == PRN_STATION_RECEIPT && m_caps && m_caps->capRecPapercut != 0 &&
         !InMode(cs) && (token->parameter == -1 || token->parameter >= 1);
}

long CRJDevice::ESCPaperCut(const PrnInputProperty*, const PrnStationState*,
                            PrnCommandToken* token, RJConvState* cs) {
  if (!CutAllowed(token, cs)) {
    RJDropTokenData(token);
    return 0;
  }
  RJBytes{RJ_ESC, 'J', 0, RJ_GS, 'V', CutKind(token->parameter), RJ_ESC, 'J', 1}
      .StoreInto(token);
  m_cutDone = 1;
  return 1;
}

long CRJDevice::ESCFeedCut(const PrnInputProperty* input, const PrnStationState*,
                           PrnCommandToken* token, RJConvState* cs) {
  const long lines = input->recLinesToPaperCut > 255 ? 255 : input->recLinesToPaperCut;
  if (!CutAllowed(token, cs) || lines < 0) {
    RJDropTokenData(token);
    return 0;
  }
  // The whole distance to the cutter, fed as the line feed feeds it: ESC J takes one
  // byte, so 10 lines of 30 dots are ESC J 255, ESC J 45, not ESC J 44.
  const long long dots = static_cast<long long>(lines) * (cs->lineSpacing < 0 ? 0 : cs->lineSpacing);
  RJBytes bytes{RJ_ESC, 'J', 0};
  bytes.Feed(dots > 0xFFFF ? 0xFFFF : static_cast<long>(dots));
  bytes.Put({RJ_GS, 'V', CutKind(token->parameter), RJ_ESC, 'J', 1});
  bytes.StoreInto(token);
  m_cutDone = 1;
  return 1;
}

// ---------------------------------------------------------------------------------------
// CutPaper and MarkFeed.

void CRJDevice::AddCutToken(PrnTokenList* list, long percentage) {
  AddToken900(list, /*atTail=*/false);
  RJBytes bytes{RJ_ESC, 'J', 0};
  // Exactly 100 (or none given) cuts fully; every other non-zero percentage cuts partially.
  const bool full = percentage == 100 || percentage == -1;
  if (percentage != 0) bytes.Put({RJ_GS, 'V', static_cast<unsigned char>(full ? 0 : 1)});
  bytes.Put({RJ_ESC, 'J', 1});
  (void)AddBytesToken(list, RJ_TOKEN_CUT_PAPER, percentage, &bytes, /*atTail=*/false);
  m_cutDone = 1;
}

void CRJDevice::AddMarkFeedToken(PrnTokenList* list, long type) {
  RJBytes bytes;
  if (type == 4) {  // to the current top of form
    bytes.Put({RJ_ESC, 'j', 68, RJ_ESC, 'J', 5});
  } else if (type == 8) {  // to the next top of form
    bytes.Put({RJ_ESC, 'J', 0, RJ_GS, '<', RJ_ESC, 'j', 68, RJ_ESC, 'J', 5});
  } else {  // take-up and cutter positions
    bytes.Put({RJ_ESC, 'J', 0, RJ_GS, RJ_FF});
  }
  if (type != 4) AddToken900(list, /*atTail=*/false);
  (void)AddBytesToken(list, RJ_TOKEN_MARK_FEED, type, &bytes, /*atTail=*/false);
}
