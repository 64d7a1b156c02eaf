#pragma once
// Loading the packaged resources of a module.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plumex::container {

// The system's text for the last error, at most 255 characters.
std::string lastErrorText();

// Throws CAppException with the system's message when the resource is
// absent, empty or cannot be loaded.
std::vector<std::uint8_t> loadRawResource(HMODULE module, const char* type, const char* name);

// loadRawResource followed by unpackBlock.
std::vector<std::uint8_t> loadPackedResource(HMODULE module, const char* type, const char* name);

// nullopt when the resource is absent; throws for a damaged one.
std::optional<std::vector<std::uint8_t>> loadOptionalPackedResource(HMODULE module,
                                                                    const char* type,
                                                                    const char* name);

} // namespace plumex::container
