// A module with nothing but a version resource, copied under the service object file names.
#include "Win.h"

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
