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
  size_t start;  // the bytes of the blocks before it: a place in a store is start + offset
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

// A list's hold on another list's store, because tokens moved into it may live there, up
// to the place the store was carved to when they moved. Carved from the holding list's
// own store.
struct HeldStore {
  ListRecord* record;
  size_t upTo;
  HeldStore* next;        // the next store the same list holds
  HeldStore* nextHolder;  // the next hold on the same store
};

enum class Use { kList, kKept, kHeldOnly };

// What CreateCommandList allocates; the list comes first, so a list's address is its
// record's. The store is carved only by the list in the record. When that list is freed
// the store goes back to the furthest place another list holds it to (the start when none
// does): moved tokens keep their addresses while a list holds them, and what a later list
// built after them is given back when that list is freed.
struct ListRecord {
  PrnTokenList list;
  PrnTokenChain chain;
  Store store;
  Use use;
  HeldStore* held;     // the stores this record's list holds besides its own
  HeldStore* holders;  // the other lists' holds on this store
  Block first;
  unsigned char firstBytes[kInlineBytes];
};

ListRecord* RecordOf(const PrnTokenList* list) {
  return reinterpret_cast<ListRecord*>(const_cast<PrnTokenList*>(list));
}
TokenCell* CellOf(PrnCommandToken* token) { return reinterpret_cast<TokenCell*>(token); }

std::atomic<size_t> g_storeBytes{0};
std::atomic<long> g_failingMoves{0};

// Frees the heap blocks after `from`.
void FreeBlocksAfter(Block* from) {
  Block* block = from->next;
  from->next = nullptr;
  while (block) {
    Block* next = block->next;
    g_storeBytes -= block->size;
    ::operator delete(block);
    block = next;
  }
}

void Destroy(ListRecord* record) {
  FreeBlocksAfter(&record->first);
  g_storeBytes -= kInlineBytes;
  delete record;
}

size_t StoreBytes(const ListRecord* record) {
  size_t bytes = 0;
  for (const Block* block = &record->first; block; block = block->next) bytes += block->size;
  return bytes;
}

size_t PlaceOf(const Store& store) {
  return store.current->start + static_cast<size_t>(store.at - store.current->bytes);
}

// Carves from `place` on again, keeping the blocks after it that a receipt needs and giving
// the rest back. Place 0: a store nothing holds.
void RewindTo(ListRecord* record, size_t place) {
  Block* block = &record->first;
  while (block->next && place > block->start + block->size) block = block->next;
  for (Block* kept = block; kept->next; kept = kept->next) {
    if (kept->next->start + kept->next->size > kKeptStoreBytes) {
      FreeBlocksAfter(kept);
      break;
    }
  }
  record->store.current = block;
  record->store.at = block->bytes + (place - block->start);
  record->store.end = block->bytes + block->size;
}

// The furthest place another list holds the store to.
size_t HeldUpTo(const ListRecord* record) {
  size_t place = 0;
  for (const HeldStore* hold = record->holders; hold; hold = hold->nextHolder)
    if (hold->upTo > place) place = hold->upTo;
  return place;
}

// Lists are made on the caller's thread and freed on the output threads, and lists that
// hold the same store may be freed on different threads: the holds, the uses and the lists
// kept for the next CreateCommandList change only under this lock.
class Stores {
 public:
  ~Stores() {
    for (size_t i = 0; i < m_count; ++i) Destroy(m_kept[i]);
  }
  std::mutex& Lock() { return m_lock; }
  ListRecord* TakeKept() { return m_count ? m_kept[--m_count] : nullptr; }
  // For a record whose list is gone or which lost a hold: carves from what is still held
  // on, is kept for the next list if there is room, or is freed once nothing holds it.
  void Settle(ListRecord* record) {
    if (record->use == Use::kList) {
      record->use = Use::kHeldOnly;
      if (m_count < kKeptLists) {
        m_kept[m_count++] = record;
        record->use = Use::kKept;
      }
    }
    if (record->use == Use::kHeldOnly && !record->holders) {
      Destroy(record);
      return;
    }
    RewindTo(record, HeldUpTo(record));
  }

 private:
  std::mutex m_lock;
  ListRecord* m_kept[kKeptLists] = {};
  size_t m_count = 0;
};

Stores& TheStores() {
  static Stores stores;
  return stores;
}

// Ends one hold on a store; a store without its list goes back to what is still held.
void LetGo(HeldStore* hold) {
  ListRecord* record = hold->record;
  for (HeldStore** link = &record->holders; *link; link = &(*link)->nextHolder) {
    if (*link == hold) {
      *link = hold->nextHolder;
      break;
    }
  }
  if (record->use != Use::kList) TheStores().Settle(record);
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
  g_storeBytes += size;
  auto* block = static_cast<Block*>(memory);
  *block = Block{nullptr, static_cast<unsigned char*>(memory) + sizeof(Block), size,
                 store->current->start + store->current->size};
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

HeldStore* FindHold(ListRecord* holder, const ListRecord* record) {
  for (HeldStore* hold = holder->held; hold; hold = hold->next)
    if (hold->record == record) return hold;
  return nullptr;
}

// Makes `holder` hold `record` up to `upTo` at least, with a new hold from `spare` when it
// has none yet.
void Hold(ListRecord* holder, ListRecord* record, size_t upTo, HeldStore** spare) {
  if (record == holder) return;
  if (HeldStore* hold = FindHold(holder, record)) {
    if (upTo > hold->upTo) hold->upTo = upTo;
    return;
  }
  HeldStore* hold = (*spare)++;
  *hold = HeldStore{record, upTo, holder->held, record->holders};
  holder->held = hold;
  record->holders = hold;
}

// The holds a move into `to` must add: the source's store and each one it holds.
size_t NewHolds(ListRecord* to, ListRecord* from) {
  size_t count = from != to && !FindHold(to, from) ? 1 : 0;
  for (const HeldStore* hold = from->held; hold; hold = hold->next)
    if (hold->record != to && !FindHold(to, hold->record)) ++count;
  return count;
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
  ListRecord* record = nullptr;
  {
    Stores& stores = TheStores();
    std::lock_guard<std::mutex> hold(stores.Lock());
    while ((record = stores.TakeKept()) != nullptr) {
      // A kept store that other lists still hold goes on carving after what they hold, so
      // a transaction's lists reuse one store; only while it is small.
      if (!record->holders || StoreBytes(record) <= kKeptStoreBytes) break;
      record->use = Use::kHeldOnly;
    }
    if (record) record->use = Use::kList;
  }
  if (!record) {
    record = new (std::nothrow) ListRecord;
    if (!record) return nullptr;
    g_storeBytes += kInlineBytes;
    record->use = Use::kList;
    record->holders = nullptr;
    record->first = Block{nullptr, record->firstBytes, kInlineBytes, 0};
    RewindTo(record, 0);
  }
  record->held = nullptr;
  record->chain = PrnTokenChain{nullptr, nullptr, 0};
  record->list = PrnTokenList{station, &record->chain, 0};
  return &record->list;
}

void FreeCommandList(PrnTokenList* list) {
  if (!list) return;
  ListRecord* record = RecordOf(list);
  Stores& stores = TheStores();
  std::lock_guard<std::mutex> hold(stores.Lock());
  HeldStore* held = record->held;
  record->held = nullptr;
  for (; held; held = held->next) LetGo(held);
  stores.Settle(record);
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

bool MoveCommandTokens(PrnTokenList* target, PrnTokenList* source) {
  if (!target || !source || !target->tokens || !source->tokens) return false;
  if (target == source || !source->tokens->tail) return true;
  // A token in the source, and its bytes, live in the source's store or in one it holds:
  // the target holds them all from now on, as far as they are carved now. The new holds
  // are carved in one piece first, so that running out of memory leaves both lists as they
  // were.
  ListRecord* to = RecordOf(target);
  ListRecord* from = RecordOf(source);
  {
    std::lock_guard<std::mutex> hold(TheStores().Lock());
    const size_t count = NewHolds(to, from);
    HeldStore* spare = nullptr;
    if (count) {
      if (g_failingMoves > 0 && g_failingMoves-- > 0) return false;
      spare = reinterpret_cast<HeldStore*>(
          Carve(&to->store, count * sizeof(HeldStore), alignof(HeldStore)));
      if (!spare) return false;
    }
    HeldStore* const heldBefore = from->held;
    Hold(to, from, PlaceOf(from->store), &spare);
    for (HeldStore* held = heldBefore; held; held = held->next)
      Hold(to, held->record, held->upTo, &spare);
  }
  Store* store = &to->store;
  while (PrnTokenNode* node = source->tokens->tail) {
    Unlink(source->tokens, node);
    LinkAtHead(target->tokens, node);
    CellOf(node->token)->store = store;
  }
  return true;
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

size_t CommandStoreBytes() { return g_storeBytes; }

void FailNextTokenMoves(long count) { g_failingMoves = count; }
