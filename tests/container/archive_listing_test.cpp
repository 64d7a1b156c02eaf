// Listing an archive held in memory: paths, sizes, the enciphered mark, and
// damage named where it is, without ever reading past the data.

#include <gtest/gtest.h>

#include "container/archive.h"
#include "container/archive_listing.h"
#include "container/protected_file.h"

namespace plumex::container {
namespace {

using Bytes = std::vector<std::uint8_t>;

ArchiveEntry file(std::string name, Bytes content) {
  ArchiveEntry e;
  e.name = std::move(name);
  e.content = std::move(content);
  return e;
}

ArchiveEntry folder(std::string name, std::vector<ArchiveEntry> children) {
  ArchiveEntry e;
  e.name = std::move(name);
  e.folder = true;
  e.children = std::move(children);
  return e;
}

Bytes sample() {
  const Bytes plain(100, 'x');
  return writeArchive({folder("movies", {file("intro.swf", protectContent(CipherKey{}, CipherNonce{}, plain)),
                                         folder("empty", {})}),
                       file("readme.txt", Bytes(7, 'r'))});
}

TEST(ArchiveListing, ListsEveryEntryInOrder) {
  const ArchiveListing listing = listArchive(sample());
  EXPECT_EQ(listing.damage, "");
  ASSERT_EQ(listing.entries.size(), 4u);
  const char* paths[] = {"movies/", "movies/intro.swf", "movies/empty/", "readme.txt"};
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(listing.entries[i].path, paths[i]);
  const ListedEntry& movie = listing.entries[1];
  EXPECT_EQ(movie.size, 100u + kProtectedMarkerSize + kProtectedTrailerSize);
  EXPECT_TRUE(movie.enciphered);
  EXPECT_EQ(movie.damage, "");
  EXPECT_EQ(listing.entries[3].size, 7u);
  EXPECT_FALSE(listing.entries[3].enciphered);
  EXPECT_TRUE(listing.entries[0].folder);
}

TEST(ArchiveListing, NamesTheDamage) {
  const Bytes good = sample();
  struct Case {
    const char* what;
    Bytes archive;
    std::string damage;       // part of the archive's damage text; "" for none
    std::string entryDamage;  // part of readme.txt's damage text; "" for none
  };
  Bytes badCrc = good;
  badCrc[badCrc.size() - 9] ^= 1;  // readme.txt's CRC-32 ends before the trailer
  Bytes badTrailer = good;
  badTrailer[badTrailer.size() - 1] ^= 1;
  Bytes notAnArchive = good;
  notAnArchive[0] = 'X';
  Bytes cut(good.begin(), good.end() - 20);
  const Case cases[] = {
      {"CRC-32", badCrc, "", "CRC-32 does not match"},
      {"trailer", badTrailer, "trailer", ""},
      {"magic", notAnArchive, "no archive", ""},
      {"cut", cut, "runs past the end", ""},
      {"empty", Bytes(), "ends early", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ArchiveListing listing = listArchive(c.archive);
    if (c.damage.empty())
      EXPECT_EQ(listing.damage, "");
    else
      EXPECT_NE(listing.damage.find(c.damage), std::string::npos) << listing.damage;
    if (!c.entryDamage.empty()) {
      ASSERT_EQ(listing.entries.size(), 4u);
      EXPECT_NE(listing.entries[3].damage.find(c.entryDamage), std::string::npos);
      EXPECT_EQ(listing.entries[1].damage, "");
    }
  }
}

TEST(ArchiveListing, StopsAtFoldersNestedTooDeep) {
  ArchiveEntry inner = file("leaf", Bytes(1, 1));
  for (int i = 0; i < 100; ++i) inner = folder("d", {inner});
  const ArchiveListing listing = listArchive(writeArchive({inner}));
  EXPECT_NE(listing.damage.find("too deep"), std::string::npos) << listing.damage;
  EXPECT_LT(listing.entries.size(), 100u);
}

} // namespace
} // namespace plumex::container
