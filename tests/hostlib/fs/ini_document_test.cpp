// The INI document: the profile lookup rules, lines kept through a write,
// and files nobody here wrote.

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <tuple>
#include <string>
#include <vector>

#include "hostlib/fs/ini_document.h"

namespace plumex::hostlib::fs {
namespace {

struct Lookup {
  const char* text;
  const char* section;
  const char* key;
  std::optional<std::string> value;
};

std::ostream& operator<<(std::ostream& os, const Lookup& c) { return os << c.section << "/" << c.key; }

class Lookups : public ::testing::TestWithParam<Lookup> {};

TEST_P(Lookups, FollowTheProfileRules) {
  const Lookup& c = GetParam();
  EXPECT_EQ(IniDocument::parse(c.text).value(c.section, c.key), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Document, Lookups,
    ::testing::Values(
        Lookup{"[Sec]\nKey=v", "sec", "KEY", "v"},
        Lookup{"  [ Sec ]  \n  key  =  spaced value \t\n", "Sec", "key", "spaced value"},
        Lookup{"[s]\nk=\"quoted\"", "s", "k", "quoted"},
        Lookup{"[s]\nk='quoted'", "s", "k", "quoted"},
        Lookup{"[s]\nk=\"half", "s", "k", "\"half"},
        Lookup{"[s]\nk='mixed\"", "s", "k", "'mixed\""},
        Lookup{"[s]\nk=\"", "s", "k", "\""},
        Lookup{"[s]\nk=a=b", "s", "k", "a=b"},
        Lookup{"[s]\nk=1\nK=2", "s", "k", "1"},
        Lookup{"[s]\nk=1\n[S]\nk=2\nj=3", "s", "k", "1"},
        Lookup{"[s]\nk=1\n[S]\nk=2\nj=3", "s", "j", std::nullopt},
        Lookup{"[s]\nno equals sign", "s", "no equals sign", ""},
        Lookup{"k=before any header\n[s]", "s", "k", std::nullopt},
        Lookup{"[s]\r\nk=crlf\r\n", "s", "k", "crlf"},
        Lookup{"[s]\rk=lone cr\r", "s", "k", "lone cr"},
        Lookup{"\xEF\xBB\xBF[s]\nk=bom", "s", "k", "bom"},
        Lookup{"[a]b]\nk=v", "a]b", "k", "v"},
        Lookup{"[unclosed\nk=v", "unclosed", "k", std::nullopt},
        Lookup{"[s]\n;k=comment\nk=v", "s", "k", "v"},
        Lookup{"[s]\nk", "s", "k", ""},
        Lookup{"[s]\n", "s", "k", std::nullopt},
        Lookup{"", "s", "k", std::nullopt}));

TEST(IniDocument, SectionNamesInFileOrderWithDuplicates) {
  const auto doc = IniDocument::parse("x=1\n[b]\n[ a ]\n[B]\n  [c d]\nnot [a header]\n[]\n");
  EXPECT_EQ(doc.sectionNames(), (std::vector<std::string>{"b", "a", "B", "c d", ""}));
}

TEST(IniDocument, WritingKeepsEveryOtherLine) {
  const std::string text =
      "\xEF\xBB\xBF; a comment\r\n[one]\r\nA = old ; kept as is\r\nline without equals\r\n\r\n"
      "[two]\r\nb=2\r\n\r\n\r\n";
  auto doc = IniDocument::parse(text);
  EXPECT_EQ(doc.text(), text);
  ASSERT_TRUE(doc.set("ONE", "a", "new"));
  ASSERT_TRUE(doc.set("one", "added", "x"));
  ASSERT_TRUE(doc.set("two", "line without equals", "y"));
  ASSERT_TRUE(doc.set("three", "c", "3"));
  EXPECT_EQ(doc.text(),
            "\xEF\xBB\xBF; a comment\r\n[one]\r\na=new\r\nline without equals\r\nadded=x\r\n\r\n"
            "[two]\r\nb=2\r\nline without equals=y\r\n\r\n\r\n[three]\r\nc=3\r\n");
  // The index follows lines that moved.
  ASSERT_TRUE(doc.set("one", "LINE WITHOUT EQUALS", "z"));
  EXPECT_EQ(doc.value("one", "added"), "x");
  EXPECT_EQ(doc.value("one", "line without equals"), "z");
  EXPECT_EQ(IniDocument::parse(doc.text()).value("three", "c"), "3");
}

TEST(IniDocument, RefusesWhatWouldForgeLines) {
  auto doc = IniDocument::parse("[s]\nk=v\n");
  const std::string before = doc.text();
  for (const auto& [section, key, value] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {"s]\n[t", "k", "v"}, {"s", "k\r", "v"}, {"s", "k", "v\nx=y"}, {"s", "k", std::string("v\0w", 3)},
           {std::string("s\0", 2), "k", "v"}, {"s", "", "v"}, {"s", "a=b", "v"}}) {
    EXPECT_FALSE(doc.set(section, key, value)) << section << "/" << key;
  }
  EXPECT_EQ(doc.text(), before);
}

TEST(IniDocument, SectionLinesAsTheSystemListsThem) {
  const auto doc = IniDocument::parse("[s]\n  k =  v  \n  ; comment\n\n  no equals  \nq=\"kept\"\nk=2\n[S]\nlater=1\n");
  EXPECT_EQ(doc.sectionLines("S"), (std::vector<std::string>{"k=v", "no equals", "q=\"kept\"", "k=2"}));
  EXPECT_EQ(doc.sectionLines("missing"), std::vector<std::string>{});
}

// A change to a document: its answer, the text after, and a lookup that
// shows the indexes followed the lines that moved.
struct Change {
  const char* name;
  const char* before;
  std::function<bool(IniDocument&)> change;
  bool answer;
  const char* after;
  Lookup check;
};

std::ostream& operator<<(std::ostream& os, const Change& c) { return os << c.name; }

class Changes : public ::testing::TestWithParam<Change> {};

TEST_P(Changes, RewriteOnlyWhatTheyName) {
  const Change& c = GetParam();
  auto doc = IniDocument::parse(c.before);
  EXPECT_EQ(c.change(doc), c.answer);
  EXPECT_EQ(doc.text(), c.after);
  EXPECT_EQ(doc.value(c.check.section, c.check.key), c.check.value);
}

using Lines = std::vector<std::string>;

INSTANTIATE_TEST_SUITE_P(
    Document, Changes,
    ::testing::Values(
        Change{"ReplaceKeepsTheBlankLineBeforeTheNextSection", "[s]\na=1\n;c\nbare\n\n[t]\nx=1\n",
               [](IniDocument& d) { return d.replaceSection("S", Lines{" k = v ", "no equals", "k=again", "=e"}); },
               true, "[s]\r\nk=v \r\nk=again\r\n=e\r\n\r\n[t]\r\nx=1\r\n", {"", "s", "k", "v"}},
        Change{"ReplaceEmptiesEveryMatchingSectionAndFillsTheFirst", "[s]\na=1\n[t]\nb=2\n[S]\nc=3\n",
               [](IniDocument& d) { return d.replaceSection("s", Lines{"d=4"}); }, true,
               "[s]\r\nd=4\r\n[t]\r\nb=2\r\n[S]\r\n", {"", "t", "b", "2"}},
        Change{"ReplaceAddsAMissingSection", "[t]\nb=2\n",
               [](IniDocument& d) { return d.replaceSection("new", Lines{"k=v"}); }, true,
               "[t]\r\nb=2\r\n[new]\r\nk=v\r\n", {"", "new", "k", "v"}},
        Change{"ReplaceWithNoKeysAddsNoSection", "[t]\nb=2\n",
               [](IniDocument& d) { return d.replaceSection("new", Lines{"no equals"}); }, true, "[t]\r\nb=2\r\n",
               {"", "new", "no equals", std::nullopt}},
        Change{"ReplaceRefusesALineThatWouldForgeOthers", "[s]\na=1\n",
               [](IniDocument& d) { return d.replaceSection("s", Lines{"k=v", "x=1\n[t]"}); }, false,
               "[s]\r\na=1\r\n", {"", "s", "a", "1"}},
        Change{"RemoveSectionTakesTheFirstOnly", "[s]\na=1\n[t]\nb=2\n[S]\nc=3\n",
               [](IniDocument& d) { return d.removeSection("S"); }, true, "[t]\r\nb=2\r\n[S]\r\nc=3\r\n",
               {"", "s", "c", "3"}},
        Change{"RemoveMissingSectionChangesNothing", "[s]\na=1\n",
               [](IniDocument& d) { return d.removeSection("t"); }, false, "[s]\r\na=1\r\n", {"", "s", "a", "1"}},
        Change{"RemoveKeyTakesItsLineOnly", "[s]\n;c\nA=1\nb=2\na=3\n",
               [](IniDocument& d) { return d.removeKey(" s ", "a"); }, true, "[s]\r\n;c\r\nb=2\r\na=3\r\n",
               {"", "s", "a", "3"}},
        Change{"RemoveKeyLooksThroughLaterSectionsOfTheName", "[s]\na=1\n[S]\nb=2\n",
               [](IniDocument& d) { return d.removeKey("s", "b"); }, true, "[s]\r\na=1\r\n[S]\r\n",
               {"", "s", "a", "1"}},
        Change{"RemoveMissingKeyChangesNothing", "[s]\na=1\n",
               [](IniDocument& d) { return d.removeKey("s", "b"); }, false, "[s]\r\na=1\r\n",
               {"", "s", "a", "1"}}),
    [](const ::testing::TestParamInfo<Change>& info) { return std::string(info.param.name); });

#ifndef _WIN32
std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string readFixture(const char* path) {
  std::ifstream f(path, std::ios::binary);
  EXPECT_TRUE(f) << path;
  return std::string(std::istreambuf_iterator<char>(f), {});
}

TEST(IniDocumentFixtures, WineInf) {
  const std::string text = readFixture(PLUMEX_WINE_INF);
  auto doc = IniDocument::parse(text);
  EXPECT_EQ(doc.sectionNames().size(), 79u);
  EXPECT_EQ(doc.value("STRINGS", "mciextstr"), "Software\\Microsoft\\Windows NT\\CurrentVersion\\MCI Extensions");
  EXPECT_EQ(doc.value("version", "Signature"), "$CHICAGO$");
  // Written back, the file has the same lines.
  EXPECT_EQ(linesOf(doc.text()), linesOf(text));
}

TEST(IniDocumentFixtures, PythonTrickyFile) {
  const auto doc = IniDocument::parse(readFixture(PLUMEX_CFGPARSER_DIR "/cfgparser.3"));
  EXPECT_EQ(doc.sectionNames(),
            (std::vector<std::string>{"DEFAULT", "strange", "corruption", "yeah, sections can be indented as well",
                                      "another one!", "no values here", "tricky interpolation",
                                      "more interpolation"}));
  EXPECT_EQ(doc.value("strange", "values"), "that are indented # and end with hash comments");
  EXPECT_EQ(doc.value("corruption", "VALUE"), "that is");
  EXPECT_EQ(doc.value("corruption", "another value"), "# empty string");
  EXPECT_EQ(doc.value("corruption", "yet another # None!"), "");
  EXPECT_EQ(doc.value("another one!", "this too"), "are there people with configurations broken as this?");
  EXPECT_EQ(doc.value("yeah, sections can be indented as well", "lets use some Unicode"), "\xE7\x89\x87\xE4\xBB\xAE\xE5\x90\x8D");
  EXPECT_EQ(doc.value(" tricky interpolation ", "lets"), "%(go)s");
}
#endif

} // namespace
} // namespace plumex::hostlib::fs
