// FormState: what the controls of a form or wizard page show, as data. The page and view
// logic reads and writes it; the window layer copies it into the dialog's controls and reads
// the user's edits and choices back into it before each event.
#pragma once
#include <map>
#include <string>
#include <vector>

struct ControlState {
  enum Kind { kLabel, kText, kCombo };
  Kind kind = kLabel;
  std::vector<std::string> items;  // combo items, in the order shown
  int selected = -1;               // combo selection, -1 none
  std::string text;                // edit or static text (kText only)
  bool enabled = true;
  bool visible = true;
  int textLimit = 0;               // edits: most characters the user can type, 0 no limit
};

class FormState {
 public:
  // Declare a control: an edit or static whose text the logic sets, a combo, or a label the
  // logic only shows, hides or disables.
  ControlState& Text(int id);
  ControlState& Combo(int id);
  ControlState& Label(int id);

  void SetText(int id, const std::string& text);
  void SetItems(int id, std::vector<std::string> items);  // clears the selection
  void Select(int id, int index);                         // out of range: none
  // Selects the item with exactly this text; false (and no selection) when none has it.
  bool SelectText(int id, const std::string& text);
  void Enable(int id, bool enabled);
  void Show(int id, bool visible);

  // Edits and statics: their text; combos: the selected item's text ("" when none).
  std::string GetText(int id) const;
  int Selected(int id) const;
  int ItemCount(int id) const;
  const std::vector<std::string>& Items(int id) const;
  bool IsEnabled(int id) const;
  bool IsVisible(int id) const;
  bool Has(int id) const { return m_controls.count(id) != 0; }

  std::map<int, ControlState>& Controls() { return m_controls; }
  const std::map<int, ControlState>& Controls() const { return m_controls; }

 private:
  ControlState& Declare(int id, ControlState::Kind kind);
  const ControlState* Find(int id) const;
  std::map<int, ControlState> m_controls;
};
