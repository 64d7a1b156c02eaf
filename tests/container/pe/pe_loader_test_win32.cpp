// The Windows loader is the judge of what addResources writes: images are
// loaded as data files and searched with FindResource, and a probe program
// with added resources must still start and find them.
#include "container/pe/pe_resources.h"

#include <windows.h>
#include <imagehlp.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace plumex::container {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::wstring ownPath() {
  std::wstring path(MAX_PATH, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path;
}

std::wstring besideOwnPath(const std::wstring& file) {
  const std::wstring own = ownPath();
  return own.substr(0, own.find_last_of(L"\\/") + 1) + file;
}

Bytes readFile(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// A file in the temporary folder, deleted when done with.
class TempFile {
 public:
  TempFile(const wchar_t* suffix, const Bytes& contents) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    static int counter = 0;
    path_ = std::wstring(folder) + L"plumex_pe_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
            std::to_wstring(++counter) + suffix;
    std::ofstream out(std::filesystem::path(path_), std::ios::binary);
    out.write(reinterpret_cast<const char*>(contents.data()), static_cast<std::streamsize>(contents.size()));
  }
  ~TempFile() { DeleteFileW(path_.c_str()); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

struct ModuleFree {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using Module = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFree>;

struct HandleClose {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleClose>;

std::wstring wide(const ResourceId& id) { return std::wstring(id.text().begin(), id.text().end()); }

// Swaps the case of ASCII letters and lower-cases the others we know, so a
// lookup only succeeds when stored names are upper-case as the loader expects.
std::wstring mixedCase(std::wstring text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    wchar_t& c = text[i];
    if (i % 2 == 0 && c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 0x20);
    if (c == L'\u00C9' || c == L'\u0416') c = static_cast<wchar_t>(c + 0x20);
  }
  return text;
}

std::string describe(const ResourceId& id) {
  if (id.isNumber()) return std::to_string(id.id());
  return std::string(id.text().begin(), id.text().end());
}

// FindResource takes an ID as a pseudo-pointer (MAKEINTRESOURCE) or a text.
class Lookup {
 public:
  explicit Lookup(const ResourceId& id, bool mixCase = false)
      : text_(id.isNumber() ? L"" : (mixCase ? mixedCase(wide(id)) : wide(id))),
        pointer_(id.isNumber() ? MAKEINTRESOURCEW(id.id()) : text_.c_str()) {}
  const wchar_t* get() const { return pointer_; }

 private:
  std::wstring text_;
  const wchar_t* pointer_;
};

// exactLanguage false: FindResource's own choice of language, as the runtime looks up.
void expectResource(HMODULE module, const Resource& r, bool mixCase, bool exactLanguage) {
  SCOPED_TRACE(describe(r.type) + "/" + describe(r.name) + " lang " + std::to_string(r.language));
  const Lookup type(r.type, mixCase);
  const Lookup name(r.name, mixCase);
  HRSRC found = exactLanguage ? FindResourceExW(module, type.get(), name.get(), r.language)
                              : FindResourceW(module, name.get(), type.get());
  ASSERT_NE(found, nullptr);
  ASSERT_EQ(SizeofResource(module, found), r.data.size());
  if (r.data.empty()) return;
  const void* data = LockResource(LoadResource(module, found));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::memcmp(data, r.data.data(), r.data.size()), 0);
}

Bytes pattern(std::size_t size, std::uint8_t seed) {
  Bytes b(size);
  for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 13 + i / 256);
  return b;
}

Bytes text(std::string_view s) { return Bytes(s.begin(), s.end()); }

std::vector<Resource> packagerLikeResources() {
  const auto name = [](std::u16string_view s) { return ResourceId::name(s); };
  const auto number = [](std::uint16_t n) { return ResourceId::number(n); };
  return {
      {name(u"PLUMEX"), name(u"ST"), 0, text("settings")},
      {name(u"PLUMEX"), name(u"CS"), 0, pattern(100 * 1024, 1)},
      {name(u"PLUMEX"), number(7), 0x407, text("beside the program's own 7 in another language")},
      {name(u"Quorv"), name(u"INITIALIZE"), 0, pattern(4097, 2)},
      {name(u"QUORV"), name(u"AfterInstall"), 0, {0x5A}},
      {name(u"QUORV"), name(u"caf\u00E9\u0436"), 0, text("non-ASCII name")},
      {name(u"QUORV"), name(u"EMPTY"), 0, {}},
      {number(300), number(1), 0, pattern(3, 3)},
      {number(10), name(u"Zeta"), 0, pattern(17, 4)},
  };
}

TEST(PeLoader, FindsAddedAndOriginalResources) {
  const Bytes original = readFile(ownPath());
  ASSERT_FALSE(original.empty());
  const std::vector<Resource> own = readResources(original);
  ASSERT_GE(own.size(), 3u);  // ORIGINAL, PLUMEX/7 and the string table at least

  const std::vector<Resource> added = packagerLikeResources();
  const Bytes written = addResources(original, added);
  EXPECT_EQ(endOfLastSection(written), written.size());
  const TempFile file(L".dll", written);

  const Module module(LoadLibraryExW(file.path().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_NE(module, nullptr) << "error " << GetLastError();
  for (const Resource& r : added) {
    expectResource(module.get(), r, false, true);
    expectResource(module.get(), r, true, true);
    if (r.language == 0) expectResource(module.get(), r, true, false);
  }
  for (const Resource& r : own) expectResource(module.get(), r, false, true);

  wchar_t string[64] = {};
  ASSERT_GT(LoadStringW(module.get(), 101, string, 64), 0);
  EXPECT_STREQ(string, L"a string of the test program");
}

TEST(PeLoader, ChecksumMatchesTheSystemsSum) {
  const Bytes written = addResources(readFile(ownPath()), packagerLikeResources());
  Bytes copy = written;
  DWORD inHeader = 0;
  DWORD computed = 0;
  ASSERT_NE(CheckSumMappedFile(copy.data(), static_cast<DWORD>(copy.size()), &inHeader, &computed), nullptr);
  EXPECT_EQ(inHeader, computed);
  EXPECT_NE(computed, 0u);
}

// Starts an executable and gives its exit code.
DWORD run(const std::wstring& path) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::wstring commandLine = L"\"" + path + L"\"";
  if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    ADD_FAILURE() << "CreateProcess failed with error " << GetLastError();
    return 0xFFFFFFFF;
  }
  const Handle process(info.hProcess);
  const Handle thread(info.hThread);
  if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 0xDEAD);
    ADD_FAILURE() << "probe did not finish";
  }
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  return code;
}

TEST(PeLoader, ExecutableWithAddedResourcesStillRuns) {
  const Bytes probe = readFile(besideOwnPath(L"pe_probe.exe"));
  ASSERT_FALSE(probe.empty());
  const TempFile unchanged(L".exe", probe);
  EXPECT_EQ(run(unchanged.path()), 1u) << "the probe finds a resource nobody added";

  std::vector<Resource> added = packagerLikeResources();
  added.push_back({ResourceId::name(u"PLUMEX"), ResourceId::name(u"PROBE"), 0, {42, 1, 2}});
  const TempFile changed(L".exe", addResources(probe, added));
  EXPECT_EQ(run(changed.path()), 42u);

  // Adding again to the written image replaces the last section in place.
  const Bytes once = readFile(changed.path());
  const TempFile twice(L".exe", addResources(once, {{ResourceId::name(u"PLUMEX"), ResourceId::name(u"PROBE"), 0, {7}}}));
  EXPECT_EQ(run(twice.path()), 7u);
}

}  // namespace
}  // namespace plumex::container
