#pragma once
// The DNS servers of a "NameServer" registry value: split at spaces,
// commas, semicolons and TABs, each piece a dotted address.

#include <string>
#include <string_view>
#include <vector>

namespace plumex::hostlib::net {

// The addresses in the order written, duplicates kept; pieces that are no
// dotted address are left out.
std::vector<std::string> nameServerAddresses(std::string_view value);

// "a.b.c.d" with four decimal parts of 0 to 255.
bool isDottedAddress(std::string_view text);

} // namespace plumex::hostlib::net
