#pragma once
// Script values as the external interface writes and reads them. Numbers
// keep all their data: Integers with their 64 bits, Floats as the shortest
// text that reads back to the same double (infinities as Infinity and
// -Infinity). Arrays go out in ascending index order. A value that nests
// deeper than kMaxXmlDepth, or holds itself, is not written at all.

#include <cstdint>
#include <optional>
#include <string>

#include "moviehost/xml_document.h"
#include "script/values/engine.h"

namespace plumex::moviehost {

// How a host object is handed to a movie: the handle number standing for it.
class HandleIssuer {
public:
  virtual ~HandleIssuer() = default;
  virtual std::int64_t handleFor(const script::Value& native) = 0;
};

// The element for v; nothing for a cycle or nesting past the limit. Host
// objects need an issuer; without one they are written as null.
std::optional<std::u16string> writeXmlValue(script::Engine& engine, const script::Value& v,
                                            HandleIssuer* handles = nullptr);

// The value of a value element; nothing when the element is not one (an
// unknown name, a bad array index). Raises only on memory exhaustion.
std::optional<script::Value> readXmlValue(script::Engine& engine, const XmlElement& element);

// The number text rules, shared with tests: an Integer, a Float or NaN.
script::Value numberFromXmlText(std::u16string_view text);
std::u16string xmlNumberText(const script::Value& number);

} // namespace plumex::moviehost
