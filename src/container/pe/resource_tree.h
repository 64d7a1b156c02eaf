#pragma once

// The resource directory tree (type, name, language) in its on-disk form:
// reading it with bounds checks, and writing a complete new one.

#include "container/pe/pe_resources.h"

#include <functional>
#include <map>

namespace plumex::container::pe {

// Ordered as the loader's binary search expects: the maps' order is the
// directory order.
using ResourceTree =
    std::map<ResourceId, std::map<ResourceId, std::map<std::uint16_t, std::vector<std::uint8_t>>>>;

// Maps a data entry's RVA and size to the bytes, or throws PeError.
using DataLocator = std::function<std::span<const std::uint8_t>(std::uint32_t rva, std::uint32_t size)>;

// directory: the bytes from the root directory to the end of its section.
std::vector<Resource> parseResourceTree(std::span<const std::uint8_t> directory, const DataLocator& dataAt);

// A resource section to be loaded at rva; data entries hold RVAs.
std::vector<std::uint8_t> buildResourceTree(const ResourceTree& tree, std::uint32_t rva);

}  // namespace plumex::container::pe
