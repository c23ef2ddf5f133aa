// Command-token lists through services 1003, 1007, 1011, 1013, 1015 and 1018, in-process,
// with every allocation counted so that a leak shows as a number.
#include "CommandToken.h"
#include "PrnTokenWalk.h"
#include "entry_test_support.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {
std::atomic<long> g_live{0};
std::atomic<long> g_allocations{0};

void* Allocate(size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (p) {
    ++g_live;
    ++g_allocations;
  }
  return p;
}
void Release(void* p) {
  if (!p) return;
  --g_live;
  std::free(p);
}
}  // namespace

void* operator new(size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, size_t) noexcept { Release(p); }
void operator delete[](void* p, size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }

namespace entrytest {
namespace {

class TokenServices : public EntryTest {
 protected:
  void SetUp() override {
    EntryTest::SetUp();
    ASSERT_EQ(Open("TokenPrinter", &slot_), 0);
  }
  long Other(long id, void* block) { return otherMethod(id, static_cast<long*>(block), slot_); }
  PrnTokenList* NewList(long station = 2) {
    PrnTokenList* list = nullptr;
    PrnCreateListArgs block{station, &list};
    EXPECT_EQ(Other(PRN_SERVICE_CREATE_COMMAND_LIST, &block), 0);
    return list;
  }
  PrnCommandToken* Add(PrnTokenList* list, long type, const void* data, long length,
                       long parameter = -1) {
    PrnCommandToken* token = nullptr;
    PrnAddTokenArgs block{type, static_cast<const unsigned char*>(data), length, parameter,
                          list, &token};
    EXPECT_EQ(Other(PRN_SERVICE_ADD_COMMAND_TOKEN, &block), 0);
    return token;
  }
  void Free(PrnTokenList* list) {
    PrnListArgs block{list};
    EXPECT_EQ(Other(PRN_SERVICE_FREE_COMMAND_LIST, &block), 0);
  }
  // Types from the tail (oldest) to the head (newest).
  static std::vector<long> Order(const PrnTokenList* list) { return PrnTokenTypes(list); }
  long slot_ = -1;
};

TEST_F(TokenServices, CreateListHoldsStationAndNothingElse) {
  PrnTokenList* list = NewList(1);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->station, 1);
  EXPECT_EQ(list->totalBytes, 0);
  EXPECT_EQ(CommandTokenCount(list), 0);
  EXPECT_EQ(PrnOldestToken(list), nullptr);
  Free(list);
  PrnCreateListArgs noOut{2, nullptr};
  EXPECT_EQ(Other(PRN_SERVICE_CREATE_COMMAND_LIST, &noOut), 106);
}

// What a token holds and what the total gains, per (data, length); the NULL-data and
// negative-length rows are mended: a token never claims bytes it does not hold.
TEST_F(TokenServices, AddTokenDataAndTotals) {
  static const char kAbc[] = "ABC";
  const struct {
    const char* what;
    const char* data;
    long length;
    long tokenLength;
  } rows[] = {
      {"data and length", kAbc, 3, 3},
      {"data, length 0", kAbc, 0, 0},
      {"NULL data, length 5", nullptr, 5, 0},
      {"data, negative length", kAbc, -2, 0},
      {"NULL data, negative length", nullptr, -7, 0},
  };
  for (const auto& row : rows) {
    PrnTokenList* list = NewList();
    PrnCommandToken* token = Add(list, 101, row.data, row.length, 42);
    ASSERT_NE(token, nullptr) << row.what;
    EXPECT_EQ(token->type, 101) << row.what;
    EXPECT_EQ(token->parameter, 42) << row.what;
    EXPECT_EQ(token->parameter2, 0) << row.what;
    EXPECT_EQ(token->parameter3, 0) << row.what;
    EXPECT_EQ(token->length, row.tokenLength) << row.what;
    EXPECT_EQ(list->totalBytes, row.tokenLength) << row.what;
    if (row.tokenLength) {
      ASSERT_NE(token->data, nullptr);
      EXPECT_NE(static_cast<const void*>(token->data), row.data) << "the token owns a copy";
      EXPECT_EQ(std::memcmp(token->data, row.data, 3), 0);
    } else {
      EXPECT_EQ(token->data, nullptr) << row.what;
    }
    Free(list);
  }
  PrnAddTokenArgs noList{101, nullptr, 0, 0, nullptr, nullptr};
  EXPECT_EQ(Other(PRN_SERVICE_ADD_COMMAND_TOKEN, &noList), 106);
}

TEST_F(TokenServices, TokensLeaveInTheOrderAdded) {
  PrnTokenList* list = NewList();
  Add(list, 'A', "a", 1);
  Add(list, 'B', "bb", 2);
  PrnCommandToken* c = Add(list, 'C', "ccc", 3);
  EXPECT_EQ(list->tokens->head->token, c) << "added at the head";
  EXPECT_EQ(list->tokens->tail->token->type, 'A') << "the oldest at the tail";
  EXPECT_EQ(list->totalBytes, 6);
  EXPECT_EQ(Order(list), (std::vector<long>{'A', 'B', 'C'}));
  for (long expected : {'A', 'B', 'C'}) {
    PrnTokenNode* oldest = OldestTokenNode(list);
    ASSERT_NE(oldest, nullptr);
    PrnCommandToken* t = UnlinkTokenNode(list, oldest, nullptr);
    EXPECT_EQ(t->type, expected);
  }
  EXPECT_EQ(OldestTokenNode(list), nullptr);
  EXPECT_EQ(CommandTokenCount(list), 0);
  Free(list);
}

TEST_F(TokenServices, MoveKeepsOrderAndTotals) {
  PrnTokenList* target = NewList();
  PrnTokenList* source = NewList();
  Add(target, 'X', "x", 1);
  Add(source, 'A', "aa", 2);
  Add(source, 'B', "bbb", 3);
  PrnMoveTokensArgs block{target, source};
  ASSERT_EQ(Other(PRN_SERVICE_MOVE_COMMAND_TOKENS, &block), 0);
  EXPECT_EQ(Order(target), (std::vector<long>{'X', 'A', 'B'}));
  EXPECT_EQ(CommandTokenCount(source), 0);
  EXPECT_EQ(target->totalBytes, 1) << "a move leaves both totals as they were";
  EXPECT_EQ(source->totalBytes, 5);

  ASSERT_EQ(Other(PRN_SERVICE_MOVE_COMMAND_TOKENS, &block), 0) << "empty source";
  EXPECT_EQ(Order(target), (std::vector<long>{'X', 'A', 'B'}));
  EXPECT_EQ(source->totalBytes, 5);

  PrnMoveTokensArgs noTarget{nullptr, target};
  EXPECT_EQ(Other(PRN_SERVICE_MOVE_COMMAND_TOKENS, &noTarget), 106);
  EXPECT_EQ(CommandTokenCount(target), 3);
  Free(target);
  Free(source);
}

TEST_F(TokenServices, CopyKeepsSourceAndAddsTotals) {
  PrnTokenList* source = NewList();
  PrnTokenList* target = NewList();
  Add(source, 'A', "aa", 2);
  Add(source, 'B', "bbb", 3);
  Add(target, 'X', "x", 1);
  ASSERT_TRUE(CopyCommandTokens(source, target));
  EXPECT_EQ(Order(target), (std::vector<long>{'X', 'A', 'B'}));
  EXPECT_EQ(target->totalBytes, 6);
  EXPECT_EQ(Order(source), (std::vector<long>{'A', 'B'}));
  EXPECT_NE(target->tokens->head->token->data, source->tokens->head->token->data);
  ASSERT_TRUE(CopyCommandTokens(source, source)) << "a list copied onto itself";
  EXPECT_EQ(Order(source), (std::vector<long>{'A', 'B', 'A', 'B'}));
  Free(source);
  Free(target);
}

TEST_F(TokenServices, FreeAcceptsNull) {
  PrnListArgs block{nullptr};
  EXPECT_EQ(Other(PRN_SERVICE_FREE_COMMAND_LIST, &block), 0);
}

TEST_F(TokenServices, FixedParameters) {
  long a = 0, b = 0, c = 0;
  PrnFixedParametersArgs block{&a, &b, &c};
  EXPECT_EQ(Other(PRN_SERVICE_GET_FIXED_PARAMETERS, &block), 0);
  EXPECT_EQ(a, 99);
  EXPECT_EQ(b, 7);
  EXPECT_EQ(c, 203);
}

// Service 1015 frees the sixteen text slots and, mended, clears them: a second call (or
// a core that reads the slot afterwards) meets NULL, not a freed pointer.
TEST_F(TokenServices, FreeResultRecordClearsTheSlots) {
  const long live = g_live;
  PrnPropertySnapshot snapshot{};
  auto* base = reinterpret_cast<char*>(&snapshot);
  for (long offset : kPrnSnapshotTextSlots) {
    char* text = new char[4];
    std::strcpy(text, "0,0");
    *reinterpret_cast<char**>(base + offset) = text;
  }
  snapshot.resultCode = 7;
  PrnSnapshotArgs block{&snapshot};
  ASSERT_EQ(Other(PRN_SERVICE_FREE_RESULT_RECORD, &block), 0);
  for (long offset : kPrnSnapshotTextSlots)
    EXPECT_EQ(*reinterpret_cast<char**>(base + offset), nullptr) << "slot " << offset;
  EXPECT_EQ(snapshot.resultCode, 7) << "numbers stay";
  EXPECT_EQ(g_live, live) << "every text was freed";
  EXPECT_EQ(Other(PRN_SERVICE_FREE_RESULT_RECORD, &block), 0) << "second call is harmless";
  PrnSnapshotArgs none{nullptr};
  EXPECT_EQ(Other(PRN_SERVICE_FREE_RESULT_RECORD, &none), 0);
}

TEST_F(TokenServices, ManyCyclesLeaveNothingBehind) {
  // A freed list is kept for the next one: the first cycle may leave two behind for good.
  Free(NewList());
  Free(NewList());
  const long live = g_live;
  for (int i = 0; i < 2000; ++i) {
    PrnTokenList* a = NewList();
    PrnTokenList* b = NewList();
    Add(a, 101, "hello", 5);
    Add(a, 157, nullptr, 0);
    Add(b, 101, "x", 1);
    PrnMoveTokensArgs move{b, a};
    ASSERT_EQ(Other(PRN_SERVICE_MOVE_COMMAND_TOKENS, &move), 0);
    ASSERT_TRUE(CopyCommandTokens(b, a));
    Free(a);
    Free(b);
  }
  EXPECT_EQ(g_live, live);
}

// The target's bytes must not depend on the source, whose store goes to the next list once
// it is freed.
TEST_F(TokenServices, MovedTokensOutliveTheirSource) {
  PrnTokenList* target = NewList();
  PrnTokenList* source = NewList();
  Add(source, 'A', "first", 5);
  Add(source, 'B', "second", 6);
  PrnMoveTokensArgs move{target, source};
  ASSERT_EQ(Other(PRN_SERVICE_MOVE_COMMAND_TOKENS, &move), 0);
  Free(source);
  for (int i = 0; i < 4; ++i) {
    PrnTokenList* other = NewList();
    for (int t = 0; t < 200; ++t) Add(other, 'Z', "zzzzzzzzzzzz", 12);
    Free(other);
  }
  EXPECT_EQ(Order(target), (std::vector<long>{'A', 'B'}));
  const std::vector<unsigned char> bytes = PrnTokenBytes(target);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "firstsecond");
  Free(target);
}

// Service 1007 hands over the tokens themselves: the addresses 1013 gave stay the target's
// tokens, in order, whichever list is freed first and whatever reuses the freed stores;
// freeing both lists frees each store once.
TEST_F(TokenServices, MovedTokensAreTheSameTokens) {
  const struct {
    const char* what;
    bool throughMiddle;  // source -> middle -> target
    bool poolFull;       // no room among the kept lists when the source is freed
    bool targetFirst;
  } rows[] = {
      {"source freed first", false, false, false},
      {"source freed first, pool full", false, true, false},
      {"through a middle list freed before the target", true, false, false},
      {"target freed first", false, false, true},
  };
  for (const auto& row : rows) {
    long live = 0;
    // Two rounds warm the kept stores; the next two must leave nothing more behind.
    for (int round = 0; round < 4; ++round) {
      if (round == 2) live = g_live;
      PrnTokenList* target = NewList();
      PrnTokenList* source = NewList();
      PrnTokenList* middle = row.throughMiddle ? NewList() : nullptr;
      PrnCommandToken* x = Add(target, 'X', "x", 1);
      PrnCommandToken* a = Add(source, 'A', "aa", 2);
      PrnCommandToken* b = Add(source, 'B', "bbb", 3);
      PrnCommandToken* c = Add(source, 'C', "cccc", 4);
      PrnMoveTokensArgs first{middle ? middle : target, source};
      ASSERT_EQ(Other(PRN_SERVICE_MOVE_COMMAND_TOKENS, &first), 0) << row.what;
      if (middle) {
        PrnMoveTokensArgs second{target, middle};
        ASSERT_EQ(Other(PRN_SERVICE_MOVE_COMMAND_TOKENS, &second), 0) << row.what;
      }
      std::vector<PrnCommandToken*> tokens;
      for (PrnTokenNode* n = OldestTokenNode(target); n; n = n->prev) tokens.push_back(n->token);
      EXPECT_EQ(tokens, (std::vector<PrnCommandToken*>{x, a, b, c})) << row.what;
      EXPECT_EQ(CommandTokenCount(source), 0) << row.what;
      if (row.targetFirst) Free(target);
      if (row.poolFull) {
        PrnTokenList* others[8];
        for (PrnTokenList*& other : others) other = NewList();
        for (PrnTokenList* other : others) Free(other);
      }
      Free(source);
      Free(middle);
      if (row.targetFirst) continue;
      for (int i = 0; i < 4; ++i) {
        PrnTokenList* other = NewList();
        for (int t = 0; t < 200; ++t) Add(other, 'Z', "zzzzzzzzzzzz", 12);
        Free(other);
      }
      EXPECT_EQ(Order(target), (std::vector<long>{'X', 'A', 'B', 'C'})) << row.what;
      const std::vector<unsigned char> bytes = PrnTokenBytes(target);
      EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "xaabbbcccc") << row.what;
      Free(target);
    }
    EXPECT_EQ(g_live, live) << row.what;
  }
}

// A logo holds the few tokens a barcode list moved into it; the barcode list's store then
// takes the next lists after them. What those lists took, a large image included, comes
// back when they are freed, and the logo keeps its tokens.
TEST_F(TokenServices, AKeptListHoldsOnlyWhatItTook) {
  PrnInputProperty input{};
  input.recLineSpacing = 30;
  PrnStationState state{};
  auto receipt = [&](long imageBytes) {
    PrnTokenList* list = NewList();
    for (int line = 0; line < 60; ++line) {
      Add(list, 101, "Item 07 Espresso beans        12.95", 35);
      Add(list, 157, nullptr, 0);
    }
    if (imageBytes) {
      const std::string image(static_cast<size_t>(imageBytes), '\x5A');
      Add(list, 150, image.data(), imageBytes);
    }
    Add(list, 117, nullptr, 0, -1);  // feed and cut
    PrnRequestDeviceDataArgs render{&input, &state, list, 2};
    EXPECT_EQ(Other(PRN_SERVICE_REQUEST_DEVICE_DATA, &render), 0);
    Free(list);
  };
  PrnTokenList* logo = NewList();
  Add(logo, 101, "SHOP", 4);
  PrnTokenList* barcode = NewList();
  Add(barcode, 152, "bars", 4);
  PrnMoveTokensArgs move{logo, barcode};
  ASSERT_EQ(Other(PRN_SERVICE_MOVE_COMMAND_TOKENS, &move), 0);
  Free(barcode);
  receipt(0);
  receipt(0);
  const size_t before = CommandStoreBytes();
  receipt(4 * 1024 * 1024);
  receipt(0);
  receipt(0);
  EXPECT_EQ(CommandStoreBytes(), before);
  const std::vector<unsigned char> bytes = PrnTokenBytes(logo);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "SHOPbars");
  Free(logo);
}

// A move that finds no memory answers so and leaves both lists as they were, for service
// 1007 and for the response-id token of 1022 that moves its token in.
TEST_F(TokenServices, AMoveWithoutMemoryFailsAndLeavesBothLists) {
  const char* const services[] = {"1007", "1022"};
  for (const char* what : services) {
    const bool responseId = what[3] == '2';
    long live = 0;
    // Two rounds warm the kept stores; the next two must leave nothing more behind.
    for (int round = 0; round < 4; ++round) {
      if (round == 2) live = g_live;
      PrnTokenList* target = NewList();
      PrnTokenList* source = NewList();
      Add(target, 'X', "x", 1);
      Add(source, 'A', "aa", 2);
      Add(source, 'B', "bbb", 3);
      long id = 5;
      PrnMoveTokensArgs move{target, source};
      PrnResponseIdArgs append{&id, &target};
      FailNextTokenMoves(1);
      EXPECT_EQ(responseId ? Other(PRN_SERVICE_APPEND_RESPONSE_ID_TOKEN, &append)
                           : Other(PRN_SERVICE_MOVE_COMMAND_TOKENS, &move),
                111)
          << what;
      FailNextTokenMoves(0);
      EXPECT_EQ(Order(target), (std::vector<long>{'X'})) << what;
      EXPECT_EQ(target->totalBytes, 1) << what;
      EXPECT_EQ(Order(source), (std::vector<long>{'A', 'B'})) << what;
      EXPECT_EQ(source->totalBytes, 5) << what;
      ASSERT_EQ(Other(PRN_SERVICE_MOVE_COMMAND_TOKENS, &move), 0) << what << ": memory again";
      EXPECT_EQ(Order(target), (std::vector<long>{'X', 'A', 'B'})) << what;
      Free(source);
      Free(target);
    }
    EXPECT_EQ(g_live, live) << what;
  }
}

// Far more tokens and bytes than the first blocks of a store hold, and one token larger than
// any block so far: every token keeps its own bytes, in order.
TEST_F(TokenServices, AGrowingListKeepsEveryToken) {
  PrnTokenList* list = NewList();
  std::string expected;
  for (int i = 0; i < 3000; ++i) {
    const std::string text = "line " + std::to_string(i) + "\n";
    Add(list, 101, text.data(), static_cast<long>(text.size()));
    expected += text;
  }
  const std::string big(100000, 'x');
  Add(list, 150, big.data(), static_cast<long>(big.size()));
  expected += big;
  EXPECT_EQ(CommandTokenCount(list), 3001);
  EXPECT_EQ(list->totalBytes, static_cast<long>(expected.size()));
  const std::vector<unsigned char> bytes = PrnTokenBytes(list);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);
  Free(list);
}

// Building a receipt's tokens (1018, 1013), rendering them (1010) and freeing the list
// (1003) takes no allocation per token or per byte: once a list of that size has been
// used, the next one takes none at all.
TEST_F(TokenServices, AReceiptAllocatesNothingOnceWarm) {
  PrnInputProperty input{};
  input.recLineSpacing = 30;
  PrnStationState state{};
  auto receipt = [&] {
    PrnTokenList* list = NewList();
    for (int line = 0; line < 60; ++line) {
      Add(list, line % 2 ? 104 : 128, nullptr, 0);  // bold on and off
      Add(list, 101, "Item 07 Espresso beans        12.95", 35);
      Add(list, 157, nullptr, 0);
    }
    Add(list, 117, nullptr, 0, -1);  // feed and cut
    PrnRequestDeviceDataArgs render{&input, &state, list, 2};
    EXPECT_EQ(Other(PRN_SERVICE_REQUEST_DEVICE_DATA, &render), 0);
    EXPECT_GT(list->totalBytes, 60 * 35);
    Free(list);
  };
  receipt();
  const long before = g_allocations;
  receipt();
  EXPECT_EQ(g_allocations - before, 0);
}

// A transaction: each print's list is moved into the transaction's list and freed at once,
// while the moved tokens still live in its store. Once warm, a transaction takes no
// allocation either.
TEST_F(TokenServices, ATransactionAllocatesNothingOnceWarm) {
  PrnInputProperty input{};
  input.recLineSpacing = 30;
  PrnStationState state{};
  auto transaction = [&] {
    PrnTokenList* target = NewList();
    for (int line = 0; line < 60; ++line) {
      PrnTokenList* print = NewList();
      Add(print, 101, "Item 07 Espresso beans        12.95", 35);
      Add(print, 157, nullptr, 0);
      PrnMoveTokensArgs move{target, print};
      EXPECT_EQ(Other(PRN_SERVICE_MOVE_COMMAND_TOKENS, &move), 0);
      Free(print);
    }
    PrnRequestDeviceDataArgs render{&input, &state, target, 2};
    EXPECT_EQ(Other(PRN_SERVICE_REQUEST_DEVICE_DATA, &render), 0);
    EXPECT_GT(target->totalBytes, 60 * 35);
    Free(target);
  };
  transaction();
  const long before = g_allocations;
  transaction();
  EXPECT_EQ(g_allocations - before, 0);
}

}  // namespace
}  // namespace entrytest
