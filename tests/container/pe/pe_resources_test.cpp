#include "container/pe/pe_resources.h"
#include "container/pe/pe_image.h"

#include "fake_pe_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <random>
#include <string>

namespace plumex::container {
namespace {

using namespace plumex::testing;

constexpr std::uint32_t kHigh = 0x80000000;

// A resource tree laid out by hand, so that reading is checked against
// something our writer did not make: (3, 1, 0x409) and (10, "OLD", 0x407).
constexpr std::uint32_t kRootTypeEntry = 0x10;   // entry of type 3 in the root
constexpr std::uint32_t kNamedEntry = 0x48;      // entry of "OLD" in the directory of type 10
constexpr std::uint32_t kLanguageEntry = 0x60;   // entry of 0x409 under (3, 1)
constexpr std::uint32_t kDataEntry = 0x80;       // data entry of (3, 1, 0x409)

Bytes handMadeResources(std::uint32_t rva) {
  Bytes s(0xB4, 0);
  auto directory = [&](std::uint32_t at, std::uint16_t named, std::uint16_t ids) {
    put16(s, at + 12, named);
    put16(s, at + 14, ids);
  };
  auto entry = [&](std::uint32_t at, std::uint32_t id, std::uint32_t target) {
    put32(s, at, id);
    put32(s, at + 4, target);
  };
  directory(0x00, 0, 2);
  entry(0x10, 3, kHigh | 0x20);
  entry(0x18, 10, kHigh | 0x38);
  directory(0x20, 0, 1);
  entry(0x30, 1, kHigh | 0x50);
  directory(0x38, 1, 0);
  entry(0x48, kHigh | 0xA0, kHigh | 0x68);
  directory(0x50, 0, 1);
  entry(0x60, 0x409, 0x80);
  directory(0x68, 0, 1);
  entry(0x78, 0x407, 0x90);
  put32(s, 0x80, rva + 0xB0);
  put32(s, 0x84, 3);
  put32(s, 0x90, rva + 0xA8);
  put32(s, 0x94, 8);
  put16(s, 0xA0, 3);
  put16(s, 0xA2, 'O');
  put16(s, 0xA4, 'L');
  put16(s, 0xA6, 'D');
  const Bytes data = bytesOf("old data\x01\x02\x03");
  std::copy(data.begin(), data.end(), s.begin() + 0xA8);
  return s;
}

constexpr std::uint32_t kResourceRva = 0x2000;

// .text, the hand-made resources, then .data: the resource section is not last.
ImageSpec typicalSpec() {
  ImageSpec spec;
  spec.sections = {{".text", 0x1000, Bytes(0x300, 0xC3)},
                   {".rsrc", kResourceRva, handMadeResources(kResourceRva)},
                   {".data", 0x3000, bytesOf("data section")}};
  spec.resourceSection = 1;
  spec.overlay = bytesOf("symbols and strings of an unstripped build");
  return spec;
}

ResourceId num(std::uint16_t id) { return ResourceId::number(id); }
ResourceId str(std::u16string_view text) { return ResourceId::name(text); }

std::vector<Resource> oldResources() {
  return {{num(3), num(1), 0x409, {1, 2, 3}}, {num(10), str(u"OLD"), 0x407, bytesOf("old data")}};
}

std::string describe(const ResourceId& id) {
  if (id.isNumber()) return std::to_string(id.id());
  return std::string(id.text().begin(), id.text().end());
}

void expectSameResources(const std::vector<Resource>& actual, const std::vector<Resource>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    SCOPED_TRACE(describe(expected[i].type) + "/" + describe(expected[i].name));
    EXPECT_EQ(describe(actual[i].type), describe(expected[i].type));
    EXPECT_EQ(describe(actual[i].name), describe(expected[i].name));
    EXPECT_EQ(actual[i].language, expected[i].language);
    EXPECT_EQ(actual[i].data, expected[i].data);
  }
}

struct SectionHeader {
  std::uint32_t virtualSize, virtualAddress, rawSize, rawPointer, characteristics;
};

std::vector<SectionHeader> sectionsOf(const Bytes& image, bool pe32plus = false) {
  std::vector<SectionHeader> result;
  for (std::uint32_t i = 0; i < get16(image, kFileHeader + 2); ++i) {
    const std::uint32_t at = layoutOf(pe32plus).sectionTable + 40 * i;
    result.push_back({get32(image, at + 8), get32(image, at + 12), get32(image, at + 16), get32(image, at + 20),
                      get32(image, at + 36)});
  }
  return result;
}

TEST(ResourceId, NamesAreUpperCasedAndSortBeforeNumbers) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"AfterInstall", u"AFTERINSTALL"},
      {u"st", u"ST"},
      {u"caf\u00E9 \u00FF\u00F7", u"CAF\u00C9 \u0178\u00F7"},
      {u"\u0101\u0131\u013A\u017E", u"\u0100\u0131\u0139\u017D"},
      {u"\u03B1\u03C2\u0436\u0451", u"\u0391\u03A3\u0416\u0401"},
      {u"123_x", u"123_X"},
  };
  for (const auto& [given, stored] : cases) {
    EXPECT_EQ(str(given).text(), stored);
    EXPECT_EQ(str(given), str(stored));
  }
  EXPECT_NE(str(u"1"), num(1));
  EXPECT_LT(str(u"ZZZ"), num(0));
  EXPECT_LT(str(u"B"), str(u"_a"));  // by upper-cased units: 'B' < '_' although 'b' > '_'
  EXPECT_LT(num(2), num(10));
  EXPECT_THROW(str(u""), std::invalid_argument);
}

TEST(ReadResources, ReadsAHandMadeTree) {
  expectSameResources(readResources(makeImage(typicalSpec())), oldResources());
}

TEST(ReadResources, ImageWithoutResourcesHasNone) {
  ImageSpec spec = typicalSpec();
  spec.resourceSection.reset();
  EXPECT_TRUE(readResources(makeImage(spec)).empty());
}

class AddResources : public ::testing::Test {
 protected:
  // Added in an order unlike the directory order, with mixed case, a
  // replacement, empty and large data.
  std::vector<Resource> added() const {
    Bytes large(100 * 1024);
    for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return {
        {str(u"Quorv"), str(u"Initialize"), 0, bytesOf("init code")},
        {str(u"PLUMEX"), str(u"st"), 0, bytesOf("settings")},
        {num(10), str(u"old"), 0x407, bytesOf("replaced")},
        {str(u"PLUMEX"), str(u"_priv"), 0, {}},
        {str(u"plumex"), str(u"CS"), 0, large},
        {num(300), num(7), 0, {42}},
        {str(u"PLUMEX"), str(u"B"), 0, bytesOf("b")},
        {str(u"Quorv"), str(u"AfterInstall"), 0, bytesOf("after")},
        {str(u"PLUMEX"), num(2), 0, bytesOf("two")},
        {num(10), str(u"OLD"), 0x409, bytesOf("other language")},
    };
  }

  // The loader's order: named types first, sorted by their upper-cased
  // units, then numbers ascending; the same within each type and name.
  std::vector<Resource> expectedAfterAdding() const {
    const auto a = added();
    return {a[6], a[4], a[1], a[3], a[8], a[7], a[0], oldResources()[0], a[2], a[9], a[5]};
  }
};

TEST_F(AddResources, KeepsOldResourcesReplacesAndSorts) {
  const Bytes out = addResources(makeImage(typicalSpec()), added());
  expectSameResources(readResources(out), expectedAfterAdding());
}

TEST_F(AddResources, AppendsASectionWhenTheOldOneIsNotLast) {
  const Bytes in = makeImage(typicalSpec());
  const Bytes out = addResources(in, added());
  const auto before = sectionsOf(in);
  const auto after = sectionsOf(out);
  ASSERT_EQ(after.size(), before.size() + 1);
  for (std::size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(after[i].rawPointer, before[i].rawPointer);
    EXPECT_TRUE(std::equal(in.begin() + before[i].rawPointer, in.begin() + before[i].rawPointer + before[i].rawSize,
                           out.begin() + after[i].rawPointer));
  }
  const SectionHeader& fresh = after.back();
  EXPECT_EQ(fresh.virtualAddress, 0x4000u);
  EXPECT_EQ(fresh.rawPointer, before.back().rawPointer + before.back().rawSize);
  EXPECT_EQ(fresh.rawSize % kFileAlignment, 0u);
  EXPECT_GE(fresh.rawSize, fresh.virtualSize);
  EXPECT_EQ(fresh.characteristics, 0x40000040u);
  const auto nameAt = [&](std::uint32_t index) {
    const auto at = out.begin() + layoutOf(false).sectionTable + 40 * index;
    return std::string(at, at + 8);
  };
  EXPECT_EQ(nameAt(3), std::string(".rsrc\0\0\0", 8));
  EXPECT_EQ(nameAt(1), ".oldrsrc");  // so tools that look up ".rsrc" by name find the new one

  const std::uint32_t directories = layoutOf(false).directories;
  EXPECT_EQ(get32(out, directories + 16), fresh.virtualAddress);
  EXPECT_EQ(get32(out, directories + 20), fresh.virtualSize);
  EXPECT_EQ(get32(out, kOptionalHeader + 56), alignUp(fresh.virtualAddress + fresh.virtualSize, kSectionAlignment));
  EXPECT_EQ(get32(out, kOptionalHeader + 8), get32(in, kOptionalHeader + 8) + fresh.rawSize);
}

TEST_F(AddResources, DropsTheOverlayAndClearsTheSymbolTable) {
  const Bytes in = makeImage(typicalSpec());
  ASSERT_GT(in.size(), endOfLastSection(in));
  const Bytes out = addResources(in, added());
  EXPECT_EQ(endOfLastSection(out), out.size());
  EXPECT_EQ(get32(out, kFileHeader + 8), 0u);
  EXPECT_EQ(get32(out, kFileHeader + 12), 0u);
}

TEST_F(AddResources, ResolvesLongSectionNamesBeforeDroppingTheirStrings) {
  ImageSpec spec = typicalSpec();
  spec.sections[0].name = "/4";
  spec.sections[2].name = "/14";
  // Seven 18-byte symbols, then the string table: its size, then the names.
  spec.overlay = Bytes(18 * 7, 0);
  const std::string strings = std::string("\x1c\0\0\0", 4) + ".eh_frame" + '\0' + ".debug_info" + '\0' + "/x";
  spec.overlay.insert(spec.overlay.end(), strings.begin(), strings.end());
  const Bytes out = addResources(makeImage(spec), added());
  const auto nameAt = [&](std::uint32_t index) {
    const auto at = out.begin() + layoutOf(false).sectionTable + 40 * index;
    return std::string(at, at + 8);
  };
  EXPECT_EQ(nameAt(0), ".eh_fram");
  EXPECT_EQ(nameAt(2), ".debug_i");
}

TEST_F(AddResources, RewritesALastResourceSectionInPlace) {
  ImageSpec spec = typicalSpec();
  spec.sections.pop_back();  // the resources are now last, in the file and in memory
  const Bytes in = makeImage(spec);
  const Bytes out = addResources(in, added());
  const auto after = sectionsOf(out);
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[1].virtualAddress, kResourceRva);
  EXPECT_EQ(after[1].rawPointer, sectionsOf(in)[1].rawPointer);
  EXPECT_EQ(out.size(), after[1].rawPointer + after[1].rawSize);
  EXPECT_EQ(get32(out, kOptionalHeader + 56), alignUp(kResourceRva + after[1].virtualSize, kSectionAlignment));
  expectSameResources(readResources(out), expectedAfterAdding());
}

TEST_F(AddResources, AddingTwiceGivesTheSameResourcesAsAddingOnce) {
  const Bytes once = addResources(makeImage(typicalSpec()), added());
  const Bytes twice = addResources(once, added());
  expectSameResources(readResources(twice), expectedAfterAdding());
  EXPECT_EQ(sectionsOf(twice).size(), sectionsOf(once).size());  // the new section is last and is reused
}

TEST_F(AddResources, WorksOnPe32Plus) {
  ImageSpec spec = typicalSpec();
  spec.pe32plus = true;
  const Bytes out = addResources(makeImage(spec), added());
  expectSameResources(readResources(out), expectedAfterAdding());
  EXPECT_EQ(sectionsOf(out, true).size(), 4u);
}

TEST_F(AddResources, ImageWithoutResourcesGetsOnlyTheAddedOnes) {
  ImageSpec spec = typicalSpec();
  spec.sections.erase(spec.sections.begin() + 1);
  spec.resourceSection.reset();
  const Bytes out = addResources(makeImage(spec), {{num(10), num(1), 0, {9}}});
  expectSameResources(readResources(out), {{num(10), num(1), 0, {9}}});
}

TEST(AddResourcesChecksum, MatchesTheStandardSum) {
  const Bytes out = addResources(makeImage(typicalSpec()), {{num(10), num(1), 0, bytesOf("odd")}});
  // Words summed with the carry folded in, the field itself as zero, plus the length.
  const std::uint32_t field = kOptionalHeader + 64;
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i + 1 < out.size(); i += 2) {
    if (i != field && i != field + 2) sum += get16(out, i);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  EXPECT_EQ(out.size() % 2, 0u);
  EXPECT_EQ(get32(out, field), sum + out.size());
}

TEST(TimeStamp, IsWrittenInTheFileHeaderWithTheChecksumRedone) {
  Bytes image = addResources(makeImage(typicalSpec()), {{num(10), num(1), 0, bytesOf("odd")}});
  setTimeStamp(image, 0x5F5E1000);
  EXPECT_EQ(get32(image, kFileHeader + 4), 0x5F5E1000u);
  EXPECT_EQ(timeStamp(image), 0x5F5E1000u);
  // The checksum is the one a fresh sum over the stamped image gives.
  const std::uint32_t field = kOptionalHeader + 64;
  const std::uint32_t stored = get32(image, field);
  put32(image, field, 0);
  EXPECT_EQ(stored, pe::checksum(image));
  Bytes notAnImage = bytesOf("MZ but nothing else");
  EXPECT_THROW(setTimeStamp(notAnImage, 1), PeError);
}

TEST(AddResourcesErrors, NoRoomForAnotherSectionHeader) {
  ImageSpec spec = typicalSpec();
  // Four more dummy sections fill the table up to SizeOfHeaders (0x200).
  for (std::uint32_t va = 0x4000; va < 0x8000; va += 0x1000) spec.sections.push_back({".pad", va, Bytes(16, 1)});
  const Bytes full = makeImage(spec);
  ASSERT_GT(layoutOf(false).sectionTable + 40 * (spec.sections.size() + 1), spec.sizeOfHeaders);
  EXPECT_THROW(addResources(full, {{num(10), num(1), 0, {1}}}), PeError);
}

TEST(EndOfLastSection, EndsTheSectionWithTheLargestRawPointer) {
  const Bytes image = makeImage(typicalSpec());
  EXPECT_EQ(endOfLastSection(image), 0x200u + 0x400u + 0x200u + 0x200u);

  // Section headers out of file order: .text, .data, .rsrc.
  Bytes shuffled = image;
  const std::uint32_t table = layoutOf(false).sectionTable;
  std::swap_ranges(shuffled.begin() + table + 40, shuffled.begin() + table + 80, shuffled.begin() + table + 80);
  EXPECT_EQ(endOfLastSection(shuffled), 0xA00u);
  // Equal offsets: the first listed wins, even when empty.
  put32(shuffled, table + 80 + 20, 0x800);
  put32(shuffled, table + 40 + 16, 0);
  EXPECT_EQ(endOfLastSection(shuffled), 0x800u);
}

// Damage to a valid image, each of which must give PeError.
constexpr std::uint32_t kResourceRaw = 0x600;  // file offset of the hand-made tree in typicalSpec()

struct Damage {
  const char* what;
  std::function<void(Bytes&)> apply;
};

void damageResources(Bytes& image, std::uint32_t at, std::uint32_t value) {
  put32(image, kResourceRaw + at, value);
}

TEST(BadInput, GivesPeError) {
  const Layout layout = layoutOf(false);
  const Damage cases[] = {
      {"empty", [](Bytes& b) { b.clear(); }},
      {"shorter than a DOS header", [](Bytes& b) { b.resize(40); }},
      {"no MZ", [](Bytes& b) { b[1] = 'X'; }},
      {"e_lfanew beyond the file", [](Bytes& b) { put32(b, 0x3C, 0x7FFFFFF0); }},
      {"no PE signature", [](Bytes& b) { b[0x42] = 1; }},
      {"unknown optional header", [](Bytes& b) { put16(b, kOptionalHeader, 0x107); }},
      {"optional header too small", [](Bytes& b) { put16(b, kFileHeader + 16, 0x40); }},
      {"optional header beyond the file", [](Bytes& b) { put16(b, kFileHeader + 16, 0xFFFF); b.resize(0x800); }},
      {"truncated section table", [](Bytes& b) { put16(b, kFileHeader + 2, 0xFFFF); }},
      {"file alignment zero", [](Bytes& b) { put32(b, kOptionalHeader + 36, 0); }},
      {"resource directory outside the sections", [&](Bytes& b) { put32(b, layout.directories + 16, 0x9000); }},
      {"resource section beyond the file", [](Bytes& b) { b.resize(kResourceRaw + 0x100); }},
      {"directory loops back to the root", [](Bytes& b) { damageResources(b, kRootTypeEntry + 4, kHigh | 0); }},
      {"directory beyond the section", [](Bytes& b) { damageResources(b, kRootTypeEntry + 4, kHigh | 0x1F8); }},
      {"entry count beyond the section", [](Bytes& b) { damageResources(b, 12, 0xFFFF0000); }},
      {"name beyond the section", [](Bytes& b) { damageResources(b, kNamedEntry, kHigh | 0x7FFFFFFF); }},
      {"name length beyond the section", [](Bytes& b) { put16(b, kResourceRaw + 0xA0, 0xFFFF); }},
      {"data entry where a directory belongs", [](Bytes& b) { damageResources(b, kRootTypeEntry + 4, 0x80); }},
      {"data entry beyond the section", [](Bytes& b) { damageResources(b, kLanguageEntry + 4, 0x7FFFFFF8); }},
      {"data outside every section", [](Bytes& b) { damageResources(b, kDataEntry, 0x9000); }},
      {"data running past its section", [](Bytes& b) { damageResources(b, kDataEntry + 4, 0x1000); }},
      {"huge data size", [](Bytes& b) { damageResources(b, kDataEntry + 4, 0xFFFFFFFF); }},
      {"ID wider than 16 bits", [](Bytes& b) { damageResources(b, kRootTypeEntry, 0x10003); }},
  };
  for (const Damage& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes image = makeImage(typicalSpec());
    c.apply(image);
    EXPECT_THROW(readResources(image), PeError);
    EXPECT_THROW(addResources(image, {}), PeError);
  }
}

TEST(BadInput, EveryTruncationGivesPeError) {
  ImageSpec spec = typicalSpec();
  spec.sections.pop_back();  // nothing after the resources
  spec.overlay.clear();
  const Bytes image = makeImage(spec);
  for (std::size_t size = 0; size < image.size(); ++size) {
    const Bytes prefix(image.begin(), image.begin() + size);
    EXPECT_THROW(readResources(prefix), PeError) << "size " << size;
  }
}

TEST(BadInput, SharedDirectoriesCannotMultiplyTheWork) {
  // A root whose 0xFFFF entries all point at itself: three levels deep that
  // would be 2^48 visits, but no section holds that many entries.
  Bytes section(16 + 8 * 0xFFFF, 0);
  put16(section, 14, 0xFFFF);
  for (std::uint32_t i = 0; i < 0xFFFF; ++i) put32(section, 16 + 8 * i + 4, kHigh);
  ImageSpec spec;
  spec.sections = {{".rsrc", 0x1000, section}};
  spec.resourceSection = 0;
  EXPECT_THROW(readResources(makeImage(spec)), PeError);
}

TEST(BadInput, RandomDamageNeverCrashes) {
  const Bytes image = makeImage(typicalSpec());
  std::mt19937 random(20240611);
  std::uniform_int_distribution<std::size_t> position(0, image.size() - 1);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 3000; ++round) {
    Bytes damaged = image;
    for (int i = 0; i < 1 + round % 4; ++i) damaged[position(random)] = static_cast<std::uint8_t>(byte(random));
    try {
      for (const Resource& r : readResources(damaged)) ASSERT_LE(r.data.size(), damaged.size());
      addResources(damaged, {{num(10), num(1), 0, {1}}});
    } catch (const PeError&) {
    }
  }
}

}  // namespace
}  // namespace plumex::container
