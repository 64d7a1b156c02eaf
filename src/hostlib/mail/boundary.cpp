#include "hostlib/mail/boundary.h"

#include <atomic>
#include <cstdio>

#include "hostlib/mail/system_facts.h"

namespace plumex::hostlib::mail {

std::string newBoundary() {
  // Per process by design: two messages composed in the same millisecond
  // must still differ.
  static std::atomic<std::uint32_t> counter{0};
  char text[64];
  std::snprintf(text, sizeof text, "====_PLUMEX_MAIL_PART_%X.%X.%X_====", static_cast<unsigned>(processId()),
                static_cast<unsigned>(tickCount()), static_cast<unsigned>(++counter));
  return text;
}

} // namespace plumex::hostlib::mail
