// The bytes the printer received, as an offset, hex and text listing for people to read.
#pragma once
#include "Win.h"

#include <vector>

void PrintHexListing(const std::vector<BYTE>& bytes);
