// What the hidden window passes on to the device channel for the service object: binding
// and ending the sub-module, the printer recovery, and the two property services.
#include "CommDevice.h"
#include "HiddenWindow.h"
#include "POSPrinter.h"

BOOL CRJDevice::LoadSubSODLL(const char* path) { return m_channel->LoadSubSODLL(path); }

long CRJDevice::InitializeSubSO(const char* deviceName, long serviceObjectVersion,
                                PrnPropertySnapshot* snapshot) {
  return m_channel->InitializeSubSO(deviceName, serviceObjectVersion, snapshot);
}

BOOL CRJDevice::UnloadSubSODLL() { return m_channel->UnloadSubSODLL(); }

BOOL CRJDevice::TerminateSubSO() { return m_channel->TerminateSubSO(); }

long CRJDevice::RestorePrinter() { return m_channel->OtherMethod1005(); }

long CRJDevice::SetCharacterSet(long characterSet) {
  return m_channel->OtherMethod1008(characterSet);
}

long CRJDevice::ApplyLineChars(long station, long characters, long lineWidth,
                               const std::string& lineCharsList) {
  long chosen = 0, charWidth = 0, spacing = 0;
  const long result = m_channel->OtherMethod1020(station, characters, lineWidth,
                                                 lineCharsList.c_str(), &chosen, &charWidth,
                                                 &spacing);
  if (result != 0) return result;
  m_owner->SetLineChars(station, chosen, charWidth);
  return 0;
}
