// Line-feed adjustment of a buffered page or rotated print, and the positioned and data
// tokens whose heights it reads.
//
// In page mode the printer puts each line on a baseline and does not move down by itself:
// the builder feeds every line by its tallest element before it prints (the bytes of the
// line's 158 token) and by the rest of the line spacing after it (the parameter of the
// line's 157 token, rendered as ESC J). Lines that would run past the page are dropped.
#include "RJDevice.h"

#include "CommandToken.h"
#include "Log.h"
#include "LogContext.h"
#include "RJBytes.h"
#include "CommandToken.h"

#include <cstdlib>
#include <string>

namespace {

constexpr char kFile[] = "RJDeviceFeed";

bool IsEndToken(long type) { return type == RJ_TOKEN_PAGE_END || type == RJ_TOKEN_FORM_FEED; }

// The line being walked: from its 158 token (none before the first) to its 157.
struct OpenLine {
  PrnTokenNode* start = nullptr;
  long height = 0;         // above the baseline: fed by the line's 158 token
  long below = 0;          // fed by the elements' own bytes after they print
  long textPosition = -1;  // parameter of the line's last text token

  void Raise(long h) {
    if (h > height) height = h;
  }
  void Lower(long h) {
    if (h > below) below = h;
  }
  long Extent() const { return height + below; }
};

}  // namespace

long CRJDevice::AdjustLineFeedWidth(const PrnInputProperty* input, const PrnStationState* state,
                                    PrnTokenList* list, long /*lengthLimit*/) {
  if (!input || !list) return 0;
  long pageHeight = 0;
  long left = 0;
  long position = 0;
  if (state && state->rotatedPrint) {
    // Turned by 90 degrees, the lines stack across the paper.
    pageHeight = input->recLineWidth;
  } else if (state && state->pageMode) {
    std::string area[4];
    (void)m_converter.SplitCommaList(input->pageModePrintArea, area, 4);
    const long direction = input->pageModePrintDirection;
    if (direction == 1 || direction == 3) {
      pageHeight = std::strtol(area[3].c_str(), nullptr, 10);
    } else if (direction == 2 || direction == 4) {
      pageHeight = std::strtol(area[2].c_str(), nullptr, 10);
    } else {
      WriteLogLine(m_log, LOG_CAT_INFO, "CRJDevice::AdjustLineFeedWidth", kFile, __LINE__,
                   kTagInfo, "m_PageModePrintDirection is an invalid value.");
    }
    left = input->pageModeHorizontalPosition;
    position = input->pageModeVerticalPosition;
  } else {
    WriteLogLine(m_log, LOG_CAT_INFO, "CRJDevice::AdjustLineFeedWidth", kFile, __LINE__,
                 kTagInfo, "Both m_fRecTurnPrint and m_fPageMode are FALSE.");
    return 0;
  }

  long charHeight = m_pageCharHeight;
  long spacing = m_pageLineSpacing;
  long vScale = 1;
  OpenLine line;
  bool overflow = false;

  // Closes the open line: its 158 gets the feed down to the baseline of its tallest
  // element. False when the line does not fit the page any more.
  auto closeLine = [&]() -> bool {
    if (position + line.Extent() > pageHeight) return false;
    if (line.start) {
      RJBytes bytes;
      if (line.textPosition != -1) bytes.Put({RJ_ESC, '$'}).Word(line.textPosition);
      bytes.Feed(line.height);
      if (left != 0) bytes.Put({RJ_ESC, '$'}).Word(left);
      PrnCommandToken* start = line.start->token;
      list->totalBytes += static_cast<long>(bytes.Size()) - start->length;
      bytes.StoreInto(start);
    }
    position += line.Extent();
    return true;
  };

  PrnTokenNode* node = OldestTokenNode(list);
  while (node) {
    PrnCommandToken* token = node->token;
    if (overflow) {
      if (IsEndToken(token->type)) {
        node = node->prev;
      } else {
        list->totalBytes -= token->length;
        (void)UnlinkTokenNode(list, node, &node);
      }
      continue;
    }
    switch (token->type) {
      case RJ_TOKEN_WRAP_START:
        if (line.start && !closeLine()) {
          overflow = true;
          node = line.start;  // drop the open line from its start on
          continue;
        }
        line = OpenLine{};
        line.start = node;
        break;
      case RJ_TOKEN_LINE_FEED: {
        if (!closeLine()) {
          overflow = true;
          if (line.start) node = line.start;
          continue;
        }
        long gap = spacing - line.Extent();
        if (gap < 0) gap = 0;
        if (gap > pageHeight - position) gap = pageHeight - position;
        token->parameter = gap;
        position += gap;
        line = OpenLine{};
        // The next line starts right here, unless it brings its own start or nothing follows.
        PrnTokenNode* next = node->prev;
        if (next && next->token->type != RJ_TOKEN_WRAP_START && !IsEndToken(next->token->type)) {
          PrnCommandToken* start = NewCommandToken(list, RJ_TOKEN_WRAP_START, nullptr, 0, 0);
          if (start && InsertTokenAfter(list, node, start)) {
            node = node->prev;
            line.start = node;
          }
        }
        break;
      }
      case RJ_TOKEN_TEXT:
        line.Raise(charHeight * vScale);
        line.textPosition = token->parameter;
        break;
      case RJ_TOKEN_BITMAP:
        if (token->parameter >= 1 && token->parameter <= 20)
          line.Raise(m_bitmapSize[token->parameter - 1].heightDots);
        break;
      case RJ_TOKEN_RASTER:
      case RJ_TOKEN_POSITIONED:
      case RJ_TOKEN_RULED_LINE:
        // Second word: the height above the baseline. Third word: what the token's own
        // bytes feed after it prints (a barcode's HRI text below the symbol).
        line.Raise(token->parameter2);
        line.Lower(token->parameter3);
        break;
      case RJ_TOKEN_FONT1: charHeight = 16; break;
      case RJ_TOKEN_FONT2: charHeight = 24; break;
      case RJ_TOKEN_CHARSET:
      case RJ_TOKEN_NORMAL:
      case RJ_TOKEN_SINGLE_SIZE:
      case RJ_TOKEN_DOUBLE_WIDE: vScale = 1; break;
      case RJ_TOKEN_DOUBLE_HIGH:
      case RJ_TOKEN_DOUBLE_SIZE: vScale = 2; break;
      case RJ_TOKEN_VSCALE: vScale = token->parameter; break;
      case RJ_TOKEN_LINE_SPACING: spacing = token->parameter; break;
      default: break;
    }
    node = node->prev;
  }
  if (!overflow && line.start && !closeLine()) {
    // The last line has no line end of its own and does not fit either.
    for (PrnTokenNode* n = line.start; n;) {
      if (IsEndToken(n->token->type)) {
        n = n->prev;
      } else {
        list->totalBytes -= n->token->length;
        (void)UnlinkTokenNode(list, n, &n);
      }
    }
  }
  return 0;
}

// ---------------------------------------------------------------------------------------
// Positioned and data tokens (barcode builders).

void CRJDevice::AddPositionedToken(const unsigned char* data, long parameter, long height,
                                   long length, PrnTokenList* list,
                                   const PrnStationState* state, long further) {
  RJBytes bytes;
  if (data && length > 0) bytes.Put(data, static_cast<size_t>(length));
  PrnCommandToken* token = AddBytesToken(list, RJ_TOKEN_POSITIONED, parameter, &bytes, false);
  if (!token) return;
  token->parameter2 = height;
  token->parameter3 = further;
  // In page mode and rotated print every element is a line of its own.
  if (state && (state->rotatedPrint || state->pageMode))
    (void)AddBytesToken(list, RJ_TOKEN_LINE_FEED, 0, nullptr, false);
}

void CRJDevice::AddDataToken(const unsigned char* data, long parameter, long length,
                             PrnTokenList* list) {
  RJBytes bytes;
  if (data && length > 0) bytes.Put(data, static_cast<size_t>(length));
  (void)AddBytesToken(list, RJ_TOKEN_RULED_LINE, parameter, &bytes, false);
}
