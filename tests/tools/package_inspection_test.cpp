// plumex-pack --list and --verify: what a package holds, and which part of
// a damaged one is damaged, without ever showing deciphered content.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <sstream>

#include "package_inspection.h"
#include "packager_fixture.h"

namespace plumex::pack {
namespace {

using plumex::testing::Bytes;

class Inspection : public PackagerTest {
protected:
  void SetUp() override {
    PackagerTest::SetUp();
    writeFile(dir_ / "init.qvs", "trace(1);\n");
    ASSERT_EQ(packJson(R"({
      "identity": { "registryKey": "Tests", "profile": "App\\V1" },
      "settings": { "version": { "productName": "App", "companyName": "Acme", "version": "2.0" },
                    "appearance": { "caption": "Caf\u00e9 \u4e2d", "borderIcons": 273 },
                    "interaction": { "bDisableCursor": true }, "misc": { "backgroundColor": "#102030" } },
      "movie": { "main": "movies/main.swf" },
      "files": [ { "source": "movies", "target": "movies" }, { "source": "notes.txt", "target": "docs/notes.txt" } ],
      "scripts": { "INITIALIZE": "init.qvs" } })"),
              "");
    package_ = readFile(dir_ / "out.exe");
  }

  // Flips one byte of the package where `text` (UTF-16LE) first occurs,
  // `offset` bytes after its start.
  Bytes flippedAfter(const std::u16string& text, std::ptrdiff_t offset) const {
    Bytes pattern;
    for (char16_t c : text) pattern.push_back(static_cast<std::uint8_t>(c)), pattern.push_back(static_cast<std::uint8_t>(c >> 8));
    Bytes damaged = package_;
    const auto at = std::search(damaged.begin(), damaged.end(), pattern.begin(), pattern.end());
    EXPECT_NE(at, damaged.end());
    at[offset] ^= 0x40;
    return damaged;
  }

  Bytes package_;
};

std::string linesWith(const std::string& text, const std::string& part) {
  std::istringstream in(text);
  std::string line, out;
  while (std::getline(in, line))
    if (line.find(part) != std::string::npos) out += line + "\n";
  return out;
}

TEST_F(Inspection, ListShowsFieldsResourcesAndEntriesButNoContent) {
  std::ostringstream out;
  ASSERT_TRUE(listPackage(package_, out));
  const std::string text = out.str();

  // The manifest fields form one JSON object between the headings.
  const std::size_t from = text.find('{'), to = text.find("\nresources:\n");
  ASSERT_NE(to, std::string::npos) << text;
  const auto fields = nlohmann::json::parse(text.substr(from, to - from));
  EXPECT_EQ(fields["identity"]["registryKey"], "Tests");
  EXPECT_EQ(fields["identity"]["profile"], "App\\V1");
  EXPECT_EQ(fields["settings"]["appearance"]["caption"], "Caf\u00e9 \u4e2d");
  EXPECT_EQ(fields["settings"]["appearance"]["borderIcons"], 273);
  EXPECT_EQ(fields["settings"]["interaction"]["bDisableCursor"], true);
  EXPECT_EQ(fields["settings"]["misc"]["backgroundColor"], "#102030");
  EXPECT_EQ(fields["settings"]["version"]["companyName"], "Acme");
  EXPECT_EQ(fields["movie"]["main"], "movies/main.swf");
  EXPECT_EQ(fields["movie"]["protect"], true);

  for (const char* resource : {"PLUMEX/ST", "PLUMEX/CS", "PLUMEX/ML", "PLUMEX/ID", "QUORV/INITIALIZE"})
    EXPECT_NE(linesWith(text, resource), "") << resource;
  EXPECT_NE(linesWith(text, "QUORV/INITIALIZE").find("packed"), std::string::npos);

  // Sizes are the extracted sizes: the movie with its cipher's 32 bytes.
  const std::string movie = linesWith(text, "movies/main.swf ");
  EXPECT_NE(movie.find(" 47 bytes"), std::string::npos) << movie;
  EXPECT_NE(movie.find("enciphered"), std::string::npos) << movie;
  const std::string notes = linesWith(text, "docs/notes.txt");
  EXPECT_NE(notes.find(" 5 bytes"), std::string::npos) << notes;
  EXPECT_NE(notes.find("plain"), std::string::npos) << notes;
  EXPECT_NE(linesWith(text, "docs/ "), "");
  EXPECT_EQ(linesWith(text, "damaged"), "");

  EXPECT_EQ(text.find("FWS movie bytes"), std::string::npos);
  EXPECT_EQ(text.find("notes\n"), std::string::npos);
}

TEST_F(Inspection, VerifyFindsNoDamageInAGoodPackage) {
  std::ostringstream out;
  EXPECT_TRUE(verifyPackage(package_, out));
  const std::string text = out.str();
  for (const char* line : {"PLUMEX/ID: ok", "PLUMEX/CS: ok", "PLUMEX/ST: ok", "QUORV/INITIALIZE: ok",
                           "image checksum: ok", "movies/main.swf: ok", "docs/notes.txt: ok", "archive: ok",
                           "no damage found"})
    EXPECT_NE(text.find(std::string(line) + "\n"), std::string::npos) << line << "\n" << text;
}

TEST_F(Inspection, VerifyAndListNameWhatIsDamaged) {
  // The stored bytes of an entry follow its name's NUL and its size.
  const std::ptrdiff_t intoStream = 2 * 10 + 4 + 3;
  struct Case {
    const char* what;
    Bytes package;
    std::vector<std::string> damaged, intact;
  };
  Bytes truncated = package_;
  truncated.resize(truncated.size() - 3);
  const Case cases[] = {
      {"a byte of an entry", flippedAfter(u"notes.txt", intoStream),
       {"docs/notes.txt"}, {"movies/main.swf", "PLUMEX/ID", "archive"}},
      {"a byte of the identity record", flippedAfter(u"Tests/App", 2),
       {"PLUMEX/ID", "image checksum"}, {"movies/main.swf", "docs/notes.txt", "archive"}},
      {"a cut archive", truncated, {"archive"}, {"PLUMEX/ID"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::ostringstream verified, listed;
    EXPECT_FALSE(verifyPackage(c.package, verified));
    EXPECT_FALSE(listPackage(c.package, listed));
    for (const std::string& part : c.damaged)
      EXPECT_NE(verified.str().find(part + ": damaged"), std::string::npos) << verified.str();
    // The listing names what it could not read (the checksum it does not check).
    EXPECT_NE(linesWith(listed.str(), "damaged: " + c.damaged.front()), "") << listed.str();
    for (const std::string& part : c.intact)
      EXPECT_NE(verified.str().find(part + ": ok"), std::string::npos) << verified.str();
  }
}

TEST_F(Inspection, SomethingThatIsNoExecutableIsRefused) {
  std::ostringstream out;
  const Bytes text = plumex::testing::bytesOf("just text");
  EXPECT_THROW(listPackage(text, out), std::runtime_error);
  EXPECT_THROW(verifyPackage(text, out), std::runtime_error);
}

} // namespace
} // namespace plumex::pack
