// Command-token lists as a sub-module makes them, for the recording sub-module when it acts
// as a printer: made, filled, moved, copied and freed only here, on the sub-module's heap.
#pragma once
#include <string>

#include "PrinterSubRecords.h"

namespace recsub {

PrnTokenList* NewList(long station);
// A new token with its own copy of the bytes, at the newest end of the list.
PrnCommandToken* AddToken(PrnTokenList* list, long type, const void* data, long length,
                          long parameter);
// A text token (code 101) with the text's bytes.
void AddText(PrnTokenList* list, const std::string& text);
// The tokens of `source`, oldest first, after the newest of `target`; `source` is left empty.
void MoveTokens(PrnTokenList* target, PrnTokenList* source);
// Copies of the tokens of `source`, oldest first, after the newest of `target`.
void CopyTokens(PrnTokenList* target, const PrnTokenList* source);
// The list, its chain and every token with its bytes.
void FreeList(PrnTokenList* list);

}  // namespace recsub
