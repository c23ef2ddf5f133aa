#include "HexListing.h"

#include <cstdio>
#include <string>

void PrintHexListing(const std::vector<BYTE>& bytes) {
  std::printf("\nThe printer received %u bytes:\n", static_cast<unsigned>(bytes.size()));
  for (size_t row = 0; row < bytes.size(); row += 16) {
    std::string text;
    std::printf("  %04X ", static_cast<unsigned>(row));
    for (size_t i = row; i < row + 16; ++i) {
      if (i < bytes.size()) {
        std::printf(" %02X", bytes[i]);
        text += (bytes[i] >= 0x20 && bytes[i] < 0x7F) ? static_cast<char>(bytes[i]) : '.';
      } else {
        std::printf("   ");
      }
    }
    std::printf("  %s\n", text.c_str());
  }
}
