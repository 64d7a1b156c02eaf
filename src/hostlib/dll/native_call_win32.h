#pragma once
// The call of a DLL function with argument words assembled at run time,
// under an exception registration: a routine in assembly, since C++ cannot
// push a run-time number of words or read ST0 after any call.

#include <cstdint>

namespace plumex::hostlib::dll {

// What the routine reads and writes; its offsets are fixed there.
struct NativeCall {
  std::uint32_t procedure;
  const std::uint32_t* words;  // words[0] ends up at the lowest address
  std::uint32_t wordCount;
  std::uint32_t readsFloat;  // nonzero: the result is in ST0
  std::uint32_t eax;
  std::uint32_t edx;
  double floating;
  std::uint32_t exceptionCode;
  std::uint32_t faulted;
};

void invokeNative(NativeCall& call);

} // namespace plumex::hostlib::dll
