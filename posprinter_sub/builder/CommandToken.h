// Command tokens and command-token lists (the layouts of PrinterSubRecords.h). Tokens are
// added at the head or the tail; every consumer takes them from the tail towards the head,
// so tokens leave in the order they were added. Lists and tokens are created and freed
// only here, with this module's heap.
#pragma once
#include "PrinterSubRecords.h"

// A new empty list owned by `station`; NULL when memory runs out.
[[nodiscard]] PrnTokenList* CreateCommandList(long station);

// Frees every token (tail first) with its data, the chain and the list. NULL: nothing.
void FreeCommandList(PrnTokenList* list);

// A new zeroed token with `type` and `parameter` and its own copy of the data. Data is
// copied only when `data` is non-NULL and `length` > 0; otherwise the token has no data
// and length 0. NULL when memory runs out.
[[nodiscard]] PrnCommandToken* NewCommandToken(long type, const void* data, long length,
                                               long parameter);
// A copy of a token (type, three parameters, fresh data); NULL when memory runs out.
[[nodiscard]] PrnCommandToken* CloneCommandToken(const PrnCommandToken& token);
void FreeCommandToken(PrnCommandToken* token);

// Links a token at the head (newest end) or the tail (oldest end) of the list; the list
// takes it over. The byte total is not touched. False (token not taken) when the list is
// NULL or memory runs out.
[[nodiscard]] bool PutTokenAtHead(PrnTokenList* list, PrnCommandToken* token);
[[nodiscard]] bool PutTokenAtTail(PrnTokenList* list, PrnCommandToken* token);

// Unlinks the oldest token (the tail) and hands it to the caller; NULL when empty.
[[nodiscard]] PrnCommandToken* TakeOldestToken(PrnTokenList* list);

// NewCommandToken + PutTokenAtHead + the token's length added to the total: what service
// 1013 does. Returns the token (still owned by the list) or NULL.
[[nodiscard]] PrnCommandToken* AddCommandToken(PrnTokenList* list, long type, const void* data,
                                               long length, long parameter);

// Takes tokens from the source's tail and adds each at the target's head until the source
// is empty; both byte totals stay as they were.
void MoveCommandTokens(PrnTokenList* target, PrnTokenList* source);

// Copies every token of the source, tail first, to the target's head, adding each copy's
// length to the target's total; the source is unchanged. False when memory ran out (the
// copies made so far stay in the target).
[[nodiscard]] bool CopyCommandTokens(const PrnTokenList* source, PrnTokenList* target);

long CommandTokenCount(const PrnTokenList* list);

// Links `token` right after `node` in render order (between the node and its newer
// neighbour). The list takes the token over; false (token not taken) when memory runs out.
[[nodiscard]] bool InsertTokenAfter(PrnTokenList* list, PrnTokenNode* node,
                                    PrnCommandToken* token);

// Unlinks `node` and frees it; returns the token it held (now the caller's). The node's
// newer neighbour is returned through `newer` so that a render-order walk can go on.
PrnCommandToken* UnlinkTokenNode(PrnTokenList* list, PrnTokenNode* node, PrnTokenNode** newer);

// Non-const walk in render order (oldest first).
inline PrnTokenNode* OldestTokenNode(PrnTokenList* list) {
  return (list && list->tokens) ? list->tokens->tail : nullptr;
}
