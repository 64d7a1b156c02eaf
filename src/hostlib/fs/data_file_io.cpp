#include "hostlib/fs/data_file_io.h"

#include <cstdint>
#include <optional>

#include "hostlib/fs/data_file.h"
#include "hostlib/streams/replace_file.h"
#include "platform/files.h"

namespace plumex::hostlib::fs {
namespace {

std::optional<std::string> readWhole(const std::string& path) {
  InputFile file;
  if (!fileExists(path) || !file.open(path)) return std::nullopt;
  std::string text(static_cast<std::size_t>(file.size()), '\0');
  if (!file.readExactly(text.data(), text.size())) return std::nullopt;
  return text;
}

} // namespace

bool saveDataFile(script::Engine& engine, const std::string& path, std::span<const std::string> names) {
  IniDocument doc;
  if (fileExists(path)) {
    const auto text = readWhole(path);
    if (!text) return false;
    doc = IniDocument::parse(*text);
  }
  if (!saveVariables(engine, doc, names)) return false;
  const std::string text = doc.text();
  return streams::replaceFile(path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

bool loadDataFile(script::Engine& engine, const std::string& path) {
  const auto text = readWhole(path);
  if (!text) return false;
  loadVariables(engine, IniDocument::parse(*text));
  return true;
}

} // namespace plumex::hostlib::fs
