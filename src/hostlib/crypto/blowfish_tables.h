#pragma once
// Blowfish's initial subkeys, before the key is mixed in.

#include <cstdint>

namespace plumex::hostlib::crypto {

extern const std::uint32_t kBlowfishInitialP[18];
extern const std::uint32_t kBlowfishInitialS[4][256];

} // namespace plumex::hostlib::crypto
