// The choice lists the forms and wizard pages share: fixed lists of a stored value and a shown
// label, the model's option lists, and the Windows printers a device may drive.
#pragma once
#include "ModelTable.h"

#include <string>
#include <vector>

class CKvrOposUtilityDoc;

struct Choice {
  const char* value;  // what the registry holds
  const char* label;  // what the combo shows
};
// Each list with the index shown for a stored value it does not hold, and the index whose
// value is stored for a selection outside the list.
struct ChoiceList {
  std::vector<Choice> choices;
  int fallbackIndex;
};

extern const ChoiceList kLogLevelChoices;    // "-1" No Output, "0" Error, "4" Trace
extern const ChoiceList kRetentionChoices;   // "1" 1 day ... "90" 90 days
extern const ChoiceList kCompletionChoices;  // "0" Data Transmitted, "1" Printed
extern const ChoiceList kNearEndChoices;     // "0" Disable, "1" Enable
extern const ChoiceList kInvertChoices;      // "F" Disable, "T" Enable
extern const ChoiceList kPulseChoices;       // "1" 100 ... "8" 800 (100 ms units)

std::vector<std::string> ChoiceLabels(const ChoiceList& list);
int ChoiceIndex(const ChoiceList& list, const std::string& value);
std::string ChoiceValue(const ChoiceList& list, int index);

// The labels of a model's option list, in list order (none for an absent list).
std::vector<std::string> OptionLabels(const OptionList& list);
// The last item whose value equals value; the list's default index when none does.
int OptionIndexFromLast(const OptionList& list, const std::string& value);

// The print speed is stored as the selected index, one digit "0" to "4".
std::string PrintSpeedForIndex(int index);

// Installed Windows printers of the model's driver that no registered POSPrinter device other
// than exceptDevice names as its DriverName, sorted by name ignoring case.
std::vector<std::string> UsableWindowsPrinters(CKvrOposUtilityDoc& doc, const ModelInfo& row,
                                               const std::string& exceptDevice);

bool EqualsIgnoringCase(const std::string& a, const std::string& b);
