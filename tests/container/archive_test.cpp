#include "container/archive.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include "zlib_bytes.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "container/byte_io.h"
#include "container/prefixed_text.h"
#include "platform/files.h"

namespace plumex::container {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr char kSep = kPathSeparator;

Bytes bytesOf(std::string_view s) { return Bytes(s.begin(), s.end()); }

Bytes noise(std::size_t n) {
  Bytes b(n);
  std::uint32_t x = 2463534242u;
  for (auto& v : b) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    v = static_cast<std::uint8_t>(x);
  }
  return b;
}

void writeFile(const std::string& path, const Bytes& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  ASSERT_TRUE(out.good()) << path;
}

// The file's bytes, or "(missing)" when it cannot be opened.
std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "(missing)";
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string asString(const Bytes& b) { return std::string(b.begin(), b.end()); }

// Every file and folder below `dir`, relative, with "/" between components.
std::set<std::string> listTree(const std::string& dir) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir, ec))
    names.insert(std::filesystem::relative(e.path(), dir).generic_string());
  return names;
}

// --- a fabricated executable ---

struct Section {
  std::uint32_t offset, size;
};

void put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A DOS header, "PE\0\0", a file header, an optional header of
// `optionalSize` bytes, the section headers and each section's raw data.
Bytes makePe(const std::vector<Section>& sections, std::uint16_t optionalSize = 224) {
  constexpr std::uint32_t peAt = 0x80;
  Bytes file(peAt, 0);
  file[0] = 'M', file[1] = 'Z';
  put32(file, 0x3C, peAt);
  ByteWriter w;
  w.u8('P'), w.u8('E'), w.u16(0);
  w.u16(0x14C);
  w.u16(static_cast<std::uint16_t>(sections.size()));
  w.u32(0), w.u32(0), w.u32(0);
  w.u16(optionalSize);
  w.u16(0x0102);
  w.u16(0x10B);
  for (int i = 2; i < optionalSize; ++i) w.u8(0);
  for (std::size_t i = 0; i < sections.size(); ++i) {
    const std::string name = ".s" + std::to_string(i);
    for (std::size_t c = 0; c < 8; ++c) w.u8(c < name.size() ? static_cast<std::uint8_t>(name[c]) : 0);
    w.u32(sections[i].size);
    w.u32(static_cast<std::uint32_t>(0x1000 * (i + 1)));
    w.u32(sections[i].size);
    w.u32(sections[i].offset);
    w.u32(0), w.u32(0), w.u16(0), w.u16(0);
    w.u32(0x60000020);
  }
  file.insert(file.end(), w.data().begin(), w.data().end());
  const std::size_t headersEnd = file.size();
  for (const Section& s : sections) {
    EXPECT_LE(headersEnd, s.offset) << "headers overlap raw data";
    if (file.size() < s.offset + s.size) file.resize(s.offset + s.size, 0);
    std::fill_n(file.begin() + s.offset, s.size, static_cast<std::uint8_t>(0xC0 + s.offset / 0x100));
  }
  return file;
}

// The archive starts at 0x500, the end of the second section's raw data.
const Bytes& testPe() {
  static const Bytes pe = makePe({{0x200, 0x200}, {0x400, 0x100}});
  return pe;
}

ArchiveEntry file(std::string name, Bytes content) {
  return ArchiveEntry{std::move(name), false, std::move(content), {}};
}
ArchiveEntry file(std::string name, std::string_view content) { return file(std::move(name), bytesOf(content)); }
ArchiveEntry folder(std::string name, std::vector<ArchiveEntry> children) {
  return ArchiveEntry{std::move(name), true, {}, std::move(children)};
}

const Bytes kBig = noise(100000);
const Bytes kZeros(1 << 20, 0);

// "intro.swf" lies both in "movies" and, after that folder, in the root.
std::vector<ArchiveEntry> sampleTree() {
  return {folder("movies", {file("intro.swf", "movie intro"),
                            folder("deep", {file("note.txt", "deep note")})}),
          file("big.bin", kBig), file("zeros.bin", kZeros), file("empty.txt", ""),
          file("intro.swf", "root intro"), file("readme.txt", "read me")};
}

// --- hand-made archives, for damage the writer never produces ---

Bytes rawText(std::u16string_view s) {
  ByteWriter w;
  writePrefixedText(w, s);
  return w.take();
}

Bytes join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes u32le(std::uint32_t v) {
  ByteWriter w;
  w.u32(v);
  return w.take();
}

using plumex::testing::crcOf;
using plumex::testing::zlibOf;

Bytes rawFile(std::u16string_view name, const Bytes& content, std::int64_t sizeDelta = 0) {
  const Bytes z = zlibOf(content);
  return join({u32le(0), rawText(name), u32le(static_cast<std::uint32_t>(z.size() + 4 + sizeDelta)), z,
               u32le(crcOf(content))});
}

Bytes rawFolder(std::u16string_view name, const Bytes& content, std::int64_t sizeDelta = 0) {
  return join({u32le(1), rawText(name), u32le(static_cast<std::uint32_t>(content.size() + sizeDelta)), content});
}

Bytes rawArchive(const Bytes& root, std::int64_t rootDelta = 0, std::u16string_view rootName = u"Application",
                 std::string_view magic = std::string_view("PAF\0", 4), std::uint32_t version = 1) {
  Bytes a = join({bytesOf(magic), u32le(version), rawText(rootName),
                  u32le(static_cast<std::uint32_t>(root.size() + rootDelta)), root});
  const auto length = static_cast<std::uint32_t>(a.size());
  return join({a, u32le(length), u32le(1)});
}

class ArchiveTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string base = ::testing::TempDir();
    if (base.empty() || (base.back() != '/' && base.back() != '\\')) base += kSep;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    root_ = base + "plumex-archive-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
            std::to_string(stamp) + kSep;
    ASSERT_TRUE(makeDirectory(root_));
    app_ = root_ + "app" + kSep;
    run_ = root_ + "run" + kSep;
    exe_ = app_ + "app.exe";
    ASSERT_TRUE(makeDirectory(app_));
    ASSERT_TRUE(makeDirectory(run_));
  }
  void TearDown() override { removeTree(root_); }

  void writeExe(const Bytes& archive) { writeFile(exe_, join({testPe(), archive})); }

  std::string extractPath(const std::string& path) { return extractWith(path, run_); }
  std::string extractWith(const std::string& path, const std::string& runFolder) {
    return extract({exe_, runFolder, path, [this](const std::string& m) { reports_.push_back(m); }});
  }

  void resetRunFolder() {
    removeTree(run_);
    ASSERT_TRUE(makeDirectory(run_));
  }

  std::string extra() const { return run_ + "_extra" + kSep; }

  std::string root_, app_, run_, exe_;
  std::vector<std::string> reports_;
};

TEST_F(ArchiveTest, LocatesTheArchiveThroughTheSectionTable) {
  struct Case {
    const char* what;
    Bytes file;
    std::optional<std::uint64_t> start;
  };
  Bytes noMz = testPe(), noPe = testPe(), farHeader = testPe();
  noMz[1] = 'X';
  noPe[0x83] = 1;
  put32(farHeader, 0x3C, 0x100000);
  const std::size_t sectionTable = 0x80 + 24 + 224;
  const Case cases[] = {
      {"one section", makePe({{0x200, 0x80}}), 0x280},
      {"largest offset listed last", testPe(), 0x500},
      {"largest offset listed first", makePe({{0x400, 0x100}, {0x200, 0x200}}), 0x500},
      {"largest offset, not largest end", makePe({{0x200, 0x1000}, {0x400, 0x100}}), 0x500},
      {"equal offsets: the first counts", makePe({{0x400, 0x100}, {0x400, 0x300}}), 0x500},
      {"a longer optional header", makePe({{0x300, 0x40}, {0x200, 0x100}}, 240), 0x340},
      {"three sections", makePe({{0x200, 0x10}, {0x600, 0x20}, {0x400, 0x400}}), 0x620},
      {"no sections", makePe({}), std::nullopt},
      {"no MZ", noMz, std::nullopt},
      {"no PE signature", noPe, std::nullopt},
      {"new header past the end", farHeader, std::nullopt},
      {"section table cut short", Bytes(testPe().begin(), testPe().begin() + sectionTable + 40 + 20), std::nullopt},
      {"shorter than a DOS header", Bytes{'M', 'Z', 0, 0}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeFile(exe_, c.file);
    InputFile in;
    ASSERT_TRUE(in.open(exe_));
    EXPECT_EQ(locateArchive(in), c.start);
  }
}

TEST_F(ArchiveTest, WriterFramesTheArchive) {
  std::vector<std::string> seen;
  const Bytes archive =
      writeArchive(sampleTree(), ansiEncoder, [&](const ArchiveEntry& e) { seen.push_back(e.name); });
  EXPECT_EQ(seen, (std::vector<std::string>{"movies", "intro.swf", "deep", "note.txt", "big.bin",
                                            "zeros.bin", "empty.txt", "intro.swf", "readme.txt"}));
  ByteReader head(archive);
  EXPECT_EQ(asString(Bytes(archive.begin(), archive.begin() + 4)), std::string("PAF\0", 4));
  head.skip(4);
  EXPECT_EQ(head.u32(), 1u);
  EXPECT_EQ(readPrefixedText(head), "Application");
  const std::uint32_t rootLength = head.u32();
  EXPECT_EQ(head.position() + rootLength + 8, archive.size());
  ByteReader trailer{std::span(archive).last(8)};
  EXPECT_EQ(trailer.u32(), archive.size() - 8);
  EXPECT_EQ(trailer.u32(), 1u);
}

TEST_F(ArchiveTest, ThreeSpellingsOfAPathGiveOneFile) {
  writeExe(writeArchive(sampleTree()));
  const std::string expected = extra() + "movies" + kSep + "intro.swf";
  for (const char* spelling : {"movies/intro.swf", "movies\\intro.swf", "\\movies\\\\intro.swf"}) {
    SCOPED_TRACE(spelling);
    EXPECT_EQ(extractPath(spelling), expected);
    EXPECT_EQ(readFile(expected), "movie intro");
  }
  // Names are compared without regard to case.
  const std::string upper = extractPath("MOVIES/INTRO.SWF");
  EXPECT_FALSE(upper.empty());
  EXPECT_EQ(readFile(upper), "movie intro");
  EXPECT_EQ(extractPath("intro.swf"), extra() + "intro.swf");
  EXPECT_EQ(readFile(extra() + "intro.swf"), "root intro");
  EXPECT_TRUE(reports_.empty());
}

TEST_F(ArchiveTest, ASecondRequestServesTheFileOnDisk) {
  writeExe(writeArchive(sampleTree()));
  const std::string path = extractPath("readme.txt");
  ASSERT_EQ(path, extra() + "readme.txt");
  writeFile(path, bytesOf("changed on disk"));
  EXPECT_EQ(extractPath("readme.txt"), path);
  EXPECT_EQ(readFile(path), "changed on disk");
}

TEST_F(ArchiveTest, TheEmptyPathExtractsEverything) {
  writeExe(writeArchive(sampleTree()));
  ASSERT_EQ(extractPath(""), extra());
  const std::string sep(1, kSep);
  EXPECT_EQ(readFile(extra() + "movies" + sep + "intro.swf"), "movie intro");
  EXPECT_EQ(readFile(extra() + "movies" + sep + "deep" + sep + "note.txt"), "deep note");
  EXPECT_EQ(readFile(extra() + "intro.swf"), "root intro");
  EXPECT_EQ(readFile(extra() + "readme.txt"), "read me");
  EXPECT_TRUE(readFile(extra() + "big.bin") == asString(kBig));
  EXPECT_TRUE(readFile(extra() + "zeros.bin") == asString(kZeros));
  EXPECT_EQ(readFile(extra() + "empty.txt"), "");
  EXPECT_EQ(listTree(run_),
            (std::set<std::string>{"_extra", "_extra/movies", "_extra/movies/intro.swf",
                                   "_extra/movies/deep", "_extra/movies/deep/note.txt",
                                   "_extra/big.bin", "_extra/zeros.bin", "_extra/empty.txt", "_extra/intro.swf",
                                   "_extra/readme.txt"}));
  EXPECT_TRUE(reports_.empty());
}

TEST_F(ArchiveTest, AFolderPathExtractsThatFolder) {
  writeExe(writeArchive(sampleTree()));
  const std::string movies = extra() + "movies" + kSep;
  EXPECT_EQ(extractPath("movies/deep/"), movies + "deep" + kSep);
  EXPECT_EQ(extractPath("movies"), movies);
  EXPECT_EQ(listTree(run_), (std::set<std::string>{"_extra", "_extra/movies", "_extra/movies/intro.swf",
                                                   "_extra/movies/deep", "_extra/movies/deep/note.txt"}));
}

TEST_F(ArchiveTest, ANameIsSearchedOnlyInItsFolder) {
  writeExe(writeArchive(sampleTree()));
  for (const char* path : {"movies/readme.txt", "movies/deep/intro.swf", "missing.txt",
                           "movies/missing/intro.swf", "deep/note.txt"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(extractPath(path), "");
  }
  EXPECT_FALSE(fileExists(extra() + "readme.txt"));
}

TEST_F(ArchiveTest, ACrcMismatchDeletesTheFile) {
  const Bytes bad = bytesOf("this file's check word is damaged");
  Bytes archive = writeArchive({file("bad.swf", bad), file("good.txt", "fine")});
  const Bytes crc = u32le(crcOf(bad));
  auto at = std::search(archive.begin(), archive.end(), crc.begin(), crc.end());
  ASSERT_NE(at, archive.end());
  *at ^= 0xFF;
  writeExe(archive);

  EXPECT_EQ(extractPath("bad.swf"), "");
  EXPECT_EQ(extractPath("bad.swf"), "");
  EXPECT_EQ(extractPath(""), extra());
  EXPECT_EQ(listTree(run_), (std::set<std::string>{"_extra", "_extra/good.txt"}));
  EXPECT_TRUE(reports_.empty());
}

TEST_F(ArchiveTest, ACorruptStreamIsReportedAndLeavesNoFile) {
  const Bytes content = noise(10000);
  const Bytes pristine = writeArchive({file("intro.swf", content)});
  // Header, root name and length, then kind, name and size of the entry.
  const std::size_t stream = 4 + 4 + rawText(u"Application").size() + 4 + 4 + rawText(u"intro.swf").size() + 4;
  ASSERT_EQ(pristine[stream], 0x78);
  const std::size_t adler = pristine.size() - 8 - 4 - 4;

  for (std::size_t at : {stream + 1, adler}) {
    SCOPED_TRACE(at);
    resetRunFolder();
    reports_.clear();
    Bytes archive = pristine;
    archive[at] ^= 0x01;
    writeExe(archive);
    EXPECT_EQ(extractPath("intro.swf"), "");
    EXPECT_EQ(reports_, std::vector<std::string>{"The compress(uncompress) input data was corrupted"});
    EXPECT_EQ(listTree(run_), std::set<std::string>{"_extra"});
  }
}

TEST_F(ArchiveTest, AnEntryOfManyBlocksIsCheckedToItsLastByte) {
  // Noise does not compress: the stream takes several reads, and what one
  // read inflates ends part way into a block.
  const Bytes content = noise(3 * 256 * 1024 + 12345);
  const Bytes pristine = writeArchive({file("large.bin", content)});
  const std::size_t crcWord = pristine.size() - 8 - 4;
  const std::size_t lastBlockData = crcWord - 4 - 100;
  const std::string corrupted = "The compress(uncompress) input data was corrupted";
  struct Case {
    const char* what;
    std::optional<std::size_t> damage;
    bool extracted;
    std::vector<std::string> reports;
  };
  const Case cases[] = {
      {"intact", std::nullopt, true, {}},
      {"check word", crcWord, false, {}},
      {"data of the last block", lastBlockData, false, {corrupted}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    resetRunFolder();
    reports_.clear();
    Bytes archive = pristine;
    if (c.damage) archive[*c.damage] ^= 0x01;
    writeExe(archive);
    const std::string got = extractPath("large.bin");
    EXPECT_EQ(got, c.extracted ? extra() + "large.bin" : "");
    const std::set<std::string> kept = c.extracted ? std::set<std::string>{"_extra", "_extra/large.bin"}
                                                   : std::set<std::string>{"_extra"};
    EXPECT_EQ(listTree(run_), kept);
    if (c.extracted) {
      EXPECT_TRUE(readFile(got) == asString(content));
    }
    EXPECT_EQ(reports_, c.reports);
  }
}

TEST_F(ArchiveTest, UnsafeRequestsFindNothing) {
  // Entries that a crafted archive could use to reach outside the run folder.
  writeExe(writeArchive({folder("..", {file("x", "escaped")}), file("CON", "device"),
                         file("c:x", "drive"), folder("a", {file("b", "b")}),
                         file("NUL.txt", "device")}));
  for (const char* path : {"../x", "..\\x", "a/../../x", "a/../b", "CON", "con", "c:x", "NUL.txt",
                           "a/COM1", "./a/b"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(extractPath(path), "");
  }
  EXPECT_EQ(listTree(run_), std::set<std::string>{});

  // Without an archive the file beside the executable is the answer, and the
  // same rules keep the lookup inside the executable's folder.
  writeExe({});
  writeFile(root_ + "secret.txt", bytesOf("outside"));
  for (const char* path : {"../secret.txt", "..\\secret.txt", "..", "c:secret.txt"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(extractPath(path), "");
  }
}

TEST_F(ArchiveTest, UnsafeEntriesAreNotWrittenWhenExtractingEverything) {
  writeExe(writeArchive({folder("..", {file("evil.txt", "escaped")}), file("CON", "device"),
                         file("a:b", "stream"), file("x\\y", "separator"), file("sub/z", "separator"),
                         file("NUL.txt", "device"), file("dot.", "trailing dot"), file("ok.txt", "ok"),
                         folder("safe", {file("..", "parent"), file("inner.txt", "inner")})}));
  EXPECT_EQ(extractPath(""), extra());
  EXPECT_EQ(listTree(root_),
            (std::set<std::string>{"app", "app/app.exe", "run", "run/_extra", "run/_extra/ok.txt",
                                   "run/_extra/safe", "run/_extra/safe/inner.txt"}));
  EXPECT_EQ(readFile(extra() + "ok.txt"), "ok");
}

TEST_F(ArchiveTest, WithoutARunFolderNothingIsExtracted) {
  writeExe(writeArchive(sampleTree()));
  const bool hadExtra = directoryExists("_extra");
  EXPECT_EQ(extractWith("readme.txt", ""), "");
  EXPECT_EQ(extractWith("", ""), "");
  EXPECT_EQ(directoryExists("_extra"), hadExtra);
  EXPECT_EQ(listTree(run_), std::set<std::string>{});
}

TEST_F(ArchiveTest, DamagedArchivesFindNothing) {
  const Bytes a = bytesOf("file a");
  const Bytes pad = rawFile(u"pad", bytesOf("padding"));
  // A folder of ten bytes whose only entry's name alone needs sixteen.
  const Bytes nameInTenBytes = join({u32le(0), rawText(u"a.txt"), u32le(4), u32le(0)});
  struct Case {
    const char* what;
    Bytes archive;
    const char* path;
  };
  const Case cases[] = {
      {"root length past the end of the file", rawArchive(rawFile(u"a.txt", a), 9), "a.txt"},
      {"root length past everything", rawArchive(rawFile(u"a.txt", a), 0x7FFFFFF0), "a.txt"},
      {"entry size past the root", rawArchive(rawFile(u"a.txt", a, 1)), "a.txt"},
      {"entry size far past the root", rawArchive(rawFile(u"a.txt", a, 0x7FFFFFF0)), "a.txt"},
      {"entry size below its check word", rawArchive(join({u32le(0), rawText(u"a.txt"), u32le(3), u32le(0)})),
       "a.txt"},
      {"name count past the root",
       rawArchive(join({u32le(0), u32le(0x7FFFFFFF), rawText(u"a.txt"), u32le(4), u32le(0)})), "a.txt"},
      {"root too small for an entry", rawArchive(join({rawFile(u"a.txt", a)}), -static_cast<std::int64_t>(rawFile(u"a.txt", a).size()) + 4),
       "a.txt"},
      {"folder size past the root", rawArchive(rawFolder(u"f", rawFile(u"a.txt", a), 1)), "f/a.txt"},
      {"entry past its folder, root has room",
       rawArchive(join({rawFolder(u"f", rawFile(u"a.txt", a), -1), pad})), "f/a.txt"},
      {"a name that runs past its folder",
       rawArchive(join({rawFolder(u"f", nameInTenBytes, 10 - static_cast<std::int64_t>(nameInTenBytes.size())), pad})),
       "f/a.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    resetRunFolder();
    writeExe(c.archive);
    EXPECT_EQ(extractPath(c.path), "");
    extractPath("");
    for (const std::string& name : listTree(run_)) {
      EXPECT_EQ(name.find("a.txt"), std::string::npos) << name;
      EXPECT_EQ(name.find(".part"), std::string::npos) << name;
    }
  }
  EXPECT_TRUE(reports_.empty());

  // The same construction, undamaged, is found: the cases above fail for the
  // reason they name. The root folder's name is compared without case.
  resetRunFolder();
  writeExe(rawArchive(join({rawFolder(u"f", rawFile(u"a.txt", a)), pad}), 0, u"aPPLICATION"));
  EXPECT_EQ(readFile(extractPath("f/a.txt")), "file a");
}

TEST_F(ArchiveTest, ATruncatedExecutableFindsNothing) {
  const Bytes archive = writeArchive({folder("movies", {file("intro.swf", "movie intro")})});
  const Bytes whole = join({testPe(), archive});
  // Cut anywhere before the trailer: the archive's content is incomplete.
  for (std::size_t cut = testPe().size(); cut < whole.size() - 8; ++cut) {
    SCOPED_TRACE(cut);
    writeFile(exe_, Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)));
    EXPECT_EQ(extractPath("movies/intro.swf"), "");
  }
  EXPECT_FALSE(fileExists(extra() + "movies" + kSep + "intro.swf"));
  // Extraction itself never needs the trailer.
  writeFile(exe_, Bytes(whole.begin(), whole.end() - 8));
  EXPECT_EQ(readFile(extractPath("movies/intro.swf")), "movie intro");
}

TEST_F(ArchiveTest, WithoutAnArchiveTheFileBesideTheExecutableIsUsed) {
  writeFile(app_ + "readme.txt", bytesOf("beside"));
  ASSERT_TRUE(makeDirectory(app_ + "docs"));
  writeFile(app_ + "docs" + kSep + "guide.txt", bytesOf("guide"));
  const std::string readme = app_ + "readme.txt";

  struct Exe {
    const char* what;
    Bytes archive;
  };
  const Bytes root = rawFile(u"other.txt", bytesOf("other"));
  const Exe exes[] = {
      {"no archive", {}},
      {"wrong magic", rawArchive(root, 0, u"Application", std::string_view("PAX\0", 4))},
      {"version 0", rawArchive(root, 0, u"Application", std::string_view("PAF\0", 4), 0)},
      {"another root folder", rawArchive(root, 0, u"Applications")},
      {"a few stray bytes", {1, 2, 3}},
  };
  for (const Exe& e : exes) {
    SCOPED_TRACE(e.what);
    writeExe(e.archive);
    EXPECT_EQ(extractPath("readme.txt"), readme);
    EXPECT_EQ(extractPath("\\readme.txt"), readme);
    EXPECT_EQ(extractPath("/\\readme.txt"), readme);
    EXPECT_EQ(extractPath("docs/guide.txt"), app_ + "docs" + kSep + "guide.txt");
    EXPECT_EQ(extractPath("docs"), app_ + "docs");
    EXPECT_EQ(extractPath("missing.txt"), "");
    EXPECT_EQ(extractPath("other.txt"), "");
  }
  EXPECT_EQ(listTree(run_), std::set<std::string>{});

  // A file that is not an executable has no folder to fall back on.
  writeFile(exe_, bytesOf("not an executable at all, but long enough to be read as one......."));
  EXPECT_EQ(extractPath("readme.txt"), "");
  removeFile(exe_);
  EXPECT_EQ(extractPath("readme.txt"), "");
}

} // namespace
} // namespace plumex::container
