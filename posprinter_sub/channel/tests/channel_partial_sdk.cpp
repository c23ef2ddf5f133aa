// Entry points of a printer SDK library that the channel must refuse: each .def beside this
// file leaves one required entry out. None of them is ever called.
#include "Win.h"

extern "C" {
LONG WINAPI OpenMonPrinterA(LONG, LPCSTR) { return -1; }
LONG WINAPI CloseMonPrinter(LONG) { return -1; }
LONG WINAPI DirectIO(LONG, DWORD, const BYTE*, DWORD*, BYTE*) { return -1; }
LONG WINAPI DirectIOEx(LONG, DWORD, const BYTE*, DWORD*, BYTE*, DWORD, LONG, LONG) { return -1; }
LONG WINAPI Reset(LONG) { return -1; }
LONG WINAPI LockPrinter(LONG, DWORD) { return -1; }
LONG WINAPI UnlockPrinter(LONG) { return -1; }
LONG WINAPI SetStatusBackFunction(LONG, void*) { return -1; }
LONG WINAPI CancelStatusBack(LONG) { return -1; }
LONG WINAPI GetCounter(LONG, WORD, DWORD*) { return -1; }
LONG WINAPI GetStatus(LONG, DWORD*) { return -1; }
LONG WINAPI GetPrnCapability(LONG, BYTE, BYTE*, BYTE*) { return -1; }
LONG WINAPI ReadImmediate(LONG, DWORD*, BYTE*, LONG) { return -1; }
}
