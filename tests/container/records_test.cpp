#include "container/records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "container/byte_io.h"
#include "container/container_errors.h"
#include "container/digest.h"
#include "container/prefixed_text.h"

namespace plumex::container {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The GUID {00112233-4455-6677-8899-AABBCCDDEEFF} as it lies in memory: the
// first three groups little-endian, the last two as bytes.
constexpr Guid kGuid = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                        0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};

TEST(Guid, FormatsInRegistryForm) {
  EXPECT_EQ(formatGuid(kGuid), "{00112233-4455-6677-8899-AABBCCDDEEFF}");
  EXPECT_EQ(formatGuid(Guid{}), "{00000000-0000-0000-0000-000000000000}");
  Guid high;
  high.fill(0xFE);
  EXPECT_EQ(formatGuid(high), "{FEFEFEFE-FEFE-FEFE-FEFE-FEFEFEFEFEFE}");
}

TEST(MaskList, StoresCountNameSizeAndData) {
  const Bytes stored = writeMaskList({{"ab", {7, 8, 9}}, {"e", {}}});
  const Bytes expected = {2, 0, 0, 0,                            // count
                          3, 0, 0, 0, 'a', 0, 'b', 0, 0, 0,     // name
                          3, 0, 0, 0, 7,   8, 9,                // size, data
                          2, 0, 0, 0, 'e', 0, 0,   0,            // name
                          0, 0, 0, 0};                          // listed without data
  EXPECT_EQ(stored, expected);

  const std::vector<Mask> masks = readMaskList(stored);
  ASSERT_EQ(masks.size(), 2u);
  EXPECT_EQ(masks[0].name, "ab");
  EXPECT_EQ(masks[0].data, (Bytes{7, 8, 9}));
  EXPECT_EQ(masks[1].name, "e");
  EXPECT_TRUE(masks[1].data.empty());
}

TEST(MaskList, RoundTripsAndCutsNames) {
  const std::vector<Mask> masks = {
      {"logo", Bytes(1000, 0x5A)}, {"Caf\xE9", {1}}, {std::string(300, 'm'), {2, 3}}};
  const std::vector<Mask> back = readMaskList(writeMaskList(masks));
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[0].name, "logo");
  EXPECT_EQ(back[0].data, masks[0].data);
  EXPECT_EQ(back[1].name, "Caf\xE9");
  EXPECT_EQ(back[2].name, std::string(259, 'm'));
  EXPECT_EQ(back[2].data, (Bytes{2, 3}));
}

TEST(MaskList, DropsNamesThatCannotBeFileNames) {
  const std::vector<Mask> masks = {{"../evil", {1}}, {"CON", {2}},    {"a:b", {3}},
                                   {"x\\y", {4}},    {"", {5}},       {"shape", {6, 6}},
                                   {"nul.msk", {7}}, {"last", {8, 8, 8}}};
  const std::vector<Mask> back = readMaskList(writeMaskList(masks));
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].name, "shape");
  EXPECT_EQ(back[0].data, (Bytes{6, 6}));
  EXPECT_EQ(back[1].name, "last");
  EXPECT_EQ(back[1].data, (Bytes{8, 8, 8}));
}

TEST(MaskList, DamagedListsThrow) {
  const Bytes good = writeMaskList({{"one", {1, 2, 3, 4}}, {"two", Bytes(20, 9)}});
  for (std::size_t cut = 0; cut < good.size(); ++cut) {
    SCOPED_TRACE(cut);
    EXPECT_THROW(readMaskList(std::span(good).first(cut)), FormatError);
  }
  Bytes hugeCount = good;
  hugeCount[0] = hugeCount[1] = hugeCount[2] = hugeCount[3] = 0xFF;
  EXPECT_THROW(readMaskList(hugeCount), FormatError);
  Bytes hugeSize = writeMaskList({{"one", {1, 2, 3, 4}}});
  hugeSize[18] = 0xFF; // high bytes of the size after the name "one"
  hugeSize[19] = 0x7F;
  EXPECT_THROW(readMaskList(hugeSize), FormatError);
}

TEST(MovieRecord, RoundTripsAndKnowsProtection) {
  MovieRecord record;
  record.kind = 0x01020304;
  record.mainMovie = "movies\\main.swf";
  EXPECT_FALSE(record.isProtected());

  Bytes stored = writeMovieRecord(record);
  ASSERT_EQ(stored.size(), 4 + 4 + 2 * (record.mainMovie.size() + 1) + kProtectionSize);
  EXPECT_EQ(stored[0], 0x04);
  EXPECT_EQ(stored[3], 0x01);
  MovieRecord back = readMovieRecord(stored);
  EXPECT_EQ(back.kind, record.kind);
  EXPECT_EQ(back.mainMovie, record.mainMovie);
  EXPECT_FALSE(back.isProtected());

  record.protection[kProtectionSize - 1] = 1;
  EXPECT_TRUE(record.isProtected());
  stored = writeMovieRecord(record);
  EXPECT_EQ(stored.back(), 1);
  back = readMovieRecord(stored);
  EXPECT_TRUE(back.isProtected());
  EXPECT_EQ(back.protection, record.protection);

  for (std::size_t cut = 0; cut < stored.size(); ++cut) {
    SCOPED_TRACE(cut);
    EXPECT_THROW(readMovieRecord(std::span(stored).first(cut)), FormatError);
  }
}

TEST(Identity, SplitsKeyAndProfileAtTheFirstSlash) {
  struct Case {
    std::u16string text;
    std::string key;
    std::optional<std::string> profile;
  };
  const Case cases[] = {
      {u"Acme Software/Product\\V1.2.3", "Acme Software", "Product\\V1.2.3"},
      {u"Acme/Tool/Extra", "Acme", "Tool/Extra"},
      {u"JustAKey", "JustAKey", std::nullopt},
      {u"Key/", "Key", ""},
      {u"Caf\u00E9/\u20AC", "Caf\xE9", "\x80"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    const Bytes stored = writeIdentity(c.text, kGuid);
    ASSERT_EQ(stored.size(), 2 * (c.text.size() + 1) + 32);
    const std::optional<Identity> id = readIdentity(stored);
    ASSERT_TRUE(id);
    EXPECT_EQ(id->registryKey, c.key);
    EXPECT_EQ(id->profile, c.profile);
    EXPECT_EQ(id->appId, kGuid);
  }
}

TEST(Identity, AnyChangedByteFailsTheDigest) {
  const Bytes stored = writeIdentity(u"Key/Profile", kGuid);
  for (std::size_t i = 0; i < stored.size(); ++i) {
    SCOPED_TRACE(i);
    Bytes damaged = stored;
    damaged[i] ^= 0x01;
    EXPECT_FALSE(readIdentity(damaged));
  }
  EXPECT_FALSE(readIdentity(Bytes(stored.begin(), stored.end() - 1)));
}

// A record whose digest verifies, around whatever body a test needs.
Bytes sealed(Bytes body) {
  const Digest d = md5(body);
  body.insert(body.end(), d.begin(), d.end());
  return body;
}

TEST(Identity, MalformedRecordsCountAsMissing) {
  const auto units = [](std::u16string_view s) {
    Bytes b;
    for (char16_t c : s) b.push_back(static_cast<std::uint8_t>(c)), b.push_back(static_cast<std::uint8_t>(c >> 8));
    return b;
  };
  const auto join = [](Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const Bytes guid(kGuid.begin(), kGuid.end());
  Guid nulFirst = kGuid;
  nulFirst[0] = nulFirst[1] = 0;
  const Bytes guidStartingWithNul(nulFirst.begin(), nulFirst.end());

  struct Case {
    const char* what;
    Bytes record;
  };
  const Case cases[] = {
      {"empty", {}},
      {"32 bytes with a valid digest", sealed(guid)},
      {"text without a NUL", sealed(join(units(u"Key/Prof"), guid))},
      {"text running into the GUID", sealed(join(units(u"Key"), guidStartingWithNul))},
      {"bytes between the NUL and the GUID",
       sealed(join(units(std::u16string_view(u"Key\0\0", 5)), guid))},
      {"odd text length", sealed(join(join(units(std::u16string_view(u"K\0", 2)), {0x41}), guid))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(readIdentity(c.record));
  }
  // The same construction with a proper text is accepted, so the cases
  // above fail for the reason they name.
  const std::optional<Identity> ok =
      readIdentity(sealed(join(units(std::u16string_view(u"Key\0", 4)), guid)));
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->registryKey, "Key");
}

} // namespace
} // namespace plumex::container
