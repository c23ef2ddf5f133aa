// A recording stand-in for the trace log library, linked into the core's tests in place of
// kvrlog: every line, name and level call is kept for the test to read.
#pragma once
#include <string>
#include <vector>

#include "Win.h"

namespace fakelog {

struct Line {
  DWORD category;
  std::string module;    // the tag part of the module literal
  std::string folder;    // the folder part
  std::string function;
  std::string file;
  std::wstring text;     // expanded as the platform's _vsnwprintf does
};

struct LevelCall {
  DWORD level;
  DWORD lifeDays;
  DWORD maxDumpSize;
};

void Clear();
std::vector<Line> Lines();
std::vector<std::wstring> Names();       // SetLogNames arguments
std::vector<LevelCall> LevelCalls();     // SetLogLevel arguments
// Lines whose text contains `fragment`.
std::vector<Line> LinesContaining(const std::wstring& fragment);

}  // namespace fakelog
