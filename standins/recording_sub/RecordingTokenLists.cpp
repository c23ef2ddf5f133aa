#include "RecordingTokenLists.h"

#include <cstring>

namespace recsub {

namespace {

constexpr long kTokenText = 101;

// Links a token at the head (the newest end) of the chain.
void Link(PrnTokenList* list, PrnCommandToken* token) {
  auto* node = new PrnTokenNode{list->tokens->head, nullptr, token};
  if (list->tokens->head) list->tokens->head->prev = node;
  list->tokens->head = node;
  if (!list->tokens->tail) list->tokens->tail = node;
  ++list->tokens->count;
  list->totalBytes += token->length;
}

void FreeToken(PrnCommandToken* token) {
  if (!token) return;
  delete[] token->data;
  delete token;
}

}  // namespace

PrnTokenList* NewList(long station) {
  return new PrnTokenList{station, new PrnTokenChain{nullptr, nullptr, 0}, 0};
}

PrnCommandToken* AddToken(PrnTokenList* list, long type, const void* data, long length,
                          long parameter) {
  if (!list || !list->tokens) return nullptr;
  auto* token = new PrnCommandToken{type, parameter, 0, 0, nullptr, 0};
  if (data && length > 0) {
    token->data = new unsigned char[length];
    std::memcpy(token->data, data, length);
    token->length = length;
  }
  Link(list, token);
  return token;
}

void AddText(PrnTokenList* list, const std::string& text) {
  (void)AddToken(list, kTokenText, text.data(), static_cast<long>(text.size()), -1);
}

void MoveTokens(PrnTokenList* target, PrnTokenList* source) {
  if (!target || !source || target == source || !source->tokens) return;
  for (const PrnTokenNode* n = PrnOldestToken(source); n;) {
    const PrnTokenNode* newer = PrnNewerToken(n);
    Link(target, n->token);
    delete n;
    n = newer;
  }
  *source->tokens = PrnTokenChain{nullptr, nullptr, 0};
  source->totalBytes = 0;
}

void CopyTokens(PrnTokenList* target, const PrnTokenList* source) {
  if (!target || !source || target == source) return;
  for (const PrnTokenNode* n = PrnOldestToken(source); n; n = PrnNewerToken(n)) {
    const PrnCommandToken* t = n->token;
    PrnCommandToken* copy = AddToken(target, t->type, t->data, t->length, t->parameter);
    if (copy) {
      copy->parameter2 = t->parameter2;
      copy->parameter3 = t->parameter3;
    }
  }
}

void FreeList(PrnTokenList* list) {
  if (!list) return;
  if (list->tokens) {
    for (PrnTokenNode* n = list->tokens->head; n;) {
      PrnTokenNode* older = n->next;
      FreeToken(n->token);
      delete n;
      n = older;
    }
    delete list->tokens;
  }
  delete list;
}

}  // namespace recsub
