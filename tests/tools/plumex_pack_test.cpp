// The packager: what it writes, and how it refuses bad projects without
// leaving anything behind.

#include <gtest/gtest.h>

#include "container/packed_block.h"
#include "container/pe/pe_resources.h"
#include "container/records.h"
#include "container/settings_record.h"
#include "packager_fixture.h"
#include "utf8.h"

namespace plumex::pack {
namespace {

namespace fs = std::filesystem;
using plumex::testing::Bytes;
using Packager = PackagerTest;

constexpr const char* kGood = R"({
  "identity": { "registryKey": "Tests", "profile": "App\\V1", "guid": "{00112233-4455-6677-8899-AABBCCDDEEFF}" },
  "settings": { "appearance": { "caption": "Caf\u00e9 \u4e2d" }, "misc": { "backgroundColor": "#102030" },
                "behaviour": { "bAutoPlay": true, "bAlwaysOnTop": true } },
  "movie": { "main": "movies/main.swf" },
  "files": [ { "source": "movies", "target": "movies" }, { "source": "notes.txt", "target": "docs/notes.txt" } ]
})";

TEST_F(Packager, WritesResourcesAndAppendsTheArchive) {
  ASSERT_EQ(packJson(kGood), "");
  const Bytes out = readFile(dir_ / "out.exe");
  const std::uint32_t end = container::endOfLastSection(out);
  // The runtime's overlay is gone: the archive follows the last section.
  ASSERT_LT(end, out.size());
  EXPECT_EQ(std::string(out.begin() + end, out.begin() + end + 3), "PAF");
  const std::uint32_t length = plumex::testing::get32(out, out.size() - 8);
  EXPECT_EQ(length, out.size() - 8 - end);
  EXPECT_EQ(plumex::testing::get32(out, out.size() - 4), 1u);

  std::map<std::u16string, Bytes> plumex;
  for (const container::Resource& r : container::readResources(out))
    if (r.type == container::ResourceId::name(u"PLUMEX")) plumex[r.name.text()] = r.data;
  ASSERT_TRUE(plumex.count(u"ST") && plumex.count(u"CS") && plumex.count(u"ML") && plumex.count(u"ID"));
  const Bytes settings = container::unpackBlock(plumex[u"ST"]);
  const container::SettingsRecord record = container::readSettings(settings);
  EXPECT_EQ(record.misc.backgroundColor, (std::array<std::uint8_t, 4>{0x10, 0x20, 0x30, 0}));
  EXPECT_EQ(record.behaviour.flags, 0x101u);
  // Texts are stored as UTF-16 whatever the build machine's code page.
  const std::u16string caption = u"Caf\u00e9 \u4e2d";
  const Bytes utf16(reinterpret_cast<const std::uint8_t*>(caption.data()),
                    reinterpret_cast<const std::uint8_t*>(caption.data() + caption.size()));
  EXPECT_NE(std::search(settings.begin(), settings.end(), utf16.begin(), utf16.end()), settings.end());

  const auto identity = container::readIdentity(plumex[u"ID"]);
  ASSERT_TRUE(identity);
  EXPECT_EQ(identity->registryKey, "Tests");
  EXPECT_EQ(identity->profile, "App\\V1");
  EXPECT_EQ(container::formatGuid(identity->appId), "{00112233-4455-6677-8899-AABBCCDDEEFF}");
  const auto movie = container::readMovieRecord(container::unpackBlock(plumex[u"ML"]));
  EXPECT_EQ(movie.mainMovie, "movies/main.swf");
  EXPECT_TRUE(movie.isProtected());
}

// Script sources are compiled while packaging; modules go in as they are.
TEST_F(Packager, CompilesScriptSources) {
  writeFile(dir_ / "init.qvs", "function start() { return true; }\nstart();\n");
  const Bytes module = {'#', '!', 'x', '\n', 'Q', 'S', '1', 'b', 0xFF, 0xFF, 0xFF, 0xFF};
  std::ofstream(dir_ / "hook.qsc", std::ios::binary)
      .write(reinterpret_cast<const char*>(module.data()), static_cast<std::streamsize>(module.size()));
  ASSERT_EQ(packJson(R"({ "identity": { "registryKey": "k" },
                          "scripts": { "INITIALIZE": "init.qvs", "AfterInstall": "hook.qsc" } })"),
            "");
  std::map<std::u16string, Bytes> scripts;
  for (const container::Resource& r : container::readResources(readFile(dir_ / "out.exe")))
    if (r.type == container::ResourceId::name(u"QUORV")) scripts[r.name.text()] = container::unpackBlock(r.data);
  ASSERT_EQ(scripts.size(), 2u);
  const Bytes& compiled = scripts[u"INITIALIZE"];
  ASSERT_GT(compiled.size(), 56u);
  EXPECT_EQ(std::string(compiled.begin(), compiled.begin() + 4), "QS1b");
  const std::string text(compiled.begin(), compiled.end());
  EXPECT_NE(text.find("start"), std::string::npos);
  EXPECT_EQ(scripts[u"AFTERINSTALL"].size() + scripts[u"AfterInstall"].size(), module.size());
}

TEST_F(Packager, RefusesBadProjectsNamingFileAndField) {
  struct Case {
    const char* what;
    std::string json;
    std::string expected; // part of the message after the manifest's name
  };
  const std::string files = R"("files": [ { "source": "movies", "target": "movies" } ])";
  const Case cases[] = {
      {"not JSON", "{ nope", "not valid JSON"},
      {"no identity", "{ " + files + " }", "identity: missing"},
      {"slash in key", R"({ "identity": { "registryKey": "a/b" } })", "identity.registryKey"},
      {"bad guid", R"({ "identity": { "registryKey": "k", "guid": "{1234}" } })", "identity.guid"},
      {"typo", R"({ "identity": { "registryKey": "k" }, "setings": {} })", "setings: unknown field"},
      {"wrong kind", R"({ "identity": { "registryKey": "k" }, "settings": { "appearance": { "caption": 5 } } })",
       "settings.appearance.caption: expected a text"},
      {"out of range", R"({ "identity": { "registryKey": "k" }, "settings": { "sizeAndPos": { "customWidth": 70000 } } })",
       "settings.sizeAndPos.customWidth: out of range"},
      {"too long", R"({ "identity": { "registryKey": "k" }, "settings": { "appearance": { "caption": ")" +
                       std::string(260, 'x') + R"(" } } })",
       "settings.appearance.caption: longer than 259 characters"},
      {"missing source", R"({ "identity": { "registryKey": "k" }, "files": [ { "source": "nowhere.swf" } ] })",
       "files[0].source"},
      {"unsafe target", R"({ "identity": { "registryKey": "k" }, "files": [ { "source": "notes.txt", "target": "../x" } ] })",
       "files[0].target"},
      {"main movie not packaged", R"({ "identity": { "registryKey": "k" }, "movie": { "main": "intro.swf" } })",
       "movie.main"},
      {"mask name", R"({ "identity": { "registryKey": "k" }, "masks": [ { "name": "CON" } ] })", "masks"},
      {"script not compiled", R"({ "identity": { "registryKey": "k" }, "scripts": { "INITIALIZE": "notes.txt" } })",
       "scripts.INITIALIZE"},
      {"script with an error", R"({ "identity": { "registryKey": "k" }, "scripts": { "INITIALIZE": "bad.qvs" } })",
       "scripts.INITIALIZE: " + (dir_ / "bad.qvs").string() + ": does not compile:\nerror: line 1: invalid break"},
  };
  writeFile(dir_ / "bad.qvs", "x = 1;\nbreak;\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string error = packJson(c.json);
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    EXPECT_NE(error.find("app.json"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(dir_ / "out.exe"));
  }
  for (const auto& e : fs::directory_iterator(dir_))
    EXPECT_EQ(e.path().filename().string().find(".partial"), std::string::npos);
}

TEST_F(Packager, AFailureLeavesAnEarlierOutputUntouched) {
  ASSERT_EQ(packJson(kGood), "");
  const Bytes before = readFile(dir_ / "out.exe");
  // A runtime that is not an executable fails after the archive is built.
  writeFile(dir_ / "runtime.exe", "not an executable");
  EXPECT_NE(packJson(kGood).find("runtime.exe"), std::string::npos);
  EXPECT_EQ(readFile(dir_ / "out.exe"), before);
  EXPECT_FALSE(fs::exists(dir_ / "out.exe.partial"));
}

// Listings show packaged UTF-16 texts as UTF-8.
TEST(Utf8, Utf16TextsComeBackAsTheyWentIn) {
  for (const char* text : {"", "plain", "Caf\u00e9 \u4e2d", "clef \U0001D11E!"})
    EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(text)), text);
  // A surrogate without its partner is no character.
  const std::u16string lone = {u'a', char16_t{0xD800}, u'b', char16_t{0xDC00}};
  EXPECT_EQ(utf16ToUtf8(lone), "a\uFFFDb\uFFFD");
}

} // namespace
} // namespace plumex::pack
