#pragma once
// A minimal PNG encoder (8-bit RGB, no interlace) for screenshots taken by
// the test tools.

#include <cstdint>
#include <string>
#include <vector>

namespace plumex::testing {

// rgb holds width*height*3 bytes, rows top to bottom.
std::vector<std::uint8_t> encodePng(int width, int height, const std::vector<std::uint8_t>& rgb);

bool writePngFile(const std::string& path, int width, int height,
                  const std::vector<std::uint8_t>& rgb);

} // namespace plumex::testing
