#include "DeviceClaim.h"

#include <algorithm>

CDeviceClaim::CDeviceClaim(CLogContext* logContext) : m_logContext(logContext) {}

CDeviceClaim::~CDeviceClaim() {
  if (m_claimed.load()) Unlock(m_claimer.load());
}

bool CDeviceClaim::Register(CPOSPrinter* so, const std::string& deviceName, long cutDistance,
                            long lineEndFlags, long resolution) {
  std::lock_guard<std::mutex> hold(m_listLock);
  HANDLE semaphore = CreateSemaphoreA(nullptr, /*initial=*/1, /*maximum=*/1, deviceName.c_str());
  if (!semaphore) return false;
  m_semaphore.reset(semaphore);
  m_registered.push_front(so);
  m_cutDistance = cutDistance;
  m_lineEndFlags = lineEndFlags;
  m_resolution = resolution;
  return true;
}

void CDeviceClaim::Unregister(CPOSPrinter* so) {
  if (m_claimer.load() == so) Unlock(so);
  std::lock_guard<std::mutex> hold(m_listLock);
  m_registered.remove(so);
  m_semaphore.reset();
}

bool CDeviceClaim::IsRegistered() const {
  std::lock_guard<std::mutex> hold(m_listLock);
  return m_semaphore.valid();
}

BOOL CDeviceClaim::Lock(long timeoutMs, CPOSPrinter* so) {
  if (timeoutMs < -1) return 0;
  if (m_claimed.load() && m_claimer.load() == so) return 1;
  HANDLE semaphore;
  {
    std::lock_guard<std::mutex> hold(m_listLock);
    semaphore = m_semaphore.get();
  }
  if (!semaphore) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  const DWORD wait = (timeoutMs == -1) ? INFINITE : static_cast<DWORD>(timeoutMs);
  if (WaitForSingleObject(semaphore, wait) != WAIT_OBJECT_0) return 0;
  m_claimer.store(so);
  m_claimed.store(1);
  return 1;
}

void CDeviceClaim::Unlock(CPOSPrinter* so) {
  if (!m_claimed.load() || m_claimer.load() != so) return;
  {
    std::lock_guard<std::mutex> hold(m_listLock);
    if (m_semaphore.valid()) ReleaseSemaphore(m_semaphore.get(), 1, nullptr);
  }
  m_claimed.store(0);
  m_claimer.store(nullptr);
}

CPOSPrinter* CDeviceClaim::GetOwner() const {
  return m_claimed.load() ? m_claimer.load() : nullptr;
}
