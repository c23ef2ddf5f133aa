// Command tokens and command-token lists (the layouts of PrinterSubRecords.h). Tokens are
// added at the head or the tail; every consumer takes them from the tail towards the head,
// so tokens leave in the order they were added. Lists and tokens are created and freed
// only here, with this module's heap.
//
// Storage: each list owns one store from which its tokens, their chain links and their
// data bytes are carved. The store grows in blocks that double in size, and a freed list's
// store is kept for the next list, so building and rendering a list allocates nothing per
// token and nothing per byte. Moving tokens to another list moves the tokens themselves:
// the target then holds the stores they live in, as far as they were carved at the move.
// A freed list's store goes back to the furthest place another list still holds it to (the
// start when none does) and gives back the blocks after it beyond a receipt's worth, so a
// list kept for long holds only what it took. A token taken out of a list needs no freeing
// of its own.
#pragma once
#include <cstddef>

#include "PrinterSubRecords.h"

// A new empty list owned by `station`; NULL when memory runs out.
[[nodiscard]] PrnTokenList* CreateCommandList(long station);

// Frees the list with every token in it and their data. NULL: nothing.
void FreeCommandList(PrnTokenList* list);

// A new zeroed token with `type` and `parameter` and its own copy of the data, in the
// list's store but not yet linked into it (PutTokenAtHead, PutTokenAtTail,
// InsertTokenAfter). Data is copied only when `data` is non-NULL and `length` > 0;
// otherwise the token has no data and length 0. NULL when memory runs out or `list` is NULL.
[[nodiscard]] PrnCommandToken* NewCommandToken(PrnTokenList* list, long type, const void* data,
                                               long length, long parameter);

// Replaces the token's bytes with a copy of these, made in the store of the token's list;
// no bytes (NULL or 0) leave it without data. Throws std::bad_alloc when memory runs out.
void SetTokenData(PrnCommandToken* token, const unsigned char* bytes, size_t count);

// Room for `count` bytes in the list's store, alive as long as the list; NULL when memory
// runs out.
[[nodiscard]] unsigned char* AllocateInList(PrnTokenList* list, size_t count);

// Links a token made for this list (NewCommandToken) at the head (newest end) or the tail
// (oldest end). The byte total is not touched. False when the list or token is NULL.
[[nodiscard]] bool PutTokenAtHead(PrnTokenList* list, PrnCommandToken* token);
[[nodiscard]] bool PutTokenAtTail(PrnTokenList* list, PrnCommandToken* token);

// NewCommandToken + PutTokenAtHead + the token's length added to the total: what service
// 1013 does. Returns the token (owned by the list) or NULL.
[[nodiscard]] PrnCommandToken* AddCommandToken(PrnTokenList* list, long type, const void* data,
                                               long length, long parameter);

// Takes the tokens themselves from the source's tail and adds each at the target's head
// until the source is empty; both byte totals stay as they were. False when memory ran out
// (every token stays in the source, both lists as they were) or a list is NULL.
[[nodiscard]] bool MoveCommandTokens(PrnTokenList* target, PrnTokenList* source);

// Copies every token of the source, tail first, to the target's head, adding each copy's
// length to the target's total; the source is unchanged. False when memory ran out (the
// copies made so far stay in the target).
[[nodiscard]] bool CopyCommandTokens(const PrnTokenList* source, PrnTokenList* target);

long CommandTokenCount(const PrnTokenList* list);

// Links `token` (made for this list) right after `node` in render order (between the node
// and its newer neighbour).
[[nodiscard]] bool InsertTokenAfter(PrnTokenList* list, PrnTokenNode* node,
                                    PrnCommandToken* token);

// Unlinks `node`; returns the token it held, which stays where it is until the list is
// freed (nothing to free). The node's newer neighbour is returned through `newer` so
// that a render-order walk can go on.
PrnCommandToken* UnlinkTokenNode(PrnTokenList* list, PrnTokenNode* node, PrnTokenNode** newer);

// Non-const walk in render order (oldest first).
inline PrnTokenNode* OldestTokenNode(PrnTokenList* list) {
  return (list && list->tokens) ? list->tokens->tail : nullptr;
}

// The bytes all stores hold now, those of live lists and those kept for the next ones.
size_t CommandStoreBytes();

// For tests: the next `count` moves that need memory find none.
void FailNextTokenMoves(long count);
