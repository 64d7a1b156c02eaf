#include "hostlib/net/name_servers.h"

namespace plumex::hostlib::net {

bool isDottedAddress(std::string_view text) {
  int parts = 0;
  while (true) {
    std::size_t digits = 0;
    unsigned value = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
      value = value * 10 + static_cast<unsigned>(text[digits] - '0');
      if (++digits > 3) return false;
    }
    if (digits == 0 || value > 255) return false;
    text.remove_prefix(digits);
    if (++parts == 4) return text.empty();
    if (text.empty() || text.front() != '.') return false;
    text.remove_prefix(1);
  }
}

std::vector<std::string> nameServerAddresses(std::string_view value) {
  std::vector<std::string> addresses;
  while (!value.empty()) {
    const std::size_t cut = value.find_first_of(" ,;\t");
    const std::string_view piece = value.substr(0, cut);
    value.remove_prefix(cut == std::string_view::npos ? value.size() : cut + 1);
    if (isDottedAddress(piece)) addresses.emplace_back(piece);
  }
  return addresses;
}

} // namespace plumex::hostlib::net
