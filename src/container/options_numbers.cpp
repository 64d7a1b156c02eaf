#include "container/options_numbers.h"

#include <cstdint>

namespace plumex::container {
namespace {

constexpr std::uint32_t kPercentSize = 4, kPercentPos = 10;

// A whole decimal number within [low, high], blanks around it allowed.
std::optional<std::uint16_t> parse(const std::string& text, std::uint32_t low, std::uint32_t high) {
  std::size_t i = 0, end = text.size();
  while (i < end && text[i] == ' ') ++i;
  while (end > i && text[end - 1] == ' ') --end;
  if (i == end || end - i > 5) return std::nullopt;
  std::uint32_t v = 0;
  for (; i < end; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    v = v * 10 + static_cast<std::uint32_t>(text[i] - '0');
  }
  if (v < low || v > high) return std::nullopt;
  return static_cast<std::uint16_t>(v);
}

std::string rangeMessage(const char* field, std::uint32_t low, std::uint32_t high) {
  return std::string("The field \"") + field + "\" takes a whole number from " + std::to_string(low) + " to " +
         std::to_string(high) + ".";
}

} // namespace

OptionNumbers optionNumbersFor(const SettingsRecord::SizeAndPos& s) {
  OptionNumbers n;
  n.width = std::to_string(s.customWidth);
  n.height = std::to_string(s.customHeight);
  n.percent = std::to_string(s.windowSize == kPercentSize ? s.customHeight : 100);
  n.left = std::to_string(s.customLeft);
  n.top = std::to_string(s.customTop);
  return n;
}

std::optional<std::string> storeOptionNumbers(const OptionNumbers& n, SettingsRecord::SizeAndPos& s) {
  struct Field {
    const char* name;
    const std::string* text;
    std::uint32_t low, high;
  };
  const bool percentPos = s.pos == kPercentPos;
  const Field fields[] = {
      {"Width", &n.width, 0, 65535},
      {"Height", &n.height, 0, 65535},
      {"Percent", &n.percent, 1, 100},
      {"Left", &n.left, 0, percentPos ? 100u : 65535u},
      {"Top", &n.top, 0, percentPos ? 100u : 65535u},
  };
  std::uint16_t v[5];
  for (std::size_t i = 0; i < 5; ++i) {
    const auto parsed = parse(*fields[i].text, fields[i].low, fields[i].high);
    if (!parsed) return rangeMessage(fields[i].name, fields[i].low, fields[i].high);
    v[i] = *parsed;
  }
  s.customWidth = v[0];
  s.customHeight = s.windowSize == kPercentSize ? v[2] : v[1];
  s.customLeft = v[3];
  s.customTop = v[4];
  return std::nullopt;
}

} // namespace plumex::container
