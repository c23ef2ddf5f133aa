#include "UserMessages.h"

#include "DeviceClass.h"
#include "Win.h"

void CMessageBoxMessages::ShowMessage(const std::string& text, unsigned icon) {
  MessageBoxA(GetActiveWindow(), text.c_str(), kUtilityCaption, MB_OK | icon);
}

CMessageBoxMessages& CMessageBoxMessages::Instance() {
  static CMessageBoxMessages instance;
  return instance;
}
