// CCheckHealthDlg: the dialog of CheckHealth's interactive level. The operator starts the
// printer's health check with its CheckHealth button and reads ResultCode and
// ResultCodeExtended; Exit closes it. One object serves the whole module (Module()), shared
// by every service object of the process; it runs on the thread that shows it.
#pragma once
#include <atomic>

#include "Win.h"

// What the dialog asks of the service object that shows it.
class ICheckHealthOwner {
 public:
  // Builds a fresh input property record and runs the interactive health check with it;
  // the ResultCode, with its extended code in *resultCodeExtended.
  virtual long RunInteractiveCheckHealth(long* resultCodeExtended) = 0;

 protected:
  ~ICheckHealthOwner() = default;
};

class CCheckHealthDlg {
 public:
  // Constant-initialised, nothing to tear down: the module global is safe at load and unload.
  constexpr explicit CCheckHealthDlg(HWND parent) : m_parent(parent) {}
  CCheckHealthDlg(const CCheckHealthDlg&) = delete;
  CCheckHealthDlg& operator=(const CCheckHealthDlg&) = delete;

  // The module's one dialog, made without a parent window.
  static CCheckHealthDlg& Module();

  // Makes `owner` the owner and shows the dialog modally until Exit. false, with nothing
  // changed, while it is showing already (for this or another service object); false too
  // when the window can't be made, with run flag and codes cleared as on showing.
  bool DoModal(ICheckHealthOwner* owner);
  bool IsShowing() const { return m_showing.load() != 0; }
  HWND Handle() const { return m_hwnd.load(); }

  long GetRunFlag() const { return m_runFlag.load(); }
  long GetResultCode() const { return m_resultCode.load(); }
  long GetResultCodeExtended() const { return m_resultCodeExtended.load(); }

  // ---- message handlers, on the dialog's thread ----
  // On showing: caption and the three texts from strings 9-12, topmost, run flag and codes 0.
  void OnShowWindow(BOOL show);
  void OnBnClickedCheckHealth();
  // Runs the owner's check and shows its codes; the dialog stays open for another run.
  void OnOK();
  // Posts the quit message to the dialog, then ends it.
  void OnCancel();
  LRESULT OnCheckHealthQuit();

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void SetResourceText(int control, UINT stringId) const;

  HWND m_parent;
  std::atomic<ICheckHealthOwner*> m_owner{nullptr};
  std::atomic<HWND> m_hwnd{nullptr};
  std::atomic<long> m_showing{0};
  std::atomic<long> m_runFlag{0};
  std::atomic<long> m_resultCode{0};
  std::atomic<long> m_resultCodeExtended{0};
};

// Writes `value` with "%d" into buffer[0, size): always terminated, cut when it does not
// fit. The number of characters written.
size_t FormatResultCode(char* buffer, size_t size, long value);
