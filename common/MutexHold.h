// Holds a mutex for a scope. The printer and drawer sub-modules share one printer mutex
// across processes; a mutex abandoned by a dead owner is taken over, since the dead
// process can no longer be mid-transfer.
#pragma once
#include "Win.h"

class MutexHold {
 public:
  explicit MutexHold(HANDLE mutex) : m_mutex(mutex) {
    const DWORD wait = WaitForSingleObject(m_mutex, INFINITE);
    m_held = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
  }
  ~MutexHold() {
    if (m_held) ReleaseMutex(m_mutex);
  }
  MutexHold(const MutexHold&) = delete;
  MutexHold& operator=(const MutexHold&) = delete;
  bool held() const { return m_held; }

 private:
  HANDLE m_mutex;
  bool m_held = false;
};
