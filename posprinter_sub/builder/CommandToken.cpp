#include "CommandToken.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>

namespace {

// The first block sits in the list's own record; each further block is twice the size of
// the one before it (at least kSecondBlockBytes).
constexpr size_t kInlineBytes = 2048;
constexpr size_t kSecondBlockBytes = 4096;
// Freed lists kept for reuse, and how much of its store each keeps: a receipt's worth; a
// list that held a large image gives the rest back.
constexpr size_t kKeptLists = 8;
constexpr size_t kKeptStoreBytes = 64 * 1024;

struct Block {
  Block* next;
  unsigned char* bytes;
  size_t size;
};

struct Store {
  Block* current;  // carving from it; the blocks after it are free
  unsigned char* at;
  unsigned char* end;
};

// A token with its chain link and the store its new bytes are carved from (that of the list
// it sits in); the token comes first, so a token's address is its cell's.
struct TokenCell {
  PrnCommandToken token;
  PrnTokenNode node;
  Store* store;
};

struct ListRecord;

// A store a list holds because tokens moved into it may live there; carved from the
// holding list's own store.
struct HeldStore {
  ListRecord* record;
  HeldStore* next;
};

// What CreateCommandList allocates; the list comes first, so a list's address is its
// record's. The store is carved only by the list in the record, and rewound only when
// nothing else holds it: moved tokens keep their addresses until the last list holding
// them is freed.
struct ListRecord {
  PrnTokenList list;
  PrnTokenChain chain;
  Store store;
  // Its own list or the kept lists, plus each list in whose `held` it is. Lists holding
  // the same store may be freed on different threads.
  std::atomic<long> holders;
  HeldStore* held;  // the stores this record's list holds besides its own
  Block first;
  unsigned char firstBytes[kInlineBytes];
};

ListRecord* RecordOf(const PrnTokenList* list) {
  return reinterpret_cast<ListRecord*>(const_cast<PrnTokenList*>(list));
}
TokenCell* CellOf(PrnCommandToken* token) { return reinterpret_cast<TokenCell*>(token); }

// Frees the heap blocks after `from`.
void FreeBlocksAfter(Block* from) {
  Block* block = from->next;
  from->next = nullptr;
  while (block) {
    Block* next = block->next;
    ::operator delete(block);
    block = next;
  }
}

void Destroy(ListRecord* record) {
  FreeBlocksAfter(&record->first);
  delete record;
}

size_t StoreBytes(const ListRecord* record) {
  size_t bytes = 0;
  for (const Block* block = &record->first; block; block = block->next) bytes += block->size;
  return bytes;
}

// For a store nothing else holds: keeps the blocks a receipt needs, gives the rest back and
// carves from the start again.
void Reset(ListRecord* record) {
  size_t kept = kInlineBytes;
  for (Block* block = &record->first; block->next; block = block->next) {
    if (kept + block->next->size > kKeptStoreBytes) {
      FreeBlocksAfter(block);
      break;
    }
    kept += block->next->size;
  }
  record->store.current = &record->first;
  record->store.at = record->firstBytes;
  record->store.end = record->firstBytes + kInlineBytes;
}

// The lists freed last, ready for the next CreateCommandList. Lists are made on the
// caller's thread and freed on the output threads, hence the lock.
class KeptLists {
 public:
  ~KeptLists() {
    for (size_t i = 0; i < m_count; ++i) Destroy(m_lists[i]);
  }
  ListRecord* Take() {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_count ? m_lists[--m_count] : nullptr;
  }
  // False when full: the caller destroys the record.
  bool Keep(ListRecord* record) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_count == kKeptLists) return false;
    m_lists[m_count++] = record;
    return true;
  }

 private:
  std::mutex m_lock;
  ListRecord* m_lists[kKeptLists] = {};
  size_t m_count = 0;
};

KeptLists& Kept() {
  static KeptLists kept;
  return kept;
}

// Drops one holder; the last one resets the store for the kept lists, or frees it.
void Release(ListRecord* record) {
  if (record->holders.fetch_sub(1) != 1) return;
  Reset(record);
  record->holders = 1;
  if (!Kept().Keep(record)) Destroy(record);
}

// Moves to the next block that has room for `need` bytes: one kept from an earlier use of
// the store, or a new one of double size.
bool NextBlock(Store* store, size_t need) {
  while (store->current->next) {
    store->current = store->current->next;
    store->at = store->current->bytes;
    store->end = store->at + store->current->size;
    if (store->current->size >= need) return true;
  }
  size_t size = store->current->size * 2;
  if (size < kSecondBlockBytes) size = kSecondBlockBytes;
  while (size < need) size *= 2;
  void* memory = ::operator new(sizeof(Block) + size, std::nothrow);
  if (!memory) return false;
  auto* block = static_cast<Block*>(memory);
  block->next = nullptr;
  block->bytes = static_cast<unsigned char*>(memory) + sizeof(Block);
  block->size = size;
  store->current->next = block;
  store->current = block;
  store->at = block->bytes;
  store->end = block->bytes + size;
  return true;
}

unsigned char* Carve(Store* store, size_t count, size_t align) {
  for (;;) {
    const uintptr_t at = (reinterpret_cast<uintptr_t>(store->at) + align - 1) & ~(align - 1);
    if (at <= reinterpret_cast<uintptr_t>(store->end) &&
        count <= reinterpret_cast<uintptr_t>(store->end) - at) {
      store->at = reinterpret_cast<unsigned char*>(at + count);
      return reinterpret_cast<unsigned char*>(at);
    }
    if (count > SIZE_MAX / 2 - align || !NextBlock(store, count + align)) return nullptr;
  }
}

// Makes `list` hold `record` (once). False when memory runs out.
bool Hold(PrnTokenList* list, ListRecord* record) {
  ListRecord* own = RecordOf(list);
  if (record == own) return true;
  for (HeldStore* held = own->held; held; held = held->next)
    if (held->record == record) return true;
  auto* held =
      reinterpret_cast<HeldStore*>(Carve(&own->store, sizeof(HeldStore), alignof(HeldStore)));
  if (!held) return false;
  *held = HeldStore{record, own->held};
  own->held = held;
  ++record->holders;
  return true;
}

void LinkAtHead(PrnTokenChain* chain, PrnTokenNode* node) {
  node->prev = nullptr;
  node->next = chain->head;
  if (chain->head) chain->head->prev = node;
  else chain->tail = node;
  chain->head = node;
  ++chain->count;
}

void LinkAtTail(PrnTokenChain* chain, PrnTokenNode* node) {
  node->next = nullptr;
  node->prev = chain->tail;
  if (chain->tail) chain->tail->next = node;
  else chain->head = node;
  chain->tail = node;
  ++chain->count;
}

void Unlink(PrnTokenChain* chain, PrnTokenNode* node) {
  if (node->prev) node->prev->next = node->next;
  else chain->head = node->next;
  if (node->next) node->next->prev = node->prev;
  else chain->tail = node->prev;
  node->next = node->prev = nullptr;
  --chain->count;
}

// A copy of a token (type, three parameters, data) in the target's store, not linked.
PrnCommandToken* CopyToken(PrnTokenList* target, const PrnCommandToken& token) {
  PrnCommandToken* copy =
      NewCommandToken(target, token.type, token.data, token.length, token.parameter);
  if (copy) {
    copy->parameter2 = token.parameter2;
    copy->parameter3 = token.parameter3;
  }
  return copy;
}

}  // namespace

PrnTokenList* CreateCommandList(long station) {
  ListRecord* record;
  while ((record = Kept().Take()) != nullptr) {
    // A kept store that other lists still hold goes on carving after their tokens, so a
    // transaction's lists reuse one store; only while it is small, so that a list kept
    // for long cannot make it grow without end.
    if (record->holders == 1) {
      Reset(record);
      break;
    }
    if (StoreBytes(record) <= kKeptStoreBytes) break;
    Release(record);
  }
  if (!record) {
    record = new (std::nothrow) ListRecord;
    if (!record) return nullptr;
    record->holders = 1;
    record->first = Block{nullptr, record->firstBytes, kInlineBytes};
    Reset(record);
  }
  record->held = nullptr;
  record->chain = PrnTokenChain{nullptr, nullptr, 0};
  record->list = PrnTokenList{station, &record->chain, 0};
  return &record->list;
}

void FreeCommandList(PrnTokenList* list) {
  if (!list) return;
  ListRecord* record = RecordOf(list);
  for (HeldStore* held = record->held; held; held = held->next) Release(held->record);
  record->held = nullptr;
  if (record->holders == 1) Reset(record);
  if (!Kept().Keep(record)) Release(record);
}

PrnCommandToken* NewCommandToken(PrnTokenList* list, long type, const void* data, long length,
                                 long parameter) {
  if (!list) return nullptr;
  Store* store = &RecordOf(list)->store;
  void* memory = Carve(store, sizeof(TokenCell), alignof(TokenCell));
  if (!memory) return nullptr;
  auto* cell = static_cast<TokenCell*>(memory);
  cell->token = PrnCommandToken{type, parameter, 0, 0, nullptr, 0};
  cell->node = PrnTokenNode{nullptr, nullptr, &cell->token};
  cell->store = store;
  if (data && length > 0) {
    unsigned char* bytes = Carve(store, static_cast<size_t>(length), 1);
    if (!bytes) return nullptr;
    std::memcpy(bytes, data, static_cast<size_t>(length));
    cell->token.data = bytes;
    cell->token.length = length;
  }
  return &cell->token;
}

void SetTokenData(PrnCommandToken* token, const unsigned char* bytes, size_t count) {
  if (!bytes || count == 0) {
    token->data = nullptr;
    token->length = 0;
    return;
  }
  unsigned char* copy = Carve(CellOf(token)->store, count, 1);
  if (!copy) throw std::bad_alloc();
  std::memcpy(copy, bytes, count);
  token->data = copy;
  token->length = static_cast<long>(count);
}

unsigned char* AllocateInList(PrnTokenList* list, size_t count) {
  return list ? Carve(&RecordOf(list)->store, count ? count : 1, 1) : nullptr;
}

bool PutTokenAtHead(PrnTokenList* list, PrnCommandToken* token) {
  if (!list || !list->tokens || !token) return false;
  LinkAtHead(list->tokens, &CellOf(token)->node);
  return true;
}

bool PutTokenAtTail(PrnTokenList* list, PrnCommandToken* token) {
  if (!list || !list->tokens || !token) return false;
  LinkAtTail(list->tokens, &CellOf(token)->node);
  return true;
}

PrnCommandToken* AddCommandToken(PrnTokenList* list, long type, const void* data, long length,
                                 long parameter) {
  PrnCommandToken* token = NewCommandToken(list, type, data, length, parameter);
  if (!token || !PutTokenAtHead(list, token)) return nullptr;
  list->totalBytes += token->length;
  return token;
}

void MoveCommandTokens(PrnTokenList* target, PrnTokenList* source) {
  if (!target || !source || target == source || !target->tokens || !source->tokens ||
      !source->tokens->tail)
    return;
  // A token in the source, and its bytes, live in the source's store or in one it holds:
  // the target holds them all from now on.
  ListRecord* from = RecordOf(source);
  if (!Hold(target, from)) return;
  for (HeldStore* held = from->held; held; held = held->next)
    if (!Hold(target, held->record)) return;
  Store* store = &RecordOf(target)->store;
  while (PrnTokenNode* node = source->tokens->tail) {
    Unlink(source->tokens, node);
    LinkAtHead(target->tokens, node);
    CellOf(node->token)->store = store;
  }
}

bool CopyCommandTokens(const PrnTokenList* source, PrnTokenList* target) {
  if (!source || !target || !target->tokens) return false;
  // Snapshot the walk first: copying a list into itself must not see its own copies.
  const long count = CommandTokenCount(source);
  const PrnTokenNode* node = PrnOldestToken(source);
  for (long i = 0; i < count && node; ++i, node = PrnNewerToken(node)) {
    PrnCommandToken* copy = CopyToken(target, *node->token);
    if (!copy) return false;
    LinkAtHead(target->tokens, &CellOf(copy)->node);
    target->totalBytes += copy->length;
  }
  return true;
}

long CommandTokenCount(const PrnTokenList* list) {
  return (list && list->tokens) ? list->tokens->count : 0;
}

bool InsertTokenAfter(PrnTokenList* list, PrnTokenNode* node, PrnCommandToken* token) {
  if (!list || !list->tokens || !node || !token) return false;
  PrnTokenChain* chain = list->tokens;
  PrnTokenNode* added = &CellOf(token)->node;
  added->next = node;        // towards the tail (older)
  added->prev = node->prev;  // towards the head (newer)
  if (node->prev) node->prev->next = added;
  else chain->head = added;
  node->prev = added;
  ++chain->count;
  return true;
}

PrnCommandToken* UnlinkTokenNode(PrnTokenList* list, PrnTokenNode* node, PrnTokenNode** newer) {
  PrnTokenNode* const prev = node->prev;
  Unlink(list->tokens, node);
  if (newer) *newer = prev;
  return node->token;
}
