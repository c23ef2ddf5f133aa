#include "CommandToken.h"

#include <cstring>
#include <new>

namespace {

PrnTokenNode* NewNode(PrnCommandToken* token) {
  PrnTokenNode* node = new (std::nothrow) PrnTokenNode;
  if (node) *node = PrnTokenNode{nullptr, nullptr, token};
  return node;
}

}  // namespace

PrnTokenList* CreateCommandList(long station) {
  PrnTokenChain* chain = new (std::nothrow) PrnTokenChain{nullptr, nullptr, 0};
  if (!chain) return nullptr;
  PrnTokenList* list = new (std::nothrow) PrnTokenList{station, chain, 0};
  if (!list) delete chain;
  return list;
}

void FreeCommandList(PrnTokenList* list) {
  if (!list) return;
  while (PrnCommandToken* token = TakeOldestToken(list)) FreeCommandToken(token);
  delete list->tokens;
  delete list;
}

PrnCommandToken* NewCommandToken(long type, const void* data, long length, long parameter) {
  PrnCommandToken* token = new (std::nothrow) PrnCommandToken{type, parameter, 0, 0, nullptr, 0};
  if (!token) return nullptr;
  if (data && length > 0) {
    token->data = new (std::nothrow) unsigned char[static_cast<size_t>(length)];
    if (!token->data) {
      delete token;
      return nullptr;
    }
    std::memcpy(token->data, data, static_cast<size_t>(length));
    token->length = length;
  }
  return token;
}

PrnCommandToken* CloneCommandToken(const PrnCommandToken& token) {
  PrnCommandToken* copy =
      NewCommandToken(token.type, token.data, token.length, token.parameter);
  if (copy) {
    copy->parameter2 = token.parameter2;
    copy->parameter3 = token.parameter3;
  }
  return copy;
}

void FreeCommandToken(PrnCommandToken* token) {
  if (!token) return;
  delete[] token->data;
  delete token;
}

bool PutTokenAtHead(PrnTokenList* list, PrnCommandToken* token) {
  if (!list || !list->tokens || !token) return false;
  PrnTokenNode* node = NewNode(token);
  if (!node) return false;
  PrnTokenChain* chain = list->tokens;
  node->next = chain->head;
  if (chain->head) chain->head->prev = node;
  else chain->tail = node;
  chain->head = node;
  ++chain->count;
  return true;
}

bool PutTokenAtTail(PrnTokenList* list, PrnCommandToken* token) {
  if (!list || !list->tokens || !token) return false;
  PrnTokenNode* node = NewNode(token);
  if (!node) return false;
  PrnTokenChain* chain = list->tokens;
  node->prev = chain->tail;
  if (chain->tail) chain->tail->next = node;
  else chain->head = node;
  chain->tail = node;
  ++chain->count;
  return true;
}

PrnCommandToken* TakeOldestToken(PrnTokenList* list) {
  if (!list || !list->tokens || !list->tokens->tail) return nullptr;
  PrnTokenChain* chain = list->tokens;
  PrnTokenNode* node = chain->tail;
  chain->tail = node->prev;
  if (chain->tail) chain->tail->next = nullptr;
  else chain->head = nullptr;
  --chain->count;
  PrnCommandToken* token = node->token;
  delete node;
  return token;
}

PrnCommandToken* AddCommandToken(PrnTokenList* list, long type, const void* data, long length,
                                 long parameter) {
  if (!list) return nullptr;
  PrnCommandToken* token = NewCommandToken(type, data, length, parameter);
  if (!token) return nullptr;
  if (!PutTokenAtHead(list, token)) {
    FreeCommandToken(token);
    return nullptr;
  }
  list->totalBytes += token->length;
  return token;
}

void MoveCommandTokens(PrnTokenList* target, PrnTokenList* source) {
  if (!target || !source || target == source) return;
  while (source->tokens && source->tokens->tail) {
    PrnCommandToken* token = source->tokens->tail->token;
    // Link into the target before unlinking from the source, so a failed allocation
    // leaves the token where it was.
    if (!PutTokenAtHead(target, token)) return;
    (void)TakeOldestToken(source);
  }
}

bool CopyCommandTokens(const PrnTokenList* source, PrnTokenList* target) {
  if (!source || !target) return false;
  // Snapshot the walk first: copying a list into itself must not see its own copies.
  const long count = CommandTokenCount(source);
  const PrnTokenNode* node = PrnOldestToken(source);
  for (long i = 0; i < count && node; ++i, node = PrnNewerToken(node)) {
    PrnCommandToken* copy = CloneCommandToken(*node->token);
    if (!copy || !PutTokenAtHead(target, copy)) {
      FreeCommandToken(copy);
      return false;
    }
    target->totalBytes += copy->length;
  }
  return true;
}

long CommandTokenCount(const PrnTokenList* list) {
  return (list && list->tokens) ? list->tokens->count : 0;
}

bool InsertTokenAfter(PrnTokenList* list, PrnTokenNode* node, PrnCommandToken* token) {
  PrnTokenNode* added = NewNode(token);
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

PrnCommandToken* UnlinkTokenNode(PrnTokenList* list, PrnTokenNode* node, PrnTokenNode** newer) {
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

