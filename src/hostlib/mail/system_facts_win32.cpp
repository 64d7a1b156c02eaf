#include "hostlib/mail/system_facts.h"

#include <windows.h>

namespace plumex::hostlib::mail {

unsigned ansiCodePage() { return GetACP(); }

std::uint32_t processId() { return GetCurrentProcessId(); }

std::uint32_t tickCount() { return GetTickCount(); }

} // namespace plumex::hostlib::mail
