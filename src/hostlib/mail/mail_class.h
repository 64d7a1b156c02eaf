#pragma once
// The script class `Mail`: a mail message scripts compose, save, load and
// take apart (header properties, text and HTML bodies, attachments, HTML
// items), over MailMessage.

#include "script/values/engine.h"

namespace plumex::hostlib {

// Installs the global `Mail`; raises on memory failure like every
// registration.
void registerMailClass(script::Engine& engine);

} // namespace plumex::hostlib
