#pragma once
// What the fuzz targets share: a failed property aborts, so libFuzzer keeps
// the input that broke it.

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                          \
  do {                                                                                 \
    if (!(condition)) {                                                                \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                    \
    }                                                                                  \
  } while (0)

namespace plumex::fuzz {
// Packaged records are small; larger inputs only slow the search down.
constexpr std::size_t kMaxInput = 64 * 1024;
} // namespace plumex::fuzz
