#pragma once
// The script class `Encryption`: text ciphers, MD5 digests and the file
// cipher, as methods of the class object.

#include "script/values/engine.h"

namespace plumex::hostlib {

void registerEncryptionClass(script::Engine& engine);

} // namespace plumex::hostlib
