// The native build's registry of content types: the system's mime.types.
#include "hostlib/mail/system_facts.h"

#include <string>

#include "hostlib/mail/content_type.h"
#include "platform/files.h"

namespace plumex::hostlib::mail {

std::string contentTypeForFile(const std::string& path) {
  InputFile table;
  if (table.open("/etc/mime.types")) {
    std::string text(static_cast<std::size_t>(table.size()), '\0');
    text.resize(table.read(text.data(), text.size()));
    const auto type = findContentType(text, extensionOf(path));
    if (type && !type->empty() && type->size() <= kMaxRegisteredType) return *type;
  }
  return std::string(kDefaultContentType);
}

} // namespace plumex::hostlib::mail
