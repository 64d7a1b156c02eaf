#include "container/resources_win32.h"

#include "container/container_errors.h"
#include "container/packed_block.h"

namespace plumex::container {

std::string lastErrorText() {
  const DWORD code = GetLastError();
  char text[256] = {};
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text,
                                 sizeof text, nullptr);
  if (n == 0) return "Error " + std::to_string(code);
  std::string s(text, n);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

std::vector<std::uint8_t> loadRawResource(HMODULE module, const char* type, const char* name) {
  HRSRC found = FindResourceA(module, name, type);
  if (!found) throw CAppException(lastErrorText());
  const DWORD size = SizeofResource(module, found);
  HGLOBAL loaded = LoadResource(module, found);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) throw CAppException(lastErrorText());
  if (size == 0) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    throw CAppException(lastErrorText());
  }
  const auto* p = static_cast<const std::uint8_t*>(bytes);
  return std::vector<std::uint8_t>(p, p + size);
}

std::vector<std::uint8_t> loadPackedResource(HMODULE module, const char* type, const char* name) {
  return unpackBlock(loadRawResource(module, type, name));
}

std::optional<std::vector<std::uint8_t>> loadOptionalPackedResource(HMODULE module,
                                                                    const char* type,
                                                                    const char* name) {
  if (!FindResourceA(module, name, type)) return std::nullopt;
  return loadPackedResource(module, type, name);
}

} // namespace plumex::container
