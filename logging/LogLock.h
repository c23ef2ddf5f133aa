// A critical section that owns itself, and the guard that holds it for one scope.
#pragma once
#include "Win.h"

class CLogLock {
 public:
  CLogLock() { InitializeCriticalSection(&m_section); }
  ~CLogLock() { DeleteCriticalSection(&m_section); }
  CLogLock(const CLogLock&) = delete;
  CLogLock& operator=(const CLogLock&) = delete;
  void Enter() { EnterCriticalSection(&m_section); }
  void Leave() { LeaveCriticalSection(&m_section); }

 private:
  CRITICAL_SECTION m_section;
};

class CLogLockGuard {
 public:
  explicit CLogLockGuard(CLogLock& lock) : m_lock(lock) { m_lock.Enter(); }
  ~CLogLockGuard() { m_lock.Leave(); }
  CLogLockGuard(const CLogLockGuard&) = delete;
  CLogLockGuard& operator=(const CLogLockGuard&) = delete;

 private:
  CLogLock& m_lock;
};
