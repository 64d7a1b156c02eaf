// Reproducible packages: the same manifest and files give the same bytes,
// wherever the project lies and whatever its files' times.

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <chrono>

#include "container/packed_block.h"
#include "container/pe/pe_resources.h"
#include "container/protected_file.h"
#include "container/records.h"
#include "packager_fixture.h"
#include "reproducible.h"

namespace plumex::pack {
namespace {

namespace fs = std::filesystem;
using plumex::testing::Bytes;
using Reproducible = PackagerTest;

// The inflated content of the archive entry named `name` (a name that
// occurs once in the package).
Bytes entryContent(const Bytes& exe, const std::u16string& name) {
  Bytes pattern;
  for (std::uint32_t v : {static_cast<std::uint32_t>(name.size() + 1)})
    for (int i = 0; i < 4; ++i) pattern.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  for (char16_t c : name + u'\0') pattern.push_back(static_cast<std::uint8_t>(c)), pattern.push_back(static_cast<std::uint8_t>(c >> 8));
  const auto at = std::search(exe.begin(), exe.end(), pattern.begin(), pattern.end());
  if (at == exe.end()) return {};
  const std::size_t sizeAt = static_cast<std::size_t>(at - exe.begin()) + pattern.size();
  const std::uint32_t size = plumex::testing::get32(exe, sizeAt);
  Bytes out(1 << 20);
  uLongf outSize = static_cast<uLongf>(out.size());
  if (uncompress(out.data(), &outSize, exe.data() + sizeAt + 4, size - 4) != Z_OK) return {};
  out.resize(outSize);
  return out;
}

std::map<std::u16string, Bytes> plumexResources(const Bytes& exe) {
  std::map<std::u16string, Bytes> out;
  for (const container::Resource& r : container::readResources(exe))
    if (r.type == container::ResourceId::name(u"PLUMEX")) out[r.name.text()] = r.data;
  return out;
}

container::Guid appIdOf(const Bytes& exe) {
  const auto identity = container::readIdentity(plumexResources(exe)[u"ID"]);
  return identity ? identity->appId : container::Guid{};
}

void copyWithOtherTimes(const fs::path& from, const fs::path& to, fs::file_time_type time) {
  fs::create_directories(to);
  fs::copy(from, to, fs::copy_options::recursive);
  for (const auto& e : fs::recursive_directory_iterator(to)) fs::last_write_time(e.path(), time);
  fs::last_write_time(to, time);
}

TEST_F(Reproducible, TheExampleGivesTheSameBytesFromAnyCopyAtAnyTime) {
  const fs::path example = PLUMEX_EXAMPLES_DIR "/hello";
  const auto now = fs::file_time_type::clock::now();
  copyWithOtherTimes(example, dir_ / "one", now - std::chrono::hours(24 * 400));
  copyWithOtherTimes(example, dir_ / "elsewhere/deeper/two", now + std::chrono::hours(3));

  ASSERT_EQ(packManifest("one/hello.json", "first.exe"), "");
  ASSERT_EQ(packManifest("one/hello.json", "again.exe"), "");
  ASSERT_EQ(packManifest("elsewhere/deeper/two/hello.json", "copy.exe"), "");
  const Bytes first = readFile(dir_ / "first.exe");
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(readFile(dir_ / "again.exe"), first);
  EXPECT_EQ(readFile(dir_ / "copy.exe"), first);
  // The example's movie is enciphered: the key and nonces are part of what
  // must not vary.
  EXPECT_TRUE(container::startsWithProtectedMarker(entryContent(first, u"hello.swf")));

  // Another file content gives another package, time stamp included.
  writeFile(dir_ / "one/readme.txt", "changed");
  ASSERT_EQ(packManifest("one/hello.json", "changed.exe"), "");
  const Bytes changed = readFile(dir_ / "changed.exe");
  EXPECT_NE(changed, first);
  EXPECT_NE(container::timeStamp(changed), container::timeStamp(first));
}

TEST_F(Reproducible, ScriptsMasksAndFoldersToo) {
  writeFile(dir_ / "init.qvs", "function start() { return 1; }\nstart();\n");
  writeFile(dir_ / "shape.msk", "mask bytes");
  for (const char* name : {"b.txt", "a.txt", "C.txt", "\xc3\xa9.txt", "z/y.txt"}) writeFile(dir_ / "folder" / name, name);
  const std::string json = R"({
    "identity": { "registryKey": "k" },
    "movie": { "main": "movies/main.swf" },
    "files": [ { "source": "movies", "target": "movies" }, { "source": "folder", "target": "" } ],
    "masks": [ { "name": "shape", "file": "shape.msk" } ],
    "scripts": { "INITIALIZE": "init.qvs" } })";
  writeFile(dir_ / "app.json", json);
  ASSERT_EQ(packManifest("app.json", "1.exe"), "");
  ASSERT_EQ(packManifest("app.json", "2.exe"), "");
  EXPECT_EQ(readFile(dir_ / "1.exe"), readFile(dir_ / "2.exe"));
}

TEST_F(Reproducible, TheTimeStampIsSourceDateEpochWhenGiven) {
  writeFile(dir_ / "app.json", R"({ "identity": { "registryKey": "k" } })");
  ASSERT_EQ(packManifest("app.json", "derived.exe"), "");
  ASSERT_EQ(packManifest("app.json", "given.exe", 1700000000u), "");
  const Bytes given = readFile(dir_ / "given.exe");
  EXPECT_EQ(container::timeStamp(given), 1700000000u);
  EXPECT_NE(container::timeStamp(readFile(dir_ / "derived.exe")), 1700000000u);

  struct Case {
    const char* value;
    std::optional<std::uint32_t> expected;
    bool valid;
  };
  const Case cases[] = {{nullptr, std::nullopt, true}, {"", std::nullopt, true},
                        {"0", 0u, true},               {"4294967295", 4294967295u, true},
                        {"4294967296", {}, false},     {"-1", {}, false},
                        {"12a", {}, false},            {" 12", {}, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value ? c.value : "unset");
    if (c.valid)
      EXPECT_EQ(sourceDateEpoch(c.value), c.expected);
    else
      EXPECT_THROW(sourceDateEpoch(c.value), std::invalid_argument);
  }
}

TEST_F(Reproducible, SameContentUnderTwoNamesGetsTwoNonces) {
  writeFile(dir_ / "a.swf", "the same movie");
  writeFile(dir_ / "b.swf", "the same movie");
  ASSERT_EQ(packJson(R"({ "identity": { "registryKey": "k" },
                          "files": [ { "source": "a.swf" }, { "source": "b.swf" } ] })"),
            "");
  const Bytes exe = readFile(dir_ / "out.exe");
  const Bytes a = entryContent(exe, u"a.swf"), b = entryContent(exe, u"b.swf");
  ASSERT_TRUE(container::startsWithProtectedMarker(a));
  ASSERT_TRUE(container::startsWithProtectedMarker(b));
  const Bytes nonceA(a.end() - 16, a.end() - 4), nonceB(b.end() - 16, b.end() - 4);
  EXPECT_NE(nonceA, nonceB);
  EXPECT_NE(a, b);
  // Both still open with the key of the movie record, to the same plaintext.
  const auto movie = container::readMovieRecord(container::unpackBlock(plumexResources(exe)[u"ML"]));
  const auto key = container::keyFromProtectionField(movie.protection);
  ASSERT_TRUE(key);
  for (const Bytes* file : {&a, &b}) {
    const auto reader = container::ProtectedReader::open(*key, *file);
    ASSERT_TRUE(reader);
    Bytes plain(reader->size());
    reader->read(0, plain);
    EXPECT_EQ(std::string(plain.begin(), plain.end()), "the same movie");
  }
}

TEST_F(Reproducible, TheIdentityIsGivenOrDerivedFromTheNames) {
  struct Case {
    const char* what;
    std::string identity, version, file;
  };
  const std::string names = R"({ "companyName": "Acme", "productName": "Hello", "version": "1.0" })";
  const Case cases[] = {
      {"derived", R"({ "registryKey": "k" })", names, "one"},
      {"derived, other files and key", R"({ "registryKey": "other" })", names, "two"},
      {"derived, other version", R"({ "registryKey": "k" })",
       R"({ "companyName": "Acme", "productName": "Hello", "version": "1.1" })", "one"},
      {"derived, names moved between fields", R"({ "registryKey": "k" })",
       R"({ "companyName": "AcmeHello", "productName": "", "version": "1.0" })", "one"},
      {"given", R"({ "registryKey": "k", "guid": "{00112233-4455-6677-8899-AABBCCDDEEFF}" })", names, "one"},
  };
  std::vector<container::Guid> ids;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeFile(dir_ / "notes.txt", c.file);
    ASSERT_EQ(packJson(R"({ "identity": )" + c.identity + R"(, "settings": { "version": )" + c.version +
                       R"( }, "files": [ { "source": "notes.txt" } ] })"),
              "");
    ids.push_back(appIdOf(readFile(dir_ / "out.exe")));
  }
  // Rebuilds keep the derived GUID; other names give another one.
  EXPECT_EQ(ids[0], ids[1]);
  EXPECT_NE(ids[0], ids[2]);
  EXPECT_NE(ids[0], ids[3]);
  EXPECT_NE(ids[2], ids[3]);
  EXPECT_EQ(container::formatGuid(ids[4]), "{00112233-4455-6677-8899-AABBCCDDEEFF}");
  // A name-based UUID: version 8, variant 10.
  const std::string text = container::formatGuid(ids[0]);
  EXPECT_EQ(text[15], '8') << text;
  EXPECT_NE(std::string("89AB").find(text[20]), std::string::npos) << text;
}

} // namespace
} // namespace plumex::pack
