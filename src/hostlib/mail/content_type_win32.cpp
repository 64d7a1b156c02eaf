// The content type the class registry gives a file's extension: the
// "Content Type" value of HKEY_CLASSES_ROOT\.ext.
#include "hostlib/mail/system_facts.h"

#include <windows.h>

#include "hostlib/mail/content_type.h"

namespace plumex::hostlib::mail {

std::string contentTypeForFile(const std::string& path) {
  const std::string_view extension = extensionOf(path);
  if (!extension.empty()) {
    const std::string key = "." + std::string(extension);
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE, &h) == ERROR_SUCCESS) {
      char value[kMaxRegisteredType + 1] = {};
      DWORD size = sizeof value;
      DWORD type = 0;
      // A longer value does not fit and is not used.
      const LONG r = RegQueryValueExA(h, "Content Type", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
      RegCloseKey(h);
      if (r == ERROR_SUCCESS && type == REG_SZ && size > 0) {
        std::string text(value, size);
        while (!text.empty() && text.back() == '\0') text.pop_back();
        if (!text.empty() && text.size() <= kMaxRegisteredType) return text;
      }
    }
  }
  return std::string(kDefaultContentType);
}

} // namespace plumex::hostlib::mail
