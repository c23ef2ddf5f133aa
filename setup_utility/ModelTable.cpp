#include "ModelTable.h"

#include <cstring>

namespace {

#define KVR_PULSE_ITEMS "0\t100", "1\t200", "2\t300", "3\t400", "4\t500", "5\t600", "6\t700", "7\t800"

constexpr OptionList kAbsent = {-1, {}};
constexpr OptionList kPresentEmpty = {0, {}};

}  // namespace

const ModelInfo kModelRows[kModelRowCount] = {
    {"",
     "",
     {"ostrevin.dll", "marrowin.dll", "dyrrow.dll", "skelvin.dll"},
     {"", "", "", ""},
     "1.14.0.0",
     {"OPOS.POSPRINTER.SO.KVR.CORE.1", "OPOS.CASHDRAWER.SO.KVR.CORE.1",
      "OPOS.LINEDISPLAY.SO.KVR.CORE.1", "OPOS.SCANNER.SO.KVR.HN.1"},
     "PrintSpeed",
     {3, {"0\t58mm/360dots", "1\t58mm/432dots", "2\t80mm/512dots", "3\t80mm/576dots"}},
     kAbsent,
     kAbsent,
     kAbsent,
     {0, {KVR_PULSE_ITEMS}},
     kPresentEmpty,
     kPresentEmpty,
     0,
     {0, 0}},
    {"TBX910QD",
     "KVR TBX910QD",
     {"vasselin.dll", "fenwode.dll", "", ""},
     {"prennik.dll", "tollek.dll", "", ""},
     "1.14.1.0",
     {"OPOS.POSPRINTER.SO.KVR.CORE.TBXQD", "OPOS.CASHDRAWER.SO.KVR.CORE.TBXQD", "", ""},
     "PrintSpeed",
     {1, {"0\t40mm/288dots", "1\t58mm/432dots"}},
     {0, {"0\tRecLetterQuality Valid", "1\tHigh", "2\tMiddle"}},
     kAbsent,
     // Item i holds the index i as its value and the code page as its label.
     {11, {"0\t437", "1\t737", "2\t850", "3\t852", "4\t855", "5\t857", "6\t858", "7\t860",
           "8\t863", "9\t865", "10\t866", "11\t932", "12\t999", "13\t1250", "14\t1251",
           "15\t1252", "16\t1253", "17\t1254"}},
     {0, {KVR_PULSE_ITEMS}},
     kAbsent,
     {0, {"0\tDisable", "1\tEnable"}},
     0,
     {0, 0}},
};

namespace {

const char* Item(const OptionList& list, int index) {
  if (!HasList(list) || index < 0 || index >= kOptionItemMax) return nullptr;
  return list.items[index];
}

}  // namespace

std::string OptionValue(const OptionList& list, int index) {
  const char* item = Item(list, index);
  if (item == nullptr) return {};
  const char* tab = std::strchr(item, '\t');
  std::string value = tab ? std::string(item, tab - item) : std::string(item);
  // Values pass through a 64-byte buffer.
  if (value.size() > 63) value.resize(63);
  return value;
}

std::string OptionLabel(const OptionList& list, int index) {
  const char* item = Item(list, index);
  if (item == nullptr) return {};
  const char* tab = std::strchr(item, '\t');
  return tab ? std::string(tab + 1) : std::string();
}

std::string DefaultOptionValue(const OptionList& list) {
  return OptionValue(list, list.defaultIndex);
}

std::string DefaultOptionLabel(const OptionList& list) {
  return OptionLabel(list, list.defaultIndex);
}

int OptionCount(const OptionList& list) {
  int n = 0;
  while (Item(list, n) != nullptr) ++n;
  return n;
}
