#include "container/container_errors.h"

namespace plumex::container {

std::string CZipException::messageFor(int zlibCode) {
  switch (zlibCode) {
  case -5: return "There was not enough room in the compress(uncompress) output buffer";
  case -4: return "There was not enough memory for compress(uncompress)";
  case -3: return "The compress(uncompress) input data was corrupted";
  case -2: return "The compress level parameter is invalid";
  default: return "Compression or uncompression failed";
  }
}

} // namespace plumex::container
