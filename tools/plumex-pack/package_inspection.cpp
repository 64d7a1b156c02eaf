#include "package_inspection.h"

#include <iomanip>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "container/archive_listing.h"
#include "container/container_errors.h"
#include "container/digest.h"
#include "container/packed_block.h"
#include "container/pe/pe_image.h"
#include "container/pe/pe_resources.h"
#include "container/records.h"
#include "container/settings_record.h"
#include "manifest_fields.h"
#include "platform/ansi_text.h"
#include "utf8.h"

namespace plumex::pack {
namespace {

using Bytes = std::vector<std::uint8_t>;
using container::Resource;
using container::ResourceId;

std::string utf8Decoder(std::u16string_view text) { return utf16ToUtf8(text); }

std::string idText(const ResourceId& id) {
  return id.isNumber() ? "#" + std::to_string(id.id()) : utf16ToUtf8(id.text());
}

// The resources the packager adds, and the archive after the last section.
struct Package {
  std::vector<Resource> resources;
  std::span<const std::uint8_t> image;
  std::span<const std::uint8_t> archive;

  const Resource* find(const char16_t* type, const char16_t* name) const {
    for (const Resource& r : resources)
      if (r.type == ResourceId::name(type) && r.name == ResourceId::name(name)) return &r;
    return nullptr;
  }
};

Package open(std::span<const std::uint8_t> exe) {
  Package p;
  try {
    for (Resource& r : container::readResources(exe))
      if (r.type == ResourceId::name(u"PLUMEX") || r.type == ResourceId::name(u"QUORV") ||
          r.type == ResourceId::name(u"MENUS"))
        p.resources.push_back(std::move(r));
    const std::uint32_t end = container::endOfLastSection(exe);
    p.image = exe.first(end);
    p.archive = exe.subspan(end);
  } catch (const container::PeError& e) {
    throw std::runtime_error(std::string("not a Windows executable: ") + e.what());
  }
  return p;
}

// Every type "PLUMEX" resource but three is a packed block; scripts and
// menus are.
bool isPacked(const Resource& r) {
  if (r.type != ResourceId::name(u"PLUMEX")) return true;
  return r.name != ResourceId::name(u"CS") && r.name != ResourceId::name(u"ID") &&
         r.name != ResourceId::name(u"FP");
}

// Unpacked bytes, or the reason they cannot be had.
struct Unpacked {
  std::optional<Bytes> data;
  std::string error;
};

Unpacked unpack(const Resource& r) {
  try {
    return {container::unpackBlock(r.data), {}};
  } catch (const std::exception& e) {
    return {std::nullopt, e.what()};
  }
}

std::string label(const Resource& r) { return idText(r.type) + "/" + idText(r.name); }

} // namespace

bool listPackage(std::span<const std::uint8_t> exe, std::ostream& out) {
  const Package p = open(exe);
  std::vector<std::string> problems;
  nlohmann::ordered_json fields = nlohmann::ordered_json::object();

  if (const Resource* id = p.find(u"PLUMEX", u"ID")) {
    if (const auto identity = container::readIdentity(id->data, utf8Decoder))
      fields["identity"] = identityFields(*identity);
    else
      problems.push_back("PLUMEX/ID: damaged (its digest does not match)");
  } else {
    problems.push_back("PLUMEX/ID: missing");
  }
  auto record = [&](const char16_t* name, const char* field, auto read) {
    const Resource* r = p.find(u"PLUMEX", name);
    if (!r) return;
    const Unpacked u = unpack(*r);
    try {
      if (!u.data) throw std::runtime_error(u.error);
      fields[field] = read(*u.data);
    } catch (const std::exception& e) {
      problems.push_back(label(*r) + ": cannot be read (" + e.what() + ")");
    }
  };
  record(u"ST", "settings", [](const Bytes& b) { return settingsFields(container::readSettings(b, utf8Decoder)); });
  record(u"ML", "movie", [](const Bytes& b) { return movieFields(container::readMovieRecord(b, utf8Decoder)); });
  if (const Resource* fp = p.find(u"PLUMEX", u"FP"); fp && fp->data.size() == 276) {
    const std::string ansi(fp->data.begin() + 16, std::find(fp->data.begin() + 16, fp->data.end(), 0));
    fields["flashPlayer"] = utf16ToUtf8(ansiToUtf16(ansi));
  }
  out << "manifest fields:\n"
      << fields.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";

  out << "resources:\n";
  for (const Resource& r : p.resources) {
    out << "  " << std::left << std::setw(24) << label(r) << std::right << std::setw(10) << r.data.size()
        << " bytes";
    if (isPacked(r)) {
      const Unpacked u = unpack(r);
      if (u.data)
        out << ", packed (" << u.data->size() << " unpacked)";
      else
        problems.push_back(label(r) + ": does not unpack (" + u.error + ")");
    }
    out << "\n";
  }

  const container::ArchiveListing listing = container::listArchive(p.archive, utf8Decoder);
  out << "archive:\n";
  for (const container::ListedEntry& e : listing.entries) {
    out << "  " << std::left << std::setw(40) << e.path << std::right;
    if (e.folder) {
      out << "  folder\n";
      continue;
    }
    out << std::setw(10) << e.size << " bytes (" << e.storedSize << " stored)  "
        << (e.enciphered ? "enciphered" : "plain") << "\n";
    if (!e.damage.empty()) problems.push_back(e.path + ": " + e.damage);
  }
  if (!listing.damage.empty()) problems.push_back("archive: " + listing.damage);

  for (const std::string& problem : problems) out << "damaged: " << problem << "\n";
  return problems.empty();
}

bool verifyPackage(std::span<const std::uint8_t> exe, std::ostream& out) {
  const Package p = open(exe);
  int damaged = 0;
  auto report = [&](const std::string& what, const std::string& damage) {
    out << what << ": " << (damage.empty() ? "ok" : "damaged (" + damage + ")") << "\n";
    if (!damage.empty()) ++damaged;
  };

  const Resource* id = p.find(u"PLUMEX", u"ID");
  report("PLUMEX/ID", !id ? "missing"
                          : container::readIdentity(id->data) ? ""
                                                               : "its digest does not match");
  std::optional<Bytes> settings;
  for (const Resource& r : p.resources) {
    if (!isPacked(r)) continue;
    const Unpacked u = unpack(r);
    report(label(r), u.data ? "" : "does not unpack: " + u.error);
    if (r.type == ResourceId::name(u"PLUMEX") && r.name == ResourceId::name(u"ST")) settings = u.data;
  }
  if (const Resource* stamp = p.find(u"PLUMEX", u"CS")) {
    const bool matches =
        settings && stamp->data.size() == 16 && container::md5(*settings) == container::toDigest(stamp->data);
    report("PLUMEX/CS", matches ? "" : "does not match the settings");
  }

  // The checksum the packager wrote covers the image up to the archive.
  Bytes image(p.image.begin(), p.image.end());
  const container::pe::Headers headers = container::pe::parseHeaders(image);
  const std::uint32_t stored = container::pe::read32(image, headers.checksumField());
  container::pe::write32(image, headers.checksumField(), 0);
  report("image checksum", stored == container::pe::checksum(image) ? "" : "does not match");

  const container::ArchiveListing listing = container::listArchive(p.archive, utf8Decoder);
  for (const container::ListedEntry& e : listing.entries)
    if (!e.folder) report(e.path, e.damage);
  report("archive", listing.damage);

  if (damaged == 0)
    out << "no damage found\n";
  else
    out << damaged << " damaged\n";
  return damaged == 0;
}

} // namespace plumex::pack
