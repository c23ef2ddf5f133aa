// How the model tells the user something: a message box in the program, a recorder in tests.
#pragma once
#include <string>

class IUserMessages {
 public:
  virtual ~IUserMessages() = default;
  // An OK message box captioned "KVR OPOS Utility"; icon is MB_ICONSTOP, MB_ICONEXCLAMATION
  // or 0 for none.
  virtual void ShowMessage(const std::string& text, unsigned icon) = 0;
  // A question in a message box of the given MB_ buttons and icon; answers IDOK, IDCANCEL...
  virtual int Ask(const std::string& text, unsigned type) = 0;
};

// Shows each message with MessageBoxA over the active window.
class CMessageBoxMessages final : public IUserMessages {
 public:
  void ShowMessage(const std::string& text, unsigned icon) override;
  int Ask(const std::string& text, unsigned type) override;
  static CMessageBoxMessages& Instance();
};
