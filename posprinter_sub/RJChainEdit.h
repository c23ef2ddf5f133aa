// Edits inside a token chain that the list module (CommandToken.h) does not offer: insert a
// token next to a node and unlink a node. Kept here until the list module has them; both
// allocate and free nodes exactly as that module does (plain new/delete of PrnTokenNode).
#pragma once
#include "PrinterSubRecords.h"

#include <new>

// Links `token` right after `node` in render order (between the node and its newer
// neighbour). The list takes the token over; false (token not taken) when memory runs out.
[[nodiscard]] inline bool RJInsertAfter(PrnTokenList* list, PrnTokenNode* node,
                                        PrnCommandToken* token) {
  PrnTokenNode* added = new (std::nothrow) PrnTokenNode{nullptr, nullptr, token};
  if (!added) return false;
  PrnTokenChain* chain = list->tokens;
  added->next = node;        // towards the tail (older)
  added->prev = node->prev;  // towards the head (newer)
  if (node->prev) node->prev->next = added;
  else chain->head = added;
  node->prev = added;
  ++chain->count;
  return true;
}

// Unlinks `node` and frees it; returns the token it held (now the caller's). The node's
// newer neighbour is returned through `newer` so that a render-order walk can go on.
inline PrnCommandToken* RJUnlink(PrnTokenList* list, PrnTokenNode* node,
                                 PrnTokenNode** newer) {
  PrnTokenChain* chain = list->tokens;
  if (node->prev) node->prev->next = node->next;
  else chain->head = node->next;
  if (node->next) node->next->prev = node->prev;
  else chain->tail = node->prev;
  --chain->count;
  if (newer) *newer = node->prev;
  PrnCommandToken* token = node->token;
  delete node;
  return token;
}

// Non-const walk in render order (oldest first).
inline PrnTokenNode* RJOldest(PrnTokenList* list) {
  return (list && list->tokens) ? list->tokens->tail : nullptr;
}
