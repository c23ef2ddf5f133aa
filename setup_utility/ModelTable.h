// The models the utility knows: which files, ProgIDs and option lists each one has.
#pragma once
#include "DeviceClass.h"

#include <string>

inline constexpr int kOptionItemMax = 32;

// An option list: items are "value<TAB>label"; the registry holds the value, forms show the label.
struct OptionList {
  int defaultIndex;                     // -1: the model has no such list
  const char* items[kOptionItemMax];    // null after the last item
};

struct ModelInfo {
  const char* modelName;                // "" for the generic row
  const char* printerDriverName;        // the Windows printer driver of the model
  const char* coreFiles[kDeviceClassCount];
  const char* subFiles[kDeviceClassCount];
  const char* version;
  const char* progIds[kDeviceClassCount];
  const char* printSpeedName;           // registry name of the print-speed value
  OptionList paperList;                 // PaperSize
  OptionList printSpeedList;
  OptionList nearEndList;               // NearEnd
  OptionList codePageList;              // DefaultCharacterSet: value = index, label = code page
  OptionList pulseList;                 // PulseTime
  OptionList printWidthList;            // PrintWidth
  OptionList markModeList;              // MarkMode
  int devicePresent;                    // a maker's printer of this model is registered
  int reserved[2];
};

inline constexpr int kModelRowCount = 2;
inline constexpr int kGenericModelRow = 0;
// Row 0 the generic row, row 1 TBX910QD.
extern const ModelInfo kModelRows[kModelRowCount];

inline bool HasList(const OptionList& list) { return list.defaultIndex >= 0; }
inline bool HasModelName(const ModelInfo& row) { return row.modelName[0] != '\0'; }

// Item accessors; each answers "" for an absent list, an index out of range or a null item.
std::string OptionValue(const OptionList& list, int index);   // text before the TAB (<= 63 chars)
std::string OptionLabel(const OptionList& list, int index);   // text after the TAB
std::string DefaultOptionValue(const OptionList& list);
std::string DefaultOptionLabel(const OptionList& list);
int OptionCount(const OptionList& list);
