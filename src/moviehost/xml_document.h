#pragma once
// The XML of the movie's external interface: elements with attributes, text
// and children. Only the five named entities exist (matched without case,
// replaced once, left to right); any other "&" makes the document
// unreadable, as does nesting deeper than kMaxXmlDepth.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plumex::moviehost {

constexpr int kMaxXmlDepth = 256;

struct XmlElement {
  std::u16string name;
  std::vector<std::pair<std::u16string, std::u16string>> attributes;
  // The character data directly inside the element; none when it has none.
  std::optional<std::u16string> text;
  std::vector<XmlElement> children;

  // Names are compared without regard to (ASCII) case.
  bool is(std::u16string_view n) const;
  const std::u16string* attribute(std::u16string_view n) const;
  // The first child element, if any.
  const XmlElement* firstChild() const { return children.empty() ? nullptr : &children.front(); }
  // This element or the first of its descendants with the name (document
  // order).
  const XmlElement* find(std::u16string_view n) const;
};

bool equalsNoCase(std::u16string_view a, std::u16string_view b);

// The document's root element, after an optional leading declaration
// ("<?...?>"); nothing when the document is unreadable.
std::optional<XmlElement> readXml(std::u16string_view document);

// Text with "&", "<", ">", the double quote and "'" written as entities.
std::u16string escapeXml(std::u16string_view text);

} // namespace plumex::moviehost
