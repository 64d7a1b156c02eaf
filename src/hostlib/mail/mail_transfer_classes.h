#pragma once
// The script classes `SendMail` (a message through an SMTP server, or a
// raw connection) and `RecvMail` (one POP3 connection, a method per
// command). Both block until the server answers.

#include "script/values/engine.h"

namespace plumex::hostlib {

void registerSendMailClass(script::Engine& engine);
void registerRecvMailClass(script::Engine& engine);

} // namespace plumex::hostlib
