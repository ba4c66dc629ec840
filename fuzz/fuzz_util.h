// What the fuzz targets share: the check that stops a run at the first broken promise, and the split
// of one input into several texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A failed promise of the code under test: stop here, so the fuzzer keeps the input.
inline void check(bool ok) {
  if (!ok) __builtin_trap();
}

// The input as `parts` texts split at each 0xFE byte; the last part keeps the rest, 0xFE included.
inline std::vector<std::string> fuzz_split(const uint8_t *data, size_t size, size_t parts) {
  std::vector<std::string> out(parts);
  size_t part = 0;
  for (size_t i = 0; i < size; i++) {
    if (data[i] == 0xFE && part + 1 < parts) part++;
    else out[part] += (char)data[i];
  }
  return out;
}
