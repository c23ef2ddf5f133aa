// The identity of vasselin's one COM class.
#pragma once
#include "Win.h"

#include <objbase.h>

// {2E6C5238-F6D2-4109-9183-C5081F13134C}
inline constexpr CLSID CLSID_POSPrinterSO = {
    0x2e6c5238, 0xf6d2, 0x4109, {0x91, 0x83, 0xc5, 0x08, 0x1f, 0x13, 0x13, 0x4c}};
// The dispatch interface of the service object. {8A62E03A-60D5-4CA3-8536-64B694C503B5}
inline constexpr IID IID_IPOSPrinterSO = {
    0x8a62e03a, 0x60d5, 0x4ca3, {0x85, 0x36, 0x64, 0xb6, 0x94, 0xc5, 0x03, 0xb5}};

inline constexpr char kProgIdA[] = "OPOS.POSPRINTER.SO.KVR.CORE.TBXQD";
inline constexpr wchar_t kProgIdW[] = L"OPOS.POSPRINTER.SO.KVR.CORE.TBXQD";
inline constexpr char kClsidText[] = "{2E6C5238-F6D2-4109-9183-C5081F13134C}";
inline constexpr char kThreadingModel[] = "Apartment";
