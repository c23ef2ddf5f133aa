// The window side of a form logic: copies FormState into a dialog's controls and the user's
// input back, and turns the controls' notifications into the logic's events.
#pragma once
#include "ViewFormLogic.h"
#include "Win.h"

#include <memory>

// Shows the state in the dialog's controls (only what differs, so an edit being typed in
// keeps its caret).
void ApplyForm(HWND dialog, const FormState& form);
// Reads the edits' texts and the combos' selections into the state.
void ReadForm(HWND dialog, FormState* form);

class CFormHost {
 public:
  explicit CFormHost(std::unique_ptr<CFormLogic> logic) : m_logic(std::move(logic)) {}
  virtual ~CFormHost() = default;
  CFormHost(const CFormHost&) = delete;
  CFormHost& operator=(const CFormHost&) = delete;

  CFormLogic& Logic() { return *m_logic; }
  HWND Window() const { return m_window; }
  void Attach(HWND window) { m_window = window; }
  void Apply();
  void Read() { ReadForm(m_window, &m_logic->Form()); }
  // A control notification; true when it was one of the form's events.
  bool OnCommand(WPARAM wParam, LPARAM lParam);
  void SetClosing() { m_closing = true; }

 private:
  std::unique_ptr<CFormLogic> m_logic;
  HWND m_window = nullptr;
  bool m_applying = false;   // our own changes notify too
  bool m_inKillFocus = false;
  bool m_closing = false;
};

// The resources of the forms and wizard pages live in the program itself.
HINSTANCE FormResources();
