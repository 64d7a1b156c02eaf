#pragma once
// The script class `Mail`: a mail message scripts compose, save, load and
// take apart (header properties, text and HTML bodies, attachments, HTML
// items), over MailMessage.

#include <memory>

#include "script/values/engine.h"

namespace plumex::hostlib {

namespace mail {
class MailMessage;
}

// Installs the global `Mail`; raises on memory failure like every
// registration.
void registerMailClass(script::Engine& engine);

// The message of an open Mail object, whatever global names its class;
// null for any other value.
mail::MailMessage* mailMessageOf(const script::Value& v);
// A new Mail object over the message; Null when the global `Mail` holds no
// Mail class.
script::Value newMailObject(script::Engine& engine, std::unique_ptr<mail::MailMessage> message);

} // namespace plumex::hostlib
