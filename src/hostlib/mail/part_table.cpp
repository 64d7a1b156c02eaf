#include "hostlib/mail/part_table.h"

#include "hostlib/codecs/base64.h"
#include "hostlib/codecs/quoted_printable.h"
#include "hostlib/mail/header_fields.h"

namespace plumex::hostlib::mail {

const char* encodingName(Encoding e) {
  switch (e) {
    case Encoding::QuotedPrintable: return "quoted-printable";
    case Encoding::Base64: return "base64";
    case Encoding::None: break;
  }
  return "binary";
}

Encoding encodingFromName(std::string_view name) {
  if (equalsIgnoringCase(name, "quoted-printable")) return Encoding::QuotedPrintable;
  if (equalsIgnoringCase(name, "base64")) return Encoding::Base64;
  return Encoding::None;
}

std::string writableType(std::string_view type, Encoding e) {
  auto startsWith = [&](std::string_view prefix) {
    return type.size() >= prefix.size() && equalsIgnoringCase(type.substr(0, prefix.size()), prefix);
  };
  if (startsWith("multipart/") || (startsWith("message/") && e != Encoding::None)) return "application/octet-stream";
  return std::string(type);
}

std::string decodeBody(std::string_view encoded, Encoding e) {
  switch (e) {
    case Encoding::QuotedPrintable: return codecs::decodeQuotedPrintable(encoded);
    case Encoding::Base64: return codecs::decodeBase64ToString(encoded);
    case Encoding::None: break;
  }
  return std::string(encoded);
}

} // namespace plumex::hostlib::mail
