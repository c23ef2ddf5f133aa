#include "ViewChoices.h"

#include "KvrOposUtilityDoc.h"

#include <algorithm>
#include <cctype>

const ChoiceList kLogLevelChoices = {{{"-1", "No Output"}, {"0", "Error"}, {"4", "Trace"}}, 0};
const ChoiceList kRetentionChoices = {{{"1", "1 day"},
                                       {"3", "3 days"},
                                       {"10", "10 days"},
                                       {"30", "30 days"},
                                       {"90", "90 days"}},
                                      0};
const ChoiceList kCompletionChoices = {{{"0", "Data Transmitted"}, {"1", "Printed"}}, 1};
const ChoiceList kNearEndChoices = {{{"0", "Disable"}, {"1", "Enable"}}, 1};
const ChoiceList kInvertChoices = {{{"F", "Disable"}, {"T", "Enable"}}, 0};
const ChoiceList kPulseChoices = {{{"1", "100"},
                                   {"2", "200"},
                                   {"3", "300"},
                                   {"4", "400"},
                                   {"5", "500"},
                                   {"6", "600"},
                                   {"7", "700"},
                                   {"8", "800"}},
                                  0};

std::vector<std::string> ChoiceLabels(const ChoiceList& list) {
  std::vector<std::string> labels;
  for (const Choice& c : list.choices) labels.push_back(c.label);
  return labels;
}

int ChoiceIndex(const ChoiceList& list, const std::string& value) {
  for (size_t i = 0; i < list.choices.size(); ++i)
    if (value == list.choices[i].value) return static_cast<int>(i);
  return list.fallbackIndex;
}

std::string ChoiceValue(const ChoiceList& list, int index) {
  if (index < 0 || index >= static_cast<int>(list.choices.size())) index = list.fallbackIndex;
  return list.choices[index].value;
}

std::vector<std::string> OptionLabels(const OptionList& list) {
  std::vector<std::string> labels;
  for (int i = 0; i < OptionCount(list); ++i) labels.push_back(OptionLabel(list, i));
  return labels;
}

int OptionIndexFromLast(const OptionList& list, const std::string& value) {
  for (int i = OptionCount(list) - 1; i >= 0; --i)
    if (OptionValue(list, i) == value) return i;
  return list.defaultIndex;
}

std::string PrintSpeedForIndex(int index) {
  return index >= 0 && index <= 4 ? std::string(1, static_cast<char>('0' + index)) : "0";
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

namespace {

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::vector<std::string> UsableWindowsPrinters(CKvrOposUtilityDoc& doc, const ModelInfo& row,
                                               const std::string& exceptDevice) {
  // The spooler and the registry both match names without regard to case.
  std::vector<std::string> taken;
  for (const DeviceRecord& device : doc.m_devices[kPosPrinter])
    if (!EqualsIgnoringCase(device.name, exceptDevice))
      taken.push_back(doc.Registry().GetDriverName(device.name));
  std::vector<std::string> usable;
  for (const InstalledPrinter& p : doc.m_installedPrinters) {
    if (p.driverName != row.printerDriverName) continue;
    const bool used = std::any_of(taken.begin(), taken.end(), [&](const std::string& name) {
      return EqualsIgnoringCase(name, p.printerName);
    });
    if (!used) usable.push_back(p.printerName);
  }
  std::stable_sort(usable.begin(), usable.end(), LessIgnoringCase);
  return usable;
}
