#include "hostlib/mail/system_facts.h"

#include <time.h>
#include <unistd.h>

namespace plumex::hostlib::mail {

unsigned ansiCodePage() { return 1252; }

std::uint32_t processId() { return static_cast<std::uint32_t>(getpid()); }

std::uint32_t tickCount() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(t.tv_sec) * 1000 +
                                    static_cast<std::uint64_t>(t.tv_nsec) / 1000000);
}

} // namespace plumex::hostlib::mail
