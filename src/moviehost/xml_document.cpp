#include "moviehost/xml_document.h"

namespace plumex::moviehost {
namespace {

char16_t lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// Name characters: anything but white space and the markup characters.
bool isNameChar(char16_t c) {
  return !isSpace(c) && c != u'<' && c != u'>' && c != u'/' && c != u'=' && c != u'"' && c != u'\'' &&
         c != u'&' && c != u'?' && c != u'!';
}

struct Entity {
  std::u16string_view name;
  char16_t value;
};
constexpr Entity kEntities[] = {{u"lt", u'<'}, {u"gt", u'>'}, {u"amp", u'&'}, {u"apos", u'\''}, {u"quot", u'"'}};

class Reader {
public:
  explicit Reader(std::u16string_view doc) : doc_(doc) {}

  std::optional<XmlElement> document() {
    skipSpace();
    if (startsWith(u"<?")) {
      const std::size_t end = doc_.find(u"?>", at_);
      if (end == std::u16string_view::npos) return std::nullopt;
      at_ = end + 2;
      skipSpace();
    }
    XmlElement root;
    if (!element(root, 1)) return std::nullopt;
    skipSpace();
    if (at_ != doc_.size()) return std::nullopt;
    return root;
  }

private:
  bool startsWith(std::u16string_view s) const { return doc_.substr(at_).substr(0, s.size()) == s; }
  bool more() const { return at_ < doc_.size(); }
  char16_t peek() const { return doc_[at_]; }
  void skipSpace() {
    while (more() && isSpace(peek())) ++at_;
  }

  bool name(std::u16string& out) {
    const std::size_t start = at_;
    while (more() && isNameChar(peek())) ++at_;
    if (at_ == start) return false;
    out.assign(doc_.substr(start, at_ - start));
    return true;
  }

  // Character data up to `stop` (not included), entities replaced.
  bool characters(std::u16string& out, char16_t stop) {
    while (more() && peek() != stop) {
      const char16_t c = peek();
      if (c == u'<' && stop != u'<') return false;  // markup inside an attribute value
      if (c != u'&') {
        out += c;
        ++at_;
        continue;
      }
      const std::size_t semicolon = doc_.find(u';', at_);
      if (semicolon == std::u16string_view::npos) return false;
      const std::u16string_view ref = doc_.substr(at_ + 1, semicolon - at_ - 1);
      bool known = false;
      for (const Entity& e : kEntities) {
        if (equalsNoCase(ref, e.name)) {
          out += e.value;
          known = true;
          break;
        }
      }
      if (!known) return false;
      at_ = semicolon + 1;
    }
    return true;
  }

  bool attributes(XmlElement& e) {
    for (;;) {
      skipSpace();
      if (!more()) return false;
      if (peek() == u'>' || peek() == u'/') return true;
      std::u16string key;
      if (!name(key)) return false;
      skipSpace();
      if (!more() || peek() != u'=') return false;
      ++at_;
      skipSpace();
      if (!more() || (peek() != u'"' && peek() != u'\'')) return false;
      const char16_t quote = peek();
      ++at_;
      std::u16string value;
      if (!characters(value, quote) || !more()) return false;
      ++at_;
      e.attributes.emplace_back(std::move(key), std::move(value));
    }
  }

  bool element(XmlElement& e, int depth) {
    if (depth > kMaxXmlDepth) return false;
    if (!more() || peek() != u'<') return false;
    ++at_;
    if (!name(e.name) || !attributes(e)) return false;
    if (peek() == u'/') {
      ++at_;
      if (!more() || peek() != u'>') return false;
      ++at_;
      return true;
    }
    ++at_;  // '>'
    for (;;) {
      if (!more()) return false;
      if (peek() != u'<') {
        std::u16string text;
        if (!characters(text, u'<')) return false;
        if (!e.text) e.text.emplace();
        *e.text += text;
        continue;
      }
      if (startsWith(u"</")) {
        at_ += 2;
        std::u16string closing;
        if (!name(closing) || closing != e.name) return false;
        skipSpace();
        if (!more() || peek() != u'>') return false;
        ++at_;
        return true;
      }
      e.children.emplace_back();
      if (!element(e.children.back(), depth + 1)) return false;
    }
  }

  std::u16string_view doc_;
  std::size_t at_ = 0;
};

} // namespace

bool equalsNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

bool XmlElement::is(std::u16string_view n) const { return equalsNoCase(name, n); }

const std::u16string* XmlElement::attribute(std::u16string_view n) const {
  for (const auto& [key, value] : attributes)
    if (equalsNoCase(key, n)) return &value;
  return nullptr;
}

const XmlElement* XmlElement::find(std::u16string_view n) const {
  if (is(n)) return this;
  for (const XmlElement& child : children)
    if (const XmlElement* found = child.find(n)) return found;
  return nullptr;
}

std::optional<XmlElement> readXml(std::u16string_view document) { return Reader(document).document(); }

std::u16string escapeXml(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    switch (c) {
      case u'&': out += u"&amp;"; break;
      case u'<': out += u"&lt;"; break;
      case u'>': out += u"&gt;"; break;
      case u'"': out += u"&quot;"; break;
      case u'\'': out += u"&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

} // namespace plumex::moviehost
