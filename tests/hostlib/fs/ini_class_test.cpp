// The INI class in an engine: its names, what it refuses before the file
// is touched, and reads and writes on files. Natively it works on our own
// document; the win32 build runs the same scripts over the system's
// profile functions.

#include <string>
#include <vector>

#include "data_file_fixture.h"

namespace plumex::hostlib::fs {
namespace {

class IniScript : public testing::DataFileScript {
protected:
  // Runs the script with `ini` an INI object over the scratch file t.ini.
  std::string onFile(const std::string& source) { return run("var ini = new Ini(" + literal("t.ini") + ");" + source); }
};

TEST_F(IniScript, OneClassUnderTwoNames) {
  EXPECT_EQ(run("show(Ini === INI); show(Ini); show(new INI('x.ini')); show(Ini('x.ini'));"),
            "true | [object INI] | [object INI] | [object INI]");
}

TEST_F(IniScript, UnusablePathsGiveNull) {
  const std::string longest(259, 'a'), tooLong(260, 'a');
  EXPECT_EQ(run("show(new Ini('" + longest + "') === null); show(new Ini('ok.ini') === null); "
                "show(new Ini('COM10') === null); show(new Ini('config.ini') === null);"),
            "false | false | false | false");
  for (const std::string& argument :
       {std::string(), std::string("3"), std::string("''"), "'" + tooLong + "'", std::string("'a*.ini'"),
        std::string("'a?.ini'"), std::string("'NUL'"), std::string("'con.ini'"), std::string("'dir/Com1.txt'"),
        std::string("'c:\\\\x\\\\lpt9 .ini'"), std::string("String.fromCharCode(256) + '.ini'")}) {
    EXPECT_EQ(run("show(new Ini(" + argument + ") === null); show(Ini(" + argument + ") === null);"), "true | true")
        << argument;
  }
}

TEST_F(IniScript, WritesReadBack) {
  EXPECT_EQ(onFile("show(ini.getString('s', 'k')); show(ini.getSectionNames().length);"
                   "show(ini.writeString('s', 'k', 'v')); show(ini.getString(' S ', 'K'));"
                   "show(ini.writeString('s', 'k', '  \"spaced\"')); show('[' + ini.getString('s', 'k') + ']');"
                   "show(ini.writeString('s', 'n', '42')); show(ini.getInt('s', 'n') + 1);"
                   "show(ini.writeString('s', 'empty', '')); show('[' + ini.getString('s', 'empty') + ']');"
                   "show(ini.writeString('s', 'u', '\\u00e9t\\u00e9')); show(ini.getString('s', 'u'));"
                   "show(ini.getSectionNames());"),
            "key not found | 0 | true | v | true | [spaced] | true | 43 | true | [] | true | \xE9t\xE9 | s");
}

TEST_F(IniScript, SectionsAreListedReplacedAndDeleted) {
  write("t.ini", "[a]\r\nx=1\r\n; note\r\n\r\n[b]\r\n y = 2 \r\nbare\r\n\r\n[c]\r\nz=3\r\n");
  EXPECT_EQ(onFile("function text() { return 'o=x'; }"
                   "show(ini.getSectionNames()); show(ini.getSection('B')); show(ini.getSection('none').length);"
                   "show(ini.writeSection('b', ['k=1', 'k = 2', 'no equals', 3, {toString: text}]));"
                   "show(ini.getSection('b')); show(ini.getString('b', 'k'));"
                   "show(ini.writeSection('d', ['n=4'])); show(ini.getSectionNames());"
                   "show(ini.deleteKey('b', 'K')); show(ini.getSection('b'));"
                   "show(ini.deleteKey('b', 'missing')); show(ini.deleteSection('missing'));"
                   "show(ini.deleteSection('A')); show(ini.getSectionNames()); show(ini.getString('a', 'x'));"),
            "a,b,c | y=2,bare | 0 | true | k=1,k=2,o=x | 1 | true | a,b,c,d | true | k=2,o=x | true | true | true | "
            "b,c,d | key not found");
}

TEST_F(IniScript, IntegersAsTheSystemReadsThem) {
  write("t.ini", "[n]\r\na= 42\r\nb=-7\r\nc=+8\r\nd=12abc\r\ne=abc\r\nf=\"5\"\r\ng=\r\n");
  EXPECT_EQ(onFile("var out = []; var keys = ['a', 'b', 'c', 'd', 'e', 'f', 'g', 'missing'];"
                   "for (var i = 0; i < keys.length; i++) out[i] = ini.getInt('n', keys[i]); show(out);"
                   "show(typeof ini.getInt('n', 'a'));"),
            "42,-7,8,12,0,5,0,0 | number");
}

#ifndef _WIN32
// The prefixes and the 32-bit wrap follow the system's number reading as
// Wine implements it.
TEST_F(IniScript, IntegersTakeTheirBaseFromAPrefix) {
  write("t.ini", "[n]\r\nh=0x1F\r\ni=0o17\r\nj=0b101\r\nk=4294967297\r\nl=0X1F\r\nm=-2147483649\r\n");
  EXPECT_EQ(onFile("var out = []; var keys = ['h', 'i', 'j', 'k', 'l', 'm'];"
                   "for (var i = 0; i < keys.length; i++) out[i] = ini.getInt('n', keys[i]); show(out);"),
            "31,15,5,1,0,2147483647");
}
#endif

TEST_F(IniScript, RefusedWritesLeaveTheFileByteIdentical) {
  const std::string original = "[s]\r\nk=v\r\n; kept\r\n";
  write("t.ini", original);
  for (const char* call :
       {"writeString('s', 'k', 'a\\nb')", "writeString('s\\r', 'k', 'v')", "writeString('s', 'k\\0', 'v')",
        "writeString('s', '', 'v')", "writeString('s', 'a=b', 'v')", "writeString('', 'k', 'v')",
        "writeString('s', 'k', 3)", "writeString('s', 'k')", "writeString('s', wide, 'v')",
        "writeString('s', 'k', '\\u20ac' + wide)", "writeSection('s', ['a=1', 'b=2\\n[x]'])",
        "writeSection('s', 'a=1')", "writeSection('s', [wide + '=1'])", "writeString(wide, 'k', 'v')",
        "writeSection('s')", "deleteKey('s')",
        "deleteKey('s', 'k\\n')", "deleteSection()", "deleteSection('s', 'k')", "deleteSection(3)"}) {
    // Scripts' string constants are held in the code page: a character
    // beyond it is made at run time.
    EXPECT_EQ(onFile("var wide = String.fromCharCode(256); show(ini." + std::string(call) + ");"), "false") << call;
    EXPECT_EQ(read("t.ini"), original) << call;
  }
}

TEST_F(IniScript, TheClassObjectAndBadArgumentsGiveTheFailureValues) {
  write("t.ini", "[s]\r\nk=1\r\n");
  EXPECT_EQ(run("show(INI.getString('s', 'k') === null); show(INI.getInt('s', 'k'));"
                "show(INI.getSection('s').length); show(INI.getSectionNames().length);"
                "show(INI.writeString('s', 'k', 'v')); show(INI.deleteKey('s', 'k')); show(INI.toString());"),
            "true | 0 | 0 | 0 | false | false | [object INI]");
  EXPECT_EQ(onFile("show(ini.getString(1, 'k') === null); show(ini.getString('s') === null); show(ini.getInt('s'));"
                   "show(ini.getSection().length); show(ini.getString('s', 'k'));"),
            "true | true | 0 | 0 | 1");
}

#ifndef _WIN32
// Our document writes only what changed, beside the target first.
TEST_F(IniScript, WritesKeepEveryOtherLine) {
  write("t.ini", "; head\r\n[a]\r\nx = 1 ; not a comment\r\nbare\r\n\r\n[b]\r\ny=2\r\n");
  EXPECT_EQ(onFile("show(ini.writeString('a', 'new', 'n')); show(ini.writeSection('b', ['z=3']));"
                   "show(ini.deleteKey('a', 'x'));"),
            "true | true | true");
  EXPECT_EQ(read("t.ini"), "; head\r\n[a]\r\nbare\r\nnew=n\r\n\r\n[b]\r\nz=3\r\n");
  EXPECT_EQ(listing(), std::vector<std::string>{"t.ini"});
}

TEST_F(IniScript, DeletingNothingWritesNothing) {
  EXPECT_EQ(onFile("show(ini.deleteKey('s', 'k')); show(ini.deleteSection('s')); show(ini.writeSection('s', []));"),
            "true | true | true");
  EXPECT_EQ(listing(), std::vector<std::string>{});
}

TEST_F(IniScript, AFolderOrAMissingFolderFails) {
  ASSERT_TRUE(makeDirectory(path("t.ini")));
  EXPECT_EQ(onFile("show(ini.writeString('s', 'k', 'v')); show(ini.getString('s', 'k'));"), "false | key not found");
  EXPECT_EQ(run("show(new Ini(" + literal("missing/t.ini") + ").writeString('s', 'k', 'v'));"), "false");
}

TEST_F(IniScript, FilesNobodyHereWrote) {
  EXPECT_EQ(run("var ini = new Ini('" PLUMEX_WINE_INF "'); show(ini.getSectionNames().length);"
                "show(ini.getString('version', 'Signature')); show(ini.getSection('version'));"
                "show(ini.getSection('preinstall.services'));"),
            "79 | $CHICAGO$ | signature=\"$CHICAGO$\" | AddService=MountMgr,0x800,MountMgrService");
}
#endif

} // namespace
} // namespace plumex::hostlib::fs
