#pragma once

// Reading and adding resources of a Windows PE image (PE32, also PE32+),
// portably: the packager runs on Linux as well as on Windows.

#include <compare>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace plumex::container {

// A resource type or name: a 16-bit number or a text. Texts compare without
// regard to case because they are stored upper-case, as the system's resource
// compiler does and as FindResource upper-cases its argument.
class ResourceId {
 public:
  static ResourceId number(std::uint16_t id);
  // Upper-cases ASCII, Latin-1, Latin Extended-A, basic Greek and Cyrillic
  // letters. Throws std::invalid_argument for an empty text or one longer
  // than 65535 units.
  static ResourceId name(std::u16string_view text);

  bool isNumber() const { return value_.index() == 1; }
  std::uint16_t id() const { return std::get<1>(value_); }            // isNumber()
  const std::u16string& text() const { return std::get<0>(value_); }  // !isNumber()

  // The order of a resource directory: texts first (by UTF-16 unit), then
  // numbers ascending.
  friend bool operator==(const ResourceId&, const ResourceId&) = default;
  friend std::strong_ordering operator<=>(const ResourceId&, const ResourceId&) = default;

 private:
  explicit ResourceId(std::variant<std::u16string, std::uint16_t> value) : value_(std::move(value)) {}
  std::variant<std::u16string, std::uint16_t> value_;
};

struct Resource {
  ResourceId type;
  ResourceId name;
  std::uint16_t language = 0;  // 0: LANG_NEUTRAL, found by FindResource in every locale
  std::vector<std::uint8_t> data;
};

class PeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Every resource of a PE image, in the order stored (type, name, language).
// Throws PeError for a malformed image or resource tree.
std::vector<Resource> readResources(std::span<const std::uint8_t> image);

// A copy of the image with the resources added; an added resource with the
// same type, name and language as an existing one replaces it. Anything after
// the raw data of the last section (an overlay, a COFF symbol table, a
// signature) is dropped and the symbol-table pointer and count are cleared,
// so data appended later follows the last section directly. Long section
// names kept in the symbol table's strings ("/4") become their first eight
// characters.
std::vector<std::uint8_t> addResources(std::span<const std::uint8_t> image,
                                       const std::vector<Resource>& added);

// The image's time stamp (the file header's TimeDateStamp, seconds since
// 1970 UTC), and setting it, with the checksum recomputed over `image`.
// Throws PeError for a malformed image.
std::uint32_t timeStamp(std::span<const std::uint8_t> image);
void setTimeStamp(std::span<std::uint8_t> image, std::uint32_t secondsSince1970);

// File offset where the raw data of the section with the largest
// PointerToRawData ends (the first of equal ones): where the packager
// appends its archive.
std::uint32_t endOfLastSection(std::span<const std::uint8_t> image);

}  // namespace plumex::container
