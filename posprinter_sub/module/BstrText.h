// The OPOS strings that cross the sub-module interface as BSTRs (DirectIO's pString, the
// statistics buffer): read as ANSI text, replaced by a new BSTR that the caller owns.
#pragma once
#include "Win.h"

#include <string>

#include "PrinterSubArgs.h"

// The text in the ANSI code page; NULL (the empty BSTR) reads as "".
[[nodiscard]] std::string BstrToAnsi(const wchar_t* text);

// Frees *target and stores a new BSTR of the ANSI text. False when the new string cannot be
// made; *target is then left as it was.
[[nodiscard]] bool ReplaceBstr(PrnBstr* target, const std::string& text);
