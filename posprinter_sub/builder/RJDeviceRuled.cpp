// Ruled lines (DrawRuledLine): checking the positions and building the printer's
// ruled-line buffer commands (DC3). The printer keeps one line buffer: DC3 + opens it,
// DC3 C clears it, DC3 L s e and DC3 D p set dots, DC3 p n prints it n dots high and
// DC3 - closes it. Vertical lines stay set across the text until a vertical end.
#include "RJDevice.h"

#include "CommandToken.h"
#include "RJBytes.h"

namespace {

void PutVerticalLines(RJBytes* bytes, const RJPositionList& verticals, long width) {
  bytes->Put({RJ_DC3, '+', RJ_DC3, 'C'});
  for (long p : verticals)
    for (long j = 0; j < width; ++j) bytes->Put({RJ_DC3, 'D'}).Word(p + j);
}

}  // namespace

int CRJDevice::ParseRuledLinePositions(const PrnPositionArray* positions, long lineWidth,
                                       bool vertical, RJSegmentList* segments,
                                       RJPositionList* verticals, long w) {
  if (!positions || !positions->values || positions->count <= 0 || !segments || !verticals)
    return 0;
  const long* v = positions->values;
  const long n = positions->count;
  // Checked into temporaries: a refused call leaves the lists as they were.
  if (vertical) {
    if (lineWidth < 0 || lineWidth > w) return 0;
    RJPositionList accepted;
    for (long i = 0; i < n; ++i) {
      if (v[i] < 0 || v[i] > w - 1 || v[i] + lineWidth > w) return 0;
      accepted.push_back(v[i]);
    }
    if (lineWidth == 0) return 1;  // nothing to draw
    verticals->insert(verticals->end(), accepted.begin(), accepted.end());
    return 1;
  }
  if (n % 2 != 0) return 0;  // a start without its length
  RJSegmentList accepted;
  for (long i = 0; i < n; i += 2) {
    const long start = v[i];
    const long length = v[i + 1];
    if (length == 0) continue;
    if (start < 0 || start > w - 1 || length < 0 || length > w || start + length > w) return 0;
    accepted.push_back(RJRuledSegment{start, start + length - 1});
  }
  segments->insert(segments->end(), accepted.begin(), accepted.end());
  return 1;
}

PrnTokenList* CRJDevice::BuildRuledLineTokens(RJSegmentList* segments,
                                              RJPositionList* verticals, long station,
                                              long lineWidth, bool vertical, bool end) {
  if ((!vertical && end) || !segments || !verticals) return nullptr;
  RJBytes bytes;
  if (vertical && !end) {
    m_ruledWidth = lineWidth;
    PutVerticalLines(&bytes, *verticals, m_ruledWidth);
  } else if (vertical) {
    bytes.Put({RJ_ESC, 'J', 0, RJ_DC3, '+', RJ_DC3, 'C', RJ_DC3, '-'});
    FreePositionList(verticals);
  } else {
    bytes.Put({RJ_ESC, 'J', 0, RJ_DC3, '+', RJ_DC3, 'C'});
    for (const RJRuledSegment& s : *segments) bytes.Put({RJ_DC3, 'L'}).Word(s.first).Word(s.last);
    // Open vertical lines run through the band's rows too.
    for (long p : *verticals) bytes.Put({RJ_DC3, 'L'}).Word(p).Word(p + m_ruledWidth - 1);
    bytes.Put({RJ_DC3, 'p', static_cast<unsigned char>(lineWidth), 0, RJ_DC3, '-'});
    if (!verticals->empty()) PutVerticalLines(&bytes, *verticals, m_ruledWidth);
    FreeSegmentList(segments);
  }
  PrnTokenList* list = CreateTokenList(station);
  if (!list) return nullptr;
  if (!AddBytesToken(list, RJ_TOKEN_RULED_LINE, lineWidth, &bytes, /*atTail=*/false)) {
    FreeTokenList(list);
    return nullptr;
  }
  return list;
}

bool CRJDevice::AppendRuledLineCopies(PrnTokenList* built, PrnTokenList* target) {
  long bytes = 0;
  for (PrnTokenNode* node = OldestTokenNode(built); node; node = node->prev) {
    node->token->type = RJ_TOKEN_RULED_LINE_COPY;
    bytes += node->token->length;
  }
  const bool moved = MoveCommandTokens(target, built);
  if (moved) target->totalBytes += bytes;
  FreeTokenList(built);
  return moved;
}
