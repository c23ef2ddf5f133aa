#include "ViewFormState.h"

namespace {

const std::vector<std::string> kNoItems;

}  // namespace

ControlState& FormState::Declare(int id, ControlState::Kind kind) {
  const bool known = m_controls.count(id) != 0;
  ControlState& c = m_controls[id];
  // Asking for a label only shows or hides a control; it never turns text into a label.
  if (!known || kind != ControlState::kLabel) c.kind = kind;
  return c;
}

ControlState& FormState::Text(int id) { return Declare(id, ControlState::kText); }
ControlState& FormState::Combo(int id) { return Declare(id, ControlState::kCombo); }
ControlState& FormState::Label(int id) { return Declare(id, ControlState::kLabel); }

const ControlState* FormState::Find(int id) const {
  const auto it = m_controls.find(id);
  return it == m_controls.end() ? nullptr : &it->second;
}

void FormState::SetText(int id, const std::string& text) { Text(id).text = text; }

void FormState::SetItems(int id, std::vector<std::string> items) {
  ControlState& c = Combo(id);
  c.items = std::move(items);
  c.selected = -1;
}

void FormState::Select(int id, int index) {
  ControlState& c = Combo(id);
  c.selected = (index >= 0 && index < static_cast<int>(c.items.size())) ? index : -1;
}

bool FormState::SelectText(int id, const std::string& text) {
  ControlState& c = Combo(id);
  for (size_t i = 0; i < c.items.size(); ++i)
    if (c.items[i] == text) {
      c.selected = static_cast<int>(i);
      return true;
    }
  c.selected = -1;
  return false;
}

void FormState::Enable(int id, bool enabled) { m_controls[id].enabled = enabled; }
void FormState::Show(int id, bool visible) { m_controls[id].visible = visible; }

std::string FormState::GetText(int id) const {
  const ControlState* c = Find(id);
  if (c == nullptr) return {};
  if (c->kind != ControlState::kCombo) return c->text;
  return c->selected >= 0 && c->selected < static_cast<int>(c->items.size())
             ? c->items[c->selected]
             : std::string();
}

int FormState::Selected(int id) const {
  const ControlState* c = Find(id);
  return c ? c->selected : -1;
}

int FormState::ItemCount(int id) const { return static_cast<int>(Items(id).size()); }

const std::vector<std::string>& FormState::Items(int id) const {
  const ControlState* c = Find(id);
  return c ? c->items : kNoItems;
}

bool FormState::IsEnabled(int id) const {
  const ControlState* c = Find(id);
  return c == nullptr || c->enabled;
}

bool FormState::IsVisible(int id) const {
  const ControlState* c = Find(id);
  return c == nullptr || c->visible;
}
