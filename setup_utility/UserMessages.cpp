#include "UserMessages.h"

#include "DeviceClass.h"
#include "Win.h"

void CMessageBoxMessages::ShowMessage(const std::string& text, unsigned icon) {
  MessageBoxA(GetActiveWindow(), text.c_str(), kUtilityCaption, MB_OK | icon);
}

int CMessageBoxMessages::Ask(const std::string& text, unsigned type) {
  return MessageBoxA(GetActiveWindow(), text.c_str(), kUtilityCaption, type);
}

CMessageBoxMessages& CMessageBoxMessages::Instance() {
  static CMessageBoxMessages instance;
  return instance;
}
