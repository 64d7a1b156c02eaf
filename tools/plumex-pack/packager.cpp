#include "packager.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>

#include "container/archive.h"
#include "container/digest.h"
#include "container/packed_block.h"
#include "container/pe/pe_resources.h"
#include "container/prefixed_text.h"
#include "container/protected_file.h"
#include "platform/ansi_text.h"
#include "reproducible.h"
#include "script/compiler/compile_driver.h"
#include "utf8.h"

namespace plumex::pack {
namespace {

namespace fs = std::filesystem;
using container::ArchiveEntry;
using container::Resource;
using container::ResourceId;
using Bytes = std::vector<std::uint8_t>;

std::u16string encodeUtf8(std::string_view text) { return utf8ToUtf16(text); }

Bytes readFile(const fs::path& path, const std::string& what) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(path.string() + ": cannot be read (" + what + ")");
  Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error(path.string() + ": read error (" + what + ")");
  return data;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::vector<std::string> splitTarget(const std::string& target) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : target + "/") {
    if (c == '/' || c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part.push_back(c);
    }
  }
  return parts;
}

std::string joinTarget(const std::vector<std::string>& parts) {
  std::string s;
  for (const std::string& p : parts) s += (s.empty() ? "" : "/") + p;
  return s;
}

class ArchiveBuilder {
public:
  ArchiveBuilder(const Manifest& m, std::ostream* progress) : m_(m), progress_(progress) {}

  void add(const FileItem& item, const std::string& field) {
    std::vector<std::string> parts = splitTarget(item.target);
    for (const std::string& p : parts)
      if (!container::isSafeFileName(p))
        fail(field + ".target", "\"" + p + "\" cannot be a file name in the archive");
    if (fs::is_directory(item.source)) {
      addFolder(item.source, parts, item, field);
    } else if (fs::is_regular_file(item.source)) {
      if (parts.empty()) fail(field + ".target", "a file needs a name in the archive");
      addFile(item.source, parts, item);
    } else {
      fail(field + ".source", item.source.string() + " does not exist");
    }
  }

  bool contains(const std::string& target) const {
    return files_.count(lower(joinTarget(splitTarget(target)))) > 0;
  }

  bool anyEnciphered() const { return !toEncipher_.empty(); }
  const std::vector<ArchiveEntry>& plainTree() const { return root_; }

  // Enciphers what was marked, now that the key is known.
  std::vector<ArchiveEntry> finish(const container::CipherKey& key) {
    encipher(root_, "", key);
    return std::move(root_);
  }

private:
  [[noreturn]] void fail(const std::string& field, const std::string& why) const {
    throw ManifestError(m_.file.string() + ": " + field + ": " + why);
  }

  void addFolder(const fs::path& dir, const std::vector<std::string>& parts, const FileItem& item,
                 const std::string& field) {
    folderAt(parts);
    // By their UTF-8 names: the order of the system's listing, or of its
    // native path text, differs between systems and builds.
    std::vector<std::pair<std::string, fs::path>> children;
    for (const auto& e : fs::directory_iterator(dir))
      children.emplace_back(pathToUtf8(e.path().filename()), e.path());
    std::sort(children.begin(), children.end());
    for (const auto& [name, child] : children) {
      std::vector<std::string> sub = parts;
      sub.push_back(name);
      if (!container::isSafeFileName(sub.back()))
        fail(field + ".source", child.string() + ": cannot be a file name in the archive");
      if (fs::is_directory(child))
        addFolder(child, sub, item, field);
      else if (fs::is_regular_file(child))
        addFile(child, sub, item);
    }
  }

  void addFile(const fs::path& source, const std::vector<std::string>& parts,
               const FileItem& item) {
    const std::string target = joinTarget(parts);
    if (!files_.insert(lower(target)).second)
      throw ManifestError(m_.file.string() + ": " + target + ": added twice");
    std::vector<std::string> folder(parts.begin(), parts.end() - 1);
    std::vector<ArchiveEntry>& siblings = folderAt(folder);
    ArchiveEntry e;
    e.name = parts.back();
    e.content = readFile(source, target);
    if (progress_) *progress_ << "  " << target << " (" << e.content.size() << " bytes)\n";
    // Movies are enciphered; help files, cursors and programs are opened by
    // other modules and stay plain.
    const bool movie = lower(pathToUtf8(source.extension())) == ".swf" ||
                       lower(target) == lower(joinTarget(splitTarget(m_.mainMovie)));
    siblings.push_back(std::move(e));
    if (item.encipher.value_or(movie && m_.protectMovies)) toEncipher_.insert(lower(target));
  }

  void encipher(std::vector<ArchiveEntry>& level, const std::string& prefix,
                const container::CipherKey& key) {
    for (ArchiveEntry& e : level) {
      const std::string target = prefix.empty() ? e.name : prefix + "/" + e.name;
      if (e.folder) {
        encipher(e.children, target, key);
      } else if (toEncipher_.count(lower(target))) {
        e.content = container::protectContent(key, nonceFor(key, target, e.content), e.content);
      }
    }
  }

  std::vector<ArchiveEntry>& folderAt(const std::vector<std::string>& parts) {
    std::vector<ArchiveEntry>* level = &root_;
    for (const std::string& p : parts) {
      auto it = std::find_if(level->begin(), level->end(),
                             [&](const ArchiveEntry& e) { return lower(e.name) == lower(p); });
      if (it == level->end()) {
        ArchiveEntry folder;
        folder.name = p;
        folder.folder = true;
        level->push_back(std::move(folder));
        it = level->end() - 1;
      } else if (!it->folder) {
        throw ManifestError(m_.file.string() + ": " + p + ": both a file and a folder");
      }
      level = &it->children;
    }
    return *level;
  }

  const Manifest& m_;
  std::ostream* progress_;
  std::vector<ArchiveEntry> root_;
  std::set<std::string> files_;
  std::set<std::string> toEncipher_; // lower-cased archive paths
};

std::string withoutCarriageReturns(std::string_view text) {
  std::string out;
  for (char c : text)
    if (c != '\r') out += c;
  return out;
}

// A script resource: a compiled module as it is, or a source compiled here.
Bytes scriptModule(const Manifest& m, const fs::path& path, const std::string& name, std::ostream* log) {
  const std::string where = m.file.string() + ": scripts." + name + ": " + path.string();
  if (lower(path.extension().string()) == ".qvs") {
    auto source = script::compiler::ScriptStream::openFile(path.string());
    if (!source) throw std::runtime_error(path.string() + ": cannot be read (script " + name + ")");
    script::compiler::ModuleWriteOptions write;
    write.random = moduleFiller(readFile(path, "script " + name));
    script::compiler::CompileResult r = script::compiler::compileModule(*source, 0, write);
    if (!r.module) throw ManifestError(where + ": does not compile:\n" + withoutCarriageReturns(r.messages));
    if (log && !r.messages.empty()) *log << where << ":\n" << withoutCarriageReturns(r.messages);
    return std::move(*r.module);
  }
  Bytes data = readFile(path, "script " + name);
  if (!script::compiler::ModuleImage::read(data))
    throw ManifestError(where + " is not a compiled script module");
  return data;
}

void writeWhole(const fs::path& output, const Bytes& image, const Bytes& archive) {
  const fs::path temp = output.string() + ".partial";
  if (output.has_parent_path()) {
    std::error_code ec;
    fs::create_directories(output.parent_path(), ec);
  }
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error(output.string() + ": cannot be written");
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    out.write(reinterpret_cast<const char*>(archive.data()),
              static_cast<std::streamsize>(archive.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(temp, ignored);
      throw std::runtime_error(output.string() + ": write error");
    }
  }
  std::error_code ec;
  fs::rename(temp, output, ec);
  if (ec) {
    fs::remove(temp, ec);
    throw std::runtime_error(output.string() + ": cannot be replaced");
  }
}

Resource resource(const char16_t* type, const std::string& name, Bytes data) {
  return Resource{ResourceId::name(type), ResourceId::name(utf8ToUtf16(name)), 0, std::move(data)};
}

} // namespace

void pack(const Manifest& m, const PackOptions& options) {
  std::ostream* log = options.progress;
  const Bytes runtime = readFile(options.runtime, "runtime");

  if (log) *log << "archive:\n";
  ArchiveBuilder archive(m, log);
  for (std::size_t i = 0; i < m.files.size(); ++i)
    archive.add(m.files[i], "files[" + std::to_string(i) + "]");
  if (!m.mainMovie.empty() && !archive.contains(m.mainMovie))
    throw ManifestError(m.file.string() + ": movie.main: \"" + m.mainMovie +
                        "\" is not among the archive's files");
  if (m.flashPlayerInstaller && !archive.contains(*m.flashPlayerInstaller))
    throw ManifestError(m.file.string() + ": flashPlayer: \"" + *m.flashPlayerInstaller +
                        "\" is not among the archive's files");

  container::CipherKey key{};
  container::MovieRecord movie;
  movie.kind = m.movieKind;
  movie.mainMovie = m.mainMovie;
  if (archive.anyEnciphered()) {
    key = cipherKeyFor(archive.plainTree());
    movie.protection = container::protectionFieldFor(key);
  }
  const std::vector<ArchiveEntry> tree = archive.finish(key);

  std::vector<Resource> resources;
  const Bytes settings = container::writeSettings(m.settings, encodeUtf8);
  const container::Digest stamp = container::md5(settings);
  resources.push_back(resource(u"PLUMEX", "ST", container::packBlock(settings)));
  resources.push_back(resource(u"PLUMEX", "CS", Bytes(stamp.begin(), stamp.end())));
  resources.push_back(resource(
      u"PLUMEX", "ML", container::packBlock(container::writeMovieRecord(movie, encodeUtf8))));

  if (!m.masks.empty()) {
    std::vector<container::Mask> masks;
    for (const MaskItem& item : m.masks) {
      if (!container::isSafeFileName(item.name))
        throw ManifestError(m.file.string() + ": masks: \"" + item.name +
                            "\" cannot be a file name");
      masks.push_back({item.name, item.file ? readFile(*item.file, "mask " + item.name) : Bytes()});
    }
    resources.push_back(resource(
        u"PLUMEX", "RG", container::packBlock(container::writeMaskList(masks, encodeUtf8))));
  }
  if (m.aboutBitmap)
    resources.push_back(resource(u"PLUMEX", "BK",
                                 container::packBlock(readFile(*m.aboutBitmap, "aboutBitmap"))));
  if (m.flashPlayerInstaller) {
    Bytes record(276, 0);
    const std::string ansi = utf16ToAnsi(utf8ToUtf16(*m.flashPlayerInstaller));
    std::copy_n(ansi.begin(), std::min<std::size_t>(ansi.size(), 259), record.begin() + 16);
    resources.push_back(resource(u"PLUMEX", "FP", std::move(record)));
  }
  const container::Guid appId = m.appId ? *m.appId : derivedAppId(m.settings);
  std::string identity = m.registryKey;
  if (m.profile) identity += "/" + *m.profile;
  resources.push_back(
      resource(u"PLUMEX", "ID", container::writeIdentity(utf8ToUtf16(identity), appId)));

  for (const auto& [name, path] : m.scripts)
    resources.push_back(resource(u"QUORV", name, container::packBlock(scriptModule(m, path, name, log))));
  for (const auto& [name, path] : m.menus)
    resources.push_back(resource(u"MENUS", name, container::packBlock(readFile(path, "menu " + name))));

  Bytes image;
  try {
    image = container::addResources(runtime, resources);
  } catch (const container::PeError& e) {
    throw std::runtime_error(options.runtime.string() + ": " + e.what());
  }
  const Bytes appended = container::writeArchive(tree, encodeUtf8);
  container::setTimeStamp(image, options.timeStamp ? *options.timeStamp : derivedTimeStamp(image, appended));
  if (log) *log << "writing " << options.output.string() << " (" << image.size() + appended.size()
                << " bytes)\n";
  writeWhole(options.output, image, appended);
}

} // namespace plumex::pack
