// A command-token list read whole in render order (oldest token first), for readers that
// want its token types or its data bytes at once.
#pragma once
#include <vector>

#include "PrinterSubRecords.h"

inline std::vector<long> PrnTokenTypes(const PrnTokenList* list) {
  std::vector<long> types;
  for (const PrnTokenNode* n = PrnOldestToken(list); n; n = PrnNewerToken(n))
    types.push_back(n->token->type);
  return types;
}

// The data of every token, one after another; a token without data adds nothing.
inline std::vector<unsigned char> PrnTokenBytes(const PrnTokenList* list) {
  std::vector<unsigned char> bytes;
  for (const PrnTokenNode* n = PrnOldestToken(list); n; n = PrnNewerToken(n))
    if (n->token->data) bytes.insert(bytes.end(), n->token->data, n->token->data + n->token->length);
  return bytes;
}
