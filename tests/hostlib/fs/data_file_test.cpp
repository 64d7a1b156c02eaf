// DataFile's format: what a save writes, what a load applies, the refusals,
// and the files themselves.

#include <optional>
#include <string>
#include <vector>

#include "data_file_fixture.h"
#include "hostlib/fs/data_file.h"
#include "hostlib/fs/data_file_io.h"

namespace plumex::hostlib::fs {
namespace {

using testing::DataFileScript;

class DataFileFormat : public DataFileScript {
protected:
  bool save(IniDocument& doc, std::vector<std::string> names) { return saveVariables(e, doc, names); }
};

TEST_F(DataFileFormat, NestedValuesAreOneSectionEachAndLoadBack) {
  run("var a = {b: [1, 'x y']};");
  IniDocument doc;
  ASSERT_TRUE(save(doc, {"a"}));
  EXPECT_EQ(doc.text(),
            "[a]\r\ntype=object\r\n[a.b]\r\ntype=array\r\n[a.b.0]\r\ntype=integer\r\nvalue=1\r\n"
            "[a.b.1]\r\ntype=string\r\nvalue=x%20y\r\n");
  run("a = 5;");
  loadVariables(e, doc);
  EXPECT_EQ(run("show(typeof a); show(a.b.length); show(a.b[0] + 1); show(a.b[1]);"), "object | 2 | 2 | x y");
}

struct RoundTrip {
  const char* expression;
  std::optional<std::string> type;   // nothing: no section is written
  std::optional<std::string> value;  // nothing: no "value" key
  const char* loaded;                // "same" when it loads as what was saved, else String(v)
};

std::ostream& operator<<(std::ostream& os, const RoundTrip& c) { return os << c.expression; }

class RoundTrips : public DataFileFormat, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(RoundTrips, WriteAndLoadBack) {
  const RoundTrip& c = GetParam();
  ASSERT_EQ(run(std::string("var v = ") + c.expression + ";"), "");
  IniDocument doc;
  ASSERT_TRUE(save(doc, {"v"}));
  EXPECT_EQ(doc.value("v", "type"), c.type);
  EXPECT_EQ(doc.value("v", "value"), c.value);
  run("var before = v; v = 'untouched';");
  loadVariables(e, doc);
  EXPECT_EQ(run("show(v == 'untouched' ? v : v === before ? 'same' : v);"), c.loaded);
}

INSTANTIATE_TEST_SUITE_P(
    DataFile, RoundTrips,
    ::testing::Values(
        RoundTrip{"Math.PI", "float", "3.141592653589793", "same"},
        RoundTrip{"0.1", "float", "0.1", "same"},
        RoundTrip{"1e300 * 1e300", "float", "1.#INF", "same"},
        RoundTrip{"-1e300 * 1e300", "float", "-1.#INF", "same"},
        RoundTrip{"9007199254740993", "integer", "9007199254740993", "same"},
        RoundTrip{"-7", "integer", "-7", "same"},
        RoundTrip{"true", "boolean", "true", "same"},
        RoundTrip{"false", "boolean", "false", "same"},
        RoundTrip{"\"'quoted'\"", "string", "%27quoted%27", "same"},
        RoundTrip{"\"\\\"both\\\"\"", "string", "%22both%22", "same"},
        RoundTrip{"''", "string", "", "same"},
        RoundTrip{"' padded '", "string", "%20padded%20", "same"},
        RoundTrip{"'a=b;c#d%e'", "string", "a=b;c#d%25e", "same"},
        RoundTrip{"'caf\\u00e9 ' + String.fromCharCode(0x7247)", "string", "caf%C3%A9%20%E7%89%87", "same"},
        RoundTrip{"String.fromCharCode(0xD800)", std::nullopt, std::nullopt, "untouched"},
        RoundTrip{"null", std::nullopt, std::nullopt, "untouched"},
        RoundTrip{"undefined", std::nullopt, std::nullopt, "untouched"},
        RoundTrip{"0 / 0", std::nullopt, std::nullopt, "untouched"},
        RoundTrip{"0; function f() {} v = f", std::nullopt, std::nullopt, "untouched"}));

struct Load {
  const char* file;
  const char* check;  // a script run after loading
  const char* shows;
};

std::ostream& operator<<(std::ostream& os, const Load& c) { return os << c.file; }

class Loads : public DataFileFormat, public ::testing::WithParamInterface<Load> {};

TEST_P(Loads, ApplyTheSections) {
  run("var v = 'untouched';");
  loadVariables(e, IniDocument::parse(GetParam().file));
  EXPECT_EQ(run(GetParam().check), GetParam().shows);
}

INSTANTIATE_TEST_SUITE_P(
    DataFile, Loads,
    ::testing::Values(
        Load{"[v]\ntype=INTEGER\nvalue= 42 x", "show(v + 1);", "43"},
        Load{"[v]\nvalue=no%20type", "show(v);", "no type"},
        Load{"[v]\ntype=boolean\nvalue=TRUE", "show(v);", "true"},
        Load{"[v]\ntype=boolean\nvalue=yes", "show(v);", "false"},
        Load{"[v]\ntype=boolean", "show(v);", "false"},
        Load{"[v]\ntype=integer", "show(v);", "0"},
        Load{"[v]\ntype=float\nvalue=1.#INF00", "show(v > 1e308);", "true"},
        Load{"[v]\ntype=float\nvalue=-1.#INF", "show(v < -1e308);", "true"},
        Load{"[v]\ntype=float\nvalue=2.5", "show(v * 2);", "5"},
        Load{"[v]\ntype=date\nvalue=1", "show(v);", "untouched"},
        Load{"[v]\ntype=string\nvalue=%E0%A4", "show(v);", "untouched"},
        Load{"[v]\ntype=string\nvalue=%3B%3b", "show(v);", "%3B%3b"},
        Load{"[v]\nvalue='%27'", "show(v);", "'"},
        // Array steps must be all digits; large ones are stored sparsely.
        Load{"[v]\ntype=array\n[v.1e0]\nvalue=a\n[v.+1]\nvalue=b\n[v.-1]\nvalue=c\n[v. 00002]\nvalue=d",
             "show(v.length); show(v[0]); show(v[1]); show(v[2]);", "3 | undefined | undefined | d"},
        Load{"[v]\ntype=array\n[v.5000000000]\ntype=integer\nvalue=1", "show(v.length);", "5000000001"},
        Load{"[v]\ntype=array\n[v.99999999999999999999]\nvalue=x", "show(v.length);", "0"},
        // Components split at "." and " "; a step into anything but an
        // Object or an Array skips the section.
        Load{"[v]\ntype=object\n[v x]\ntype=object\n[v.x..y]\ntype=object\n[v.x.y z]\ntype=integer\nvalue=7", "show(v.x.y.z);", "7"},
        Load{"[v.x]\ntype=integer\nvalue=1", "show(v);", "untouched"},
        Load{"[v]\ntype=object\n[v.a.b]\ntype=integer\nvalue=1", "show(typeof v.a); for (var k in v) show(k);",
             "undefined | a"},
        // A name that comes again is the section already applied.
        Load{"[v]\ntype=array\n[v.0]\nvalue=x\n[V]\ntype=integer", "show(v[0]);", "x"}));

TEST_F(DataFileFormat, ObjectsMetAgainOnTheirOwnPathAreLeftOut) {
  run("var o = {n: 1}; o.self = o; var shared = [1]; o.list = [shared, shared, o];");
  IniDocument doc;
  ASSERT_TRUE(save(doc, {"o"}));
  EXPECT_EQ(doc.sectionNames(), (std::vector<std::string>{"o", "o.n", "o.list", "o.list.0", "o.list.0.0", "o.list.1",
                                                          "o.list.1.0"}));
}

TEST_F(DataFileFormat, NestingPastTheLimitWritesNothing) {
  const auto nest = [&](int levels) {
    run("var deep = 1; for (var i = 1; i < " + std::to_string(levels) + "; i++) deep = [deep];");
  };
  auto doc = IniDocument::parse("[keep]\nk=v\n");
  const std::string before = doc.text();
  nest(kMaxDataFileDepth + 1);
  EXPECT_FALSE(save(doc, {"deep"}));
  EXPECT_EQ(doc.text(), before);
  nest(kMaxDataFileDepth);
  EXPECT_TRUE(save(doc, {"deep"}));
  EXPECT_EQ(doc.sectionNames().size(), 1u + kMaxDataFileDepth);
}

TEST_F(DataFileFormat, NamesThatWouldForgeLinesWriteNothing) {
  auto doc = IniDocument::parse("[keep]\nk=v\n");
  const std::string before = doc.text();
  run("var o = {}; o['a\\nb'] = 1; var fine = 2;");
  EXPECT_FALSE(save(doc, {"fine", "o"}));
  EXPECT_FALSE(save(doc, {"fine", "x\r"}));
  EXPECT_FALSE(save(doc, {"fine", std::string("x\0y", 3)}));
  EXPECT_EQ(doc.text(), before);
}

TEST_F(DataFileFormat, SavingAddsToWhatIsThere) {
  auto doc = IniDocument::parse("; mine\n[v]\nTYPE=string\nvalue=old\nnote=kept\n\n[other]\nx=1\n");
  run("var v = 3;");
  ASSERT_TRUE(save(doc, {"v"}));
  EXPECT_EQ(doc.text(), "; mine\r\n[v]\r\ntype=integer\r\nvalue=3\r\nnote=kept\r\n\r\n[other]\r\nx=1\r\n");
}

class DataFileFiles : public DataFileScript {};

TEST_F(DataFileFiles, SaveReplacesTheFileWholeAndKeepsItsLines) {
  write("d.ini", "; comment\r\nno equals\r\n[x]\r\nk = v\r\n");
  EXPECT_EQ(run("var n = 5; show(DataFile.save(" + literal("d.ini") + ", 'n'));"), "true");
  EXPECT_EQ(read("d.ini"), "; comment\r\nno equals\r\n[x]\r\nk = v\r\n[n]\r\ntype=integer\r\nvalue=5\r\n");
  EXPECT_EQ(listing(), std::vector<std::string>{"d.ini"});
  EXPECT_EQ(run("n = 0; show(new DataFile().load(" + literal("d.ini") + ")); show(n);"), "true | 5");
}

TEST_F(DataFileFiles, AFailedSaveLeavesTheTargetByteIdentical) {
  const std::string original = "[x]\nk=v\n";
  write("d.ini", original);
  EXPECT_EQ(run("var o = {}; o['a\\rb'] = 1; show(DataFile.save(" + literal("d.ini") + ", 'o'));"), "false");
  EXPECT_EQ(read("d.ini"), original);
  EXPECT_EQ(listing(), std::vector<std::string>{"d.ini"});
  EXPECT_EQ(run("show(DataFile.save(" + literal("missing/d.ini") + ", 'o'));"), "false");
}

TEST_F(DataFileFiles, ArgumentsAndMissingFiles) {
  EXPECT_EQ(run("var x = 1; var p = " + literal("d.ini") +
                "; show(DataFile.load(p)); show(DataFile.save(p)); show(DataFile.save(p, 'x', 3));"
                "show(DataFile.save(3, 'x')); show(DataFile.remove(p)); show(DataFile.load(" + literal("") +
                ")); show(DataFile);"),
            "false | false | false | false | false | false | [object DataFile]");
  EXPECT_EQ(listing(), std::vector<std::string>{});
  EXPECT_EQ(run("var p = " + literal("d.ini") + "; show(DataFile.save(p, 'x')); show(DataFile.remove(p));"
                "show(DataFile.load(p));"),
            "true | true | false");
}

#ifndef _WIN32
class DataFileFixtures : public DataFileScript {};

TEST_F(DataFileFixtures, FilesNobodyHereWroteLoad) {
  const std::string check = "show(typeof version + ':' + version); show(typeof Strings); show(corruption);"
                            "show(strange === ''); show(typeof printers);";
  for (const char* file : {PLUMEX_WINE_INF, PLUMEX_CFGPARSER_DIR "/cfgparser.2", PLUMEX_CFGPARSER_DIR "/cfgparser.3"})
    EXPECT_TRUE(loadDataFile(e, file)) << file;
  EXPECT_EQ(run(check), "string: | string | that is | true | string");
}

TEST_F(DataFileFixtures, SavingIntoWineInfKeepsEveryLine) {
  std::ifstream f(PLUMEX_WINE_INF, std::ios::binary);
  const std::string original(std::istreambuf_iterator<char>(f), {});
  write("wine.inf", original);
  run("var DefaultInstall = 'replaced'; var added = [1.5];");
  const std::vector<std::string> names{"DefaultInstall", "added"};
  ASSERT_TRUE(saveDataFile(e, path("wine.inf"), names));
  const auto doc = IniDocument::parse(read("wine.inf"));
  const auto before = IniDocument::parse(original);
  EXPECT_EQ(doc.sectionNames().size(), before.sectionNames().size() + 2);
  EXPECT_EQ(doc.value("DefaultInstall", "value"), "replaced");
  EXPECT_EQ(doc.value("DefaultInstall", "RegisterDlls"), before.value("DefaultInstall", "RegisterDlls"));
  EXPECT_EQ(doc.value("Strings", "Mci32Str"), before.value("Strings", "Mci32Str"));
  // Only the two keys were added to the existing section, beside the new ones.
  const std::string text = read("wine.inf");
  EXPECT_EQ(text.size(), before.text().size() + std::string("type=string\r\nvalue=replaced\r\n"
                                                            "[added]\r\ntype=array\r\n[added.0]\r\ntype=float\r\nvalue=1.5\r\n")
                                                    .size());
}
#endif

} // namespace
} // namespace plumex::hostlib::fs
