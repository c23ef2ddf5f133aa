// The spooler's list of local printers.
#pragma once
#include "Win.h"
#include <winspool.h>

#include <functional>
#include <vector>

// EnumPrintersA's shape, so that a read can be played without a spooler.
using PrinterEnumerator = std::function<BOOL(DWORD flags, LPSTR name, DWORD level, LPBYTE buffer,
                                             DWORD size, LPDWORD needed, LPDWORD count)>;

// The local printers at level 2 (PRINTER_INFO_2A records at the front of buffer). A printer
// added or removed during the read fails it; the read is then made again, a bounded number of
// times. False, with count 0, when no read succeeded.
bool ReadLocalPrinters(std::vector<BYTE>* buffer, DWORD* count,
                       const PrinterEnumerator& enumerate = EnumPrintersA);
