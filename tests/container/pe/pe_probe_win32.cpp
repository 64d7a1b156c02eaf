// Run by pe_loader_test after resources were added to a copy of it: the exit
// code tells what the loader found in the running image.
//   1  the added resource PLUMEX/PROBE is missing
//   2  the probe's original resource is missing or changed
//   otherwise the first byte of PLUMEX/PROBE
#include <windows.h>

#include <cstring>

namespace {

const unsigned char* resource(const wchar_t* type, const wchar_t* name, DWORD& size) {
  HRSRC found = FindResourceW(nullptr, name, type);
  if (found == nullptr) return nullptr;
  size = SizeofResource(nullptr, found);
  return static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, found)));
}

}  // namespace

int main() {
  DWORD size = 0;
  const unsigned char* original = resource(MAKEINTRESOURCEW(10), L"probe_original", size);
  if (original == nullptr || size != 6 || std::memcmp(original, "probe", 6) != 0) return 2;
  const unsigned char* added = resource(L"Plumex", L"Probe", size);
  if (added == nullptr || size == 0) return 1;
  return added[0];
}
