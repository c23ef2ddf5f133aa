// CFormLogic: the behaviour of one dialog (a wizard page, a right-hand form, the class choice)
// without its window. The window layer copies the user's input into Form() and then calls the
// event; afterwards it shows Form() again.
#pragma once
#include "ViewFormState.h"

class CFormLogic {
 public:
  virtual ~CFormLogic() = default;
  virtual int TemplateId() const = 0;
  FormState& Form() { return m_form; }
  const FormState& Form() const { return m_form; }

  virtual void OnSelChange(int id) {}
  virtual void OnEditChange(int id) {}
  // The edit lost the focus. True: the window layer gives it the focus back and selects its
  // whole text (its value was refused).
  virtual bool OnEditKillFocus(int id) { return false; }
  virtual void OnButton(int id) {}

 protected:
  FormState m_form;
};
