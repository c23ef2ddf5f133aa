// Device entries of the cash drawer class for tests: each test program uses device names of
// its own, so programs running side by side never share a key.
#pragma once
#include "Win.h"

#include <string>
#include <vector>

namespace drwtest {

struct RegValue {
  std::string name;
  std::string data;
  bool terminated = true;  // false: written without its NUL, as some writers do
  DWORD type = REG_SZ;
};

std::string DeviceKey(const std::string& device);
// Replaces the device's key with one holding exactly these values.
void WriteDevice(const std::string& device, const std::vector<RegValue>& values);
void DeleteDevice(const std::string& device);

}  // namespace drwtest
