#include "manifest.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <limits>
#include <set>

#include "utf8.h"

namespace plumex::pack {
namespace {

using json = nlohmann::json;

// Reads the fields of one JSON object, remembers which it saw, and names the
// file and field in every error.
class Fields {
public:
  Fields(const Manifest& m, const json& obj, std::string path)
      : m_(m), obj_(obj), path_(std::move(path)) {
    if (!obj_.is_object()) fail(path_, "expected an object");
  }

  [[noreturn]] void fail(const std::string& field, const std::string& why) const {
    throw ManifestError(m_.file.string() + ": " + field + ": " + why);
  }

  std::string name(const char* key) const { return path_.empty() ? key : path_ + "." + key; }

  const json* get(const char* key) {
    seen_.insert(key);
    auto it = obj_.find(key);
    return it == obj_.end() || it->is_null() ? nullptr : &*it;
  }

  template <class T> void number(const char* key, T& out) {
    const json* v = get(key);
    if (!v) return;
    if (!v->is_number_integer()) fail(name(key), "expected a whole number");
    const auto n = v->get<long long>();
    if (n < static_cast<long long>(std::numeric_limits<T>::min()) ||
        n > static_cast<long long>(std::numeric_limits<T>::max()))
      fail(name(key), "out of range");
    out = static_cast<T>(n);
  }

  void boolean(const char* key, std::uint32_t& out) {
    if (const json* v = get(key)) out = requireBool(key, *v) ? 1 : 0;
  }

  void flag(const char* key, std::uint32_t& word, std::uint32_t bit) {
    if (const json* v = get(key)) word = requireBool(key, *v) ? (word | bit) : (word & ~bit);
  }

  bool boolean(const char* key, bool fallback) {
    const json* v = get(key);
    return v ? requireBool(key, *v) : fallback;
  }

  // `capacity` counts bytes of the runtime's fixed buffer, NUL included; 0
  // means no limit.
  void text(const char* key, std::string& out, std::size_t capacity = 0) {
    if (const json* v = get(key)) out = requireText(key, *v, capacity);
  }

  void text(const char* key, std::optional<std::string>& out) {
    if (const json* v = get(key)) out = requireText(key, *v, 0);
  }

  std::optional<std::string> text(const char* key) {
    std::optional<std::string> out;
    text(key, out);
    return out;
  }

  std::optional<std::filesystem::path> path(const char* key) {
    const std::optional<std::string> t = text(key);
    if (!t) return std::nullopt;
    if (t->empty()) fail(name(key), "empty path");
    return resolve(*t);
  }

  std::filesystem::path resolve(const std::string& relative) const {
    return (m_.file.parent_path() / utf8ToPath(relative)).lexically_normal();
  }

  // Unknown names are usually typing mistakes: refuse them.
  void done() const {
    for (auto it = obj_.begin(); it != obj_.end(); ++it)
      if (!seen_.count(it.key())) fail(name(it.key().c_str()), "unknown field");
  }

private:
  bool requireBool(const char* key, const json& v) const {
    if (!v.is_boolean()) fail(name(key), "expected true or false");
    return v.get<bool>();
  }

  std::string requireText(const char* key, const json& v, std::size_t capacity) const {
    if (!v.is_string()) fail(name(key), "expected a text");
    std::string s = v.get<std::string>();
    if (!isUtf8(s)) fail(name(key), "not UTF-8");
    if (capacity && utf8ToUtf16(s).size() >= capacity)
      fail(name(key), "longer than " + std::to_string(capacity - 1) + " characters");
    return s;
  }

  const Manifest& m_;
  const json& obj_;
  std::string path_;
  std::set<std::string> seen_;
};

void readFont(Fields& parent, const char* key, container::LogFontRecord& f, const Manifest& m) {
  const json* v = parent.get(key);
  if (!v) return;
  Fields g(m, *v, parent.name(key));
  g.number("height", f.height), g.number("width", f.width), g.number("escapement", f.escapement);
  g.number("orientation", f.orientation), g.number("weight", f.weight);
  g.number("italic", f.italic), g.number("underline", f.underline), g.number("strikeOut", f.strikeOut);
  g.number("charSet", f.charSet), g.number("outPrecision", f.outPrecision);
  g.number("clipPrecision", f.clipPrecision), g.number("quality", f.quality);
  g.number("pitchAndFamily", f.pitchAndFamily);
  g.text("faceName", f.faceName, container::kFaceNameBuffer);
  g.done();
}

void readColor(Fields& g, const char* key, std::array<std::uint8_t, 4>& rgb) {
  const std::optional<std::string> t = g.text(key);
  if (!t) return;
  const auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  if (t->size() != 7 || (*t)[0] != '#') g.fail(g.name(key), "expected #RRGGBB");
  for (int i = 0; i < 3; ++i) {
    const int hi = hex((*t)[1 + 2 * i]), lo = hex((*t)[2 + 2 * i]);
    if (hi < 0 || lo < 0) g.fail(g.name(key), "expected #RRGGBB");
    rgb[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(hi * 16 + lo);
  }
}

void readSettings(Fields& top, Manifest& m) {
  const json* v = top.get("settings");
  if (!v) return;
  Fields s(m, *v, "settings");
  container::SettingsRecord& r = m.settings;
  if (const json* g = s.get("version")) {
    Fields f(m, *g, "settings.version");
    f.text("productName", r.productName), f.text("fileDescription", r.fileDescription);
    f.text("companyName", r.companyName), f.text("legalNotice", r.legalNotice);
    f.text("trademarks", r.trademarks), f.text("comments", r.comments);
    f.text("version", r.version);
    f.done();
  }
  if (const json* g = s.get("appearance")) {
    Fields f(m, *g, "settings.appearance");
    auto& a = r.appearance;
    f.number("windowShape", a.windowShape), f.number("borderStyle", a.borderStyle);
    f.number("borderIcons", a.borderIcons), f.number("scaleMode", a.scaleMode);
    f.text("maskName", a.maskName, container::kTextBuffer);
    f.text("caption", a.caption, container::kTextBuffer);
    f.done();
  }
  if (const json* g = s.get("sizeAndPos")) {
    Fields f(m, *g, "settings.sizeAndPos");
    auto& p = r.sizeAndPos;
    f.number("windowSize", p.windowSize), f.number("customWidth", p.customWidth);
    f.number("customHeight", p.customHeight), f.number("pos", p.pos);
    f.number("customLeft", p.customLeft), f.number("customTop", p.customTop);
    f.boolean("bKeepRatio", p.keepRatio);
    f.done();
  }
  if (const json* g = s.get("interaction")) {
    Fields f(m, *g, "settings.interaction");
    auto& i = r.interaction;
    f.number("lBtnClk", i.lBtnClk), f.number("rBtnClk", i.rBtnClk);
    f.number("keyPress", i.keyPress), f.number("exitKeys", i.exitKeys);
    f.flag("bDisableAltTab", i.restrictions, 0x1);
    f.flag("bDisableCursor", i.restrictions, 0x10);
    f.flag("bDisableScr", i.restrictions, 0x100);
    f.number("hotKeyVk", i.hotKeyVk), f.number("hotKeyModifiers", i.hotKeyModifiers);
    f.done();
  }
  if (const json* g = s.get("behaviour")) {
    Fields f(m, *g, "settings.behaviour");
    auto& b = r.behaviour;
    f.number("contextMenu", b.contextMenu);
    f.number("flags", b.flags);
    f.flag("bAutoPlay", b.flags, 0x1);
    f.flag("bUseAppIcon", b.flags, 0x2);
    f.flag("bStartMinimized", b.flags, 0x10);
    f.flag("bAlwaysOnTop", b.flags, 0x100);
    f.flag("bShowInSystemTray", b.flags, 0x1000);
    f.done();
  }
  if (const json* g = s.get("misc")) {
    Fields f(m, *g, "settings.misc");
    auto& x = r.misc;
    f.number("flags", x.flags);
    readColor(f, "backgroundColor", x.backgroundColor);
    f.text("helpFile", x.helpFile, container::kTextBuffer);
    f.done();
  }
  if (const json* g = s.get("about")) {
    Fields f(m, *g, "settings.about");
    auto& a = r.about;
    f.text("link1Caption", a.link1Caption), f.text("link1Target", a.link1Target);
    f.text("link2Caption", a.link2Caption), f.text("link2Target", a.link2Target);
    f.number("link1Color", a.link1Color), f.number("link2Color", a.link2Color);
    readFont(f, "font1", a.font1, m);
    readFont(f, "font2", a.font2, m);
    f.number("flags", a.flags);
    f.text("aboutMovie", a.aboutMovie, container::kTextBuffer);
    f.text("picture", a.picture, container::kTextBuffer);
    f.done();
  }
  s.done();
}

std::map<std::string, std::filesystem::path> readNamedFiles(Fields& top, const char* key,
                                                            const Manifest& m) {
  std::map<std::string, std::filesystem::path> out;
  const json* v = top.get(key);
  if (!v) return out;
  Fields f(m, *v, key);
  for (auto it = v->begin(); it != v->end(); ++it) {
    const std::string name = it.key();
    if (name.empty() || !isUtf8(name)) f.fail(key, "bad resource name");
    out[name] = *f.path(name.c_str());
  }
  return out;
}

} // namespace

std::optional<container::Guid> parseGuid(const std::string& text) {
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}, stored in the GUID's memory layout.
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return std::nullopt;
  std::string hex;
  for (std::size_t i = 1; i + 1 < text.size(); ++i) {
    const char c = text[i];
    if (i == 9 || i == 14 || i == 19 || i == 24) {
      if (c != '-') return std::nullopt;
      continue;
    }
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    hex.push_back(c);
  }
  std::array<std::uint8_t, 16> v{};
  for (std::size_t i = 0; i < 16; ++i)
    v[i] = static_cast<std::uint8_t>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
  return container::Guid{v[3], v[2], v[1], v[0], v[5], v[4], v[7], v[6],
                         v[8], v[9], v[10], v[11], v[12], v[13], v[14], v[15]};
}

Manifest readManifest(const std::filesystem::path& file) {
  Manifest m;
  m.file = file;
  std::ifstream in(file, std::ios::binary);
  if (!in) throw ManifestError(file.string() + ": cannot be read");
  json root;
  try {
    root = json::parse(in);
  } catch (const json::parse_error& e) {
    throw ManifestError(file.string() + ": not valid JSON: " + e.what());
  }
  Fields top(m, root, "");
  m.runtime = top.path("runtime");
  m.output = top.path("output");

  const json* identity = top.get("identity");
  if (!identity) top.fail("identity", "missing");
  {
    Fields f(m, *identity, "identity");
    const std::optional<std::string> key = f.text("registryKey");
    if (!key || key->empty() || key->find('/') != std::string::npos)
      f.fail("identity.registryKey", "a non-empty text without \"/\" is needed");
    m.registryKey = *key;
    m.profile = f.text("profile");
    if (const auto guid = f.text("guid")) {
      m.appId = parseGuid(*guid);
      if (!m.appId) f.fail("identity.guid", "expected {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}");
    }
    f.done();
  }

  readSettings(top, m);

  if (const json* movie = top.get("movie")) {
    Fields f(m, *movie, "movie");
    f.text("main", m.mainMovie, container::kTextBuffer);
    f.number("kind", m.movieKind);
    m.protectMovies = f.boolean("protect", true);
    f.done();
  }

  if (const json* files = top.get("files")) {
    if (!files->is_array()) top.fail("files", "expected a list");
    for (std::size_t i = 0; i < files->size(); ++i) {
      const std::string at = "files[" + std::to_string(i) + "]";
      Fields f(m, (*files)[i], at);
      FileItem item;
      const auto source = f.path("source");
      if (!source) f.fail(at + ".source", "missing");
      item.source = *source;
      item.target = f.text("target").value_or(
          pathToUtf8(utf8ToPath(f.text("source").value_or("")).filename()));
      if (const json* e = f.get("encipher")) {
        if (!e->is_boolean()) f.fail(at + ".encipher", "expected true or false");
        item.encipher = e->get<bool>();
      }
      f.done();
      m.files.push_back(std::move(item));
    }
  }

  if (const json* masks = top.get("masks")) {
    if (!masks->is_array()) top.fail("masks", "expected a list");
    for (std::size_t i = 0; i < masks->size(); ++i) {
      const std::string at = "masks[" + std::to_string(i) + "]";
      Fields f(m, (*masks)[i], at);
      MaskItem item;
      f.text("name", item.name, container::kTextBuffer);
      if (item.name.empty()) f.fail(at + ".name", "missing");
      item.file = f.path("file");
      f.done();
      m.masks.push_back(std::move(item));
    }
  }

  m.aboutBitmap = top.path("aboutBitmap");
  std::string installer;
  top.text("flashPlayer", installer, container::kTextBuffer);
  if (!installer.empty()) m.flashPlayerInstaller = installer;
  m.scripts = readNamedFiles(top, "scripts", m);
  m.menus = readNamedFiles(top, "menus", m);
  top.done();
  return m;
}

} // namespace plumex::pack
