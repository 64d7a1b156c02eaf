#pragma once
// What a package would otherwise take from chance or the clock, derived
// from its inputs instead: the same manifest and files give the same bytes
// on any machine and in either build of the packager.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "container/archive.h"
#include "container/chacha20.h"
#include "container/records.h"
#include "container/settings_record.h"

namespace plumex::pack {

// The cipher key: a digest of every file of the archive (path and content,
// before enciphering).
container::CipherKey cipherKeyFor(const std::vector<container::ArchiveEntry>& plainTree);

// The nonce of one enciphered file: a keyed digest of its archive path and
// content, so two files of a package share one only if both are the same.
container::CipherNonce nonceFor(const container::CipherKey& key, std::string_view archivePath,
                                std::span<const std::uint8_t> content);

// The application GUID when the manifest gives none: a name-based UUID
// (version 8, SHA-256) of the company, product and version names, so a
// rebuild of one application keeps its GUID.
container::Guid derivedAppId(const container::SettingsRecord& settings);

// The PE time stamp when SOURCE_DATE_EPOCH is not set: a digest of the
// packaged image (its stamp and checksum as zero) and the archive. Not a
// time: a build identity that changes whenever the package does.
std::uint32_t derivedTimeStamp(std::span<const std::uint8_t> image,
                               std::span<const std::uint8_t> archive);

// SOURCE_DATE_EPOCH: nullopt when unset or empty; throws
// std::invalid_argument for anything but whole seconds that fit the 32-bit
// PE field.
std::optional<std::uint32_t> sourceDateEpoch(const char* value);

// The filler bits of a compiled module's directory words, drawn from the
// script's source.
std::function<std::uint32_t()> moduleFiller(std::span<const std::uint8_t> source);

} // namespace plumex::pack
