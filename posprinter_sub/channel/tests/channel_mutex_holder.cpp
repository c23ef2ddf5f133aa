// Holds a named mutex on behalf of a test in another process:
//   channel_mutex_holder <mutex name> <event set once held> <event that ends the hold>
// Exit code 0 after a normal hold, 1 on bad arguments or when a wait fails.
#include "Win.h"

int main(int argc, char** argv) {
  if (argc != 4) return 1;
  HANDLE mutex = CreateMutexA(nullptr, FALSE, argv[1]);
  HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
  HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
  if (!mutex || !held || !release) return 1;
  const DWORD taken = WaitForSingleObject(mutex, 30000);
  if (taken != WAIT_OBJECT_0 && taken != WAIT_ABANDONED) return 1;
  SetEvent(held);
  // Bounded, so a test that dies never leaves the printer locked for good.
  const DWORD ended = WaitForSingleObject(release, 30000);
  ReleaseMutex(mutex);
  CloseHandle(release);
  CloseHandle(held);
  CloseHandle(mutex);
  return ended == WAIT_OBJECT_0 ? 0 : 1;
}
