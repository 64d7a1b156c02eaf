#include "container/run_folder.h"

namespace plumex::container {

std::string runFolderPath(const std::string& tmp, const std::string& temp,
                          const std::string& windowsDir, const Guid& guid) {
  std::string base;
  for (const std::string* candidate : {&tmp, &temp, &windowsDir}) {
    if (!candidate->empty() && candidate->size() < 260) {
      base = *candidate;
      break;
    }
  }
  if (base.empty()) return {};
  if (base.back() == '/') base.back() = '\\';
  if (base.back() != '\\') base.push_back('\\');
  return base + formatGuid(guid) + '\\';
}

} // namespace plumex::container
