// The printer's memory switches that follow the device settings: SW1 bit 2 (mark paper
// detection), SW4 bits 3, 6 and 7 (paper width and print speed), SW5 bits 0-2.
#pragma once
#include "Win.h"

// The function-setting response carries the 40 switches 1-40 in order: switch n is byte n - 1.
inline constexpr int kSwitchBytes = 40;

struct CManagedSwitch {
  BYTE number;  // switch number; 0x80 | number selects it in DC2 w
  BYTE mask;    // the bits the sub-module manages
};
inline constexpr CManagedSwitch kManagedSwitches[3] = {{1, 0x04}, {4, 0xC8}, {5, 0x07}};

// The wanted switch bytes for the settings; all bytes but SW1, SW4 and SW5 are 0.
void WantedSwitchBytes(long markMode, long paperSize, long printSpeed, BYTE wanted[kSwitchBytes]);

// True when some managed bits of current differ from wanted; pairs then holds the three
// (0x80 | switch, new value) pairs of the function-setting write, in the order SW1, SW4, SW5,
// each new value keeping the current unmanaged bits.
[[nodiscard]] bool PlanSwitchWrite(const BYTE wanted[kSwitchBytes],
                                   const BYTE current[kSwitchBytes], BYTE pairs[6]);
