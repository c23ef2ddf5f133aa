// The interface headers compile together (their static_asserts pin every layout); the
// reader helpers walk a hand-built chain oldest first.
#include "DrawerSubApi.h"
#include "PrinterSubApi.h"

#include <gtest/gtest.h>

TEST(TokenChainWalk, OldestFirstFromTailTowardsHead) {
  PrnCommandToken a{101, 1, 0, 0, nullptr, 0}, b{102, 2, 0, 0, nullptr, 0};
  // b was added last, so it is the head; a is the tail.
  PrnTokenNode nodeB{nullptr, nullptr, &b}, nodeA{nullptr, nullptr, &a};
  nodeB.next = &nodeA;
  nodeA.prev = &nodeB;
  PrnTokenChain chain{&nodeB, &nodeA, 2};
  PrnTokenList list{2, &chain, 0};

  const PrnTokenNode* node = PrnOldestToken(&list);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->token->type, 101);
  node = PrnNewerToken(node);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->token->type, 102);
  EXPECT_EQ(PrnNewerToken(node), nullptr);
  EXPECT_EQ(PrnOldestToken(nullptr), nullptr);
}
