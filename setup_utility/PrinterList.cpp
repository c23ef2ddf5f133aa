#include "PrinterList.h"

namespace {

// Reads after a first that failed while printers came and went.
constexpr int kRereads = 20;

}  // namespace

bool ReadLocalPrinters(std::vector<BYTE>* buffer, DWORD* count, const PrinterEnumerator& enumerate) {
  buffer->clear();
  for (int attempt = 0;; ++attempt) {
    DWORD needed = 0;
    if (enumerate(PRINTER_ENUM_LOCAL, nullptr, 2, buffer->data(),
                  static_cast<DWORD>(buffer->size()), &needed, count))
      return true;
    *count = 0;
    // A list that grew says its new size; under Wine a list changing under the read can fail
    // it saying nothing about the size: then the same buffer is offered again.
    if (attempt == kRereads) return false;
    if (needed > buffer->size()) buffer->resize(needed);
  }
}
