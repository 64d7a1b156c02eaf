// Python's email package (Debian's python3, default policy) as the oracle
// of the mail reader and writer, both ways:
//   (a) what our scripts compose, Python reads without defects as exactly
//       what went in;
//   (b) what Python composes, we read as Python does;
//   (c) Python's own test messages, with LF and with CR LF line ends, we
//       read as Python does (sorted into bodies, items and attachments by
//       our rules);
//   (d) loading, changing the subject and saving keeps every body.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "hostlib/mail/mail_message.h"
#include "reading.h"

namespace plumex::hostlib::mail {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using testing::Leaf;
using testing::Reading;

constexpr const char* kPython = "/usr/bin/python3";
const fs::path kPythonMessages = "/usr/lib/python3.11/test/test_email/data";
constexpr const char* kFieldNames[kFieldCount] = {"From", "Reply-To", "To", "Subject", "Cc", "Bcc", "Date"};

std::string readFile(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

void writeFile(const fs::path& p, std::string_view bytes) {
  std::ofstream f(p, std::ios::binary);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string quote(const std::string& word) {
  std::string q = "'";
  for (char c : word) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs the command; its stdout, or nothing when it failed.
std::optional<std::string> run(const std::string& command) {
  FILE* p = popen(command.c_str(), "r");
  if (!p) return std::nullopt;
  std::string out;
  char buffer[65536];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
  return pclose(p) == 0 ? std::optional<std::string>(out) : std::nullopt;
}

std::string unhex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// LF line ends made CR LF.
std::string withCrLf(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

json pythonReads(const std::vector<fs::path>& files) {
  std::string command = std::string(kPython) + " " + quote(MAIL_ORACLE) + " read";
  for (const fs::path& f : files) command += " " + quote(f.string());
  const auto out = run(command);
  EXPECT_TRUE(out) << command;
  return out ? json::parse(*out) : json::array();
}

void expectSameLeaf(const json& py, const Leaf& ours, bool item, const std::string& where) {
  EXPECT_EQ(py["type"].get<std::string>(), lower(ours.type)) << where;
  EXPECT_EQ(unhex(py["name"].get<std::string>()), ours.name) << where;
  if (item) {
    EXPECT_EQ(unhex(py["id"].get<std::string>()), ours.id) << where;
  }
  // Python keeps the bodies of message/* parts only as parsed messages.
  if (!py["body"].is_null()) {
    EXPECT_TRUE(unhex(py["body"].get<std::string>()) == ours.body) << where << ": body";
  }
}

void expectSameBody(const json& py, const std::optional<Leaf>& ours, const std::string& where) {
  ASSERT_EQ(py.is_null(), !ours.has_value()) << where;
  if (ours) expectSameLeaf(py, *ours, false, where);
}

void expectSameReading(const json& py, const Reading& ours, const std::string& where) {
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    const json& f = py["fields"][kFieldNames[i]];
    EXPECT_EQ(f.is_null(), !ours.fields[i].has_value()) << where << ": " << kFieldNames[i];
    if (!f.is_null() && ours.fields[i]) {
      EXPECT_EQ(unhex(f.get<std::string>()), *ours.fields[i]) << where << ": " << kFieldNames[i];
    }
  }
  EXPECT_EQ(py["priority"].get<int>(), ours.priority) << where;
  expectSameBody(py["text"], ours.text, where + ": text");
  expectSameBody(py["html"], ours.html, where + ": html");
  ASSERT_EQ(py["attachments"].size(), ours.attachments.size()) << where;
  for (std::size_t i = 0; i < ours.attachments.size(); ++i)
    expectSameLeaf(py["attachments"][i], ours.attachments[i], false, where + ": attachment " + std::to_string(i));
  ASSERT_EQ(py["items"].size(), ours.items.size()) << where;
  for (std::size_t i = 0; i < ours.items.size(); ++i)
    expectSameLeaf(py["items"][i], ours.items[i], true, where + ": item " + std::to_string(i));
}

std::string bodyOf(const std::optional<Leaf>& leaf) { return leaf ? leaf->body : std::string(); }

class PythonOracle : public ::testing::Test {
protected:
  void SetUp() override {
    if (!fs::exists(kPython)) GTEST_SKIP() << "no " << kPython;
    scratch_ = fs::temp_directory_path() /
               ("plumex-mail-oracle-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(scratch_);
    fs::create_directories(scratch_);
  }
  void TearDown() override { fs::remove_all(scratch_); }

  static std::vector<fs::path> pythonTestMessages() {
    std::vector<fs::path> files;
    if (fs::exists(kPythonMessages))
      for (const auto& e : fs::directory_iterator(kPythonMessages))
        if (e.path().filename().string().rfind("msg_", 0) == 0 && e.path().extension() == ".txt") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
  }

  // Python's test messages as they are and with CR LF line ends.
  std::vector<fs::path> pythonTestMessagesBothWays() {
    std::vector<fs::path> files;
    for (const fs::path& f : pythonTestMessages()) {
      files.push_back(f);
      const fs::path crlf = scratch_ / (f.stem().string() + "_crlf.txt");
      writeFile(crlf, withCrLf(readFile(f)));
      files.push_back(crlf);
    }
    return files;
  }

  std::vector<fs::path> pythonComposed() {
    const fs::path dir = scratch_ / "python";
    EXPECT_TRUE(run(std::string(kPython) + " " + quote(MAIL_ORACLE) + " compose " + quote(dir.string())));
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dir)) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
  }

  fs::path scratch_;
};

// Python's test messages it reads otherwise than we do, and why. There we
// check that reading is safe; the reader's own tests pin what we read.
const std::map<std::string, std::string> kPythonReadsOtherwise = {
    // Its inner multipart has the outer one's boundary, so that Python
    // nests the parts in its own way.
    {"msg_15", "a nested multipart with its parent's boundary"},
    // Python's header block ends at the first line that is not a field and
    // that line begins the body; ours runs to the first empty line, and
    // without one the whole text is header.
    {"msg_19", "no header fields before the first empty line"},
    {"msg_35", "no empty line after the header fields"},
    {"msg_38", "parts that begin with lines that are not fields"},
};

bool pythonReadsOtherwise(const fs::path& f) {
  const std::string name = f.filename().string();
  return kPythonReadsOtherwise.count(name.substr(0, 6)) > 0;
}

TEST_F(PythonOracle, ReadsPythonsTestMessagesAsPythonDoes) {
  const std::vector<fs::path> files = pythonTestMessagesBothWays();
  if (files.empty()) GTEST_SKIP() << "Python's test messages are not installed (libpython3.11-testsuite)";
  ASSERT_EQ(files.size(), 2u * 47);
  const json py = pythonReads(files);
  ASSERT_EQ(py.size(), files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string bytes = readFile(files[i]);
    const std::string where = files[i].filename().string();
    if (pythonReadsOtherwise(files[i])) {
      EXPECT_TRUE(testing::rangesInside(parseMessage(bytes).parts, bytes.size())) << where;
      continue;
    }
    expectSameReading(py[i], testing::readMessage(bytes), where);
  }
}

TEST_F(PythonOracle, ReadsWhatPythonComposes) {
  const std::vector<fs::path> files = pythonComposed();
  ASSERT_GE(files.size(), 8u);
  const json py = pythonReads(files);
  ASSERT_EQ(py.size(), files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string where = files[i].filename().string();
    expectSameReading(py[i], testing::readMessage(readFile(files[i])), where);
    // And through a message object, as scripts load them.
    auto m = MailMessage::create();
    ASSERT_TRUE(m && m->load(files[i].string()));
    EXPECT_EQ(m->text(), py[i]["text"].is_null() ? "" : unhex(py[i]["text"]["body"].get<std::string>())) << where;
    EXPECT_EQ(m->html(), py[i]["html"].is_null() ? "" : unhex(py[i]["html"]["body"].get<std::string>())) << where;
  }
}

// (d) for Python's test messages and what Python composes: every body
// stays byte for byte, as we read it and as Python reads it.
TEST_F(PythonOracle, ChangingTheSubjectKeepsEveryBody) {
  std::vector<fs::path> files = pythonComposed();
  for (const fs::path& f : pythonTestMessagesBothWays())
    if (!pythonReadsOtherwise(f)) files.push_back(f);
  std::vector<fs::path> saved;
  for (const fs::path& f : files) {
    auto m = MailMessage::create();
    ASSERT_TRUE(m && m->load(f.string())) << f;
    m->setField(Field::Subject, "changed");
    saved.push_back(scratch_ / ("saved_" + f.filename().string()));
    ASSERT_TRUE(m->save(saved.back().string()));
  }
  const json py = pythonReads(saved);
  ASSERT_EQ(py.size(), saved.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string where = files[i].filename().string();
    Reading before = testing::readMessage(readFile(files[i]));
    Reading after = testing::readMessage(readFile(saved[i]));
    EXPECT_EQ(after.fields[static_cast<std::size_t>(Field::Subject)], "changed") << where;
    // A message without a text body gets an empty one.
    EXPECT_TRUE(bodyOf(before.text) == bodyOf(after.text)) << where << ": text";
    EXPECT_TRUE(bodyOf(before.html) == bodyOf(after.html)) << where << ": html";
    ASSERT_EQ(before.attachments.size(), after.attachments.size()) << where;
    for (std::size_t k = 0; k < before.attachments.size(); ++k) {
      EXPECT_TRUE(before.attachments[k].body == after.attachments[k].body) << where << ": attachment " << k;
      EXPECT_EQ(before.attachments[k].name, after.attachments[k].name) << where;
    }
    ASSERT_EQ(before.items.size(), after.items.size()) << where;
    for (std::size_t k = 0; k < before.items.size(); ++k)
      EXPECT_TRUE(before.items[k].body == after.items[k].body) << where << ": item " << k;
    expectSameReading(py[i], after, "saved " + where);
  }
}

// ------------------------------------------------------------------- (a)

// A script string literal of the bytes in Windows-1252, the native ANSI
// code page: \xHH for control characters and bytes from 0xA0, \uHHHH for
// the few of 0x80 to 0x9F the cases use.
std::string literal(std::string_view bytes) {
  std::string out = "\"";
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u == 0x80) out += "\\u20AC";
    else if (u == 0x93) out += "\\u201C";
    else if (u == 0x94) out += "\\u201D";
    else if (c == '"' || c == '\\') out += std::string("\\") + c;
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (u < 0x20 || u >= 0x7f) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\x%02X", u);
      out += esc;
    } else out += c;
  }
  return out + "\"";
}

struct ComposeCase {
  std::string name;
  std::map<std::string, std::string> fields;  // Python's field names
  std::optional<std::string> text, html;
  std::vector<std::pair<std::string, std::string>> attachments;  // file name, bytes
  std::vector<std::tuple<std::string, std::string, std::string>> items;  // file name, id, bytes
  int priority = 0;
};

std::string randomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

std::vector<ComposeCase> composeCases() {
  const std::map<std::string, std::string> addresses = {{"From", "Sender <a@example.org>"}, {"To", "b@example.org"}};
  std::vector<ComposeCase> cases;
  auto add = [&](std::string name) -> ComposeCase& {
    cases.push_back({std::move(name), addresses, {}, {}, {}, {}, 0});
    return cases.back();
  };
  add("nothing");
  add("text_no_line_end").text = "Hello";
  add("text_line_end").text = "Hello\n";
  add("text_blanks_and_equals").text = "Trailing blanks   \r\nTab\t\r\nequals = sign =\r\nends with =";
  add("text_long_lines").text = std::string(200, 'x') + "\n" + std::string(150, '=') + "\n\xe9" "t\xe9 \xe0 la plage ";
  {
    ComposeCase& c = add("subject_60_bytes");
    c.fields["Subject"] = "A subject of exactly sixty bytes, to be folded in two words";
    c.fields["Cc"] = "c@example.org, d@example.org";
    c.fields["Bcc"] = "hidden@example.org";
    c.fields["Reply-To"] = "reply@example.org";
    c.fields["Date"] = "Mon, 30 Apr 2001 12:17:50 +0200";
    c.priority = 1;
    c.text = "Body\n";
  }
  add("subject_8bit").fields["Subject"] = "\xc7" "a co\xfb" "te \xe0 l'\xe9" "t\xe9 \x80 100 \x93quoted\x94";
  cases.back().text = "\xc7" "a co\xfb" "te\n";
  add("html_only").html = "<p>Hi</p>\n";
  {
    ComposeCase& c = add("html_and_items");
    c.text = "Plain\n";
    c.html = "<p><img src=\"cid:one\"></p>";
    c.items = {{"one.png", "one", "\x89PNG"}, {"two.gif", "two@example", "GIF89a"}};
  }
  add("items_without_html").items = {{"alone.png", "alone", "png"}};
  {
    ComposeCase& c = add("small_and_large_attachments");
    c.text = "See the files.\n";
    c.attachments = {{"zero.bin", ""},
                     {"one.bin", "\x01"},
                     {"two.bin", std::string("\0\xff", 2)},
                     {"three.bin", "abc"},
                     {"large.bin", randomBytes(3 << 20, 1)},
                     {"a \"quoted\" name.txt", "text attachment\r\n"}};
  }
  add("attachment_without_text").attachments = {{"only.bin", randomBytes(1000, 2)}};
  {
    ComposeCase& c = add("everything");
    c.text = "Text\n";
    c.html = "<p>HTML</p>\n";
    c.items = {{"pic.png", "pic", randomBytes(5000, 3)}};
    c.attachments = {{"doc.pdf", randomBytes(70000, 4)}};
  }
  {
    ComposeCase& c = add("html_and_attachment");
    c.html = "<p>HTML only</p>";
    c.attachments = {{"data.bin", "data"}};
  }
  return cases;
}

TEST_F(PythonOracle, PythonReadsWhatOurScriptsComposeAsExactlyWhatWentIn) {
  const std::vector<ComposeCase> cases = composeCases();
  const fs::path in = scratch_ / "in";
  fs::create_directories(in);
  std::string script = "var dir = scriptArgs[0];\nvar m;\n";
  const std::map<std::string, std::string> properties = {{"From", "from"}, {"To", "to"},   {"Subject", "subject"},
                                                         {"Cc", "cc"},     {"Bcc", "bcc"}, {"Reply-To", "replyTo"},
                                                         {"Date", "date"}};
  for (const ComposeCase& c : cases) {
    script += "m = new Mail();\n";
    for (const auto& [field, value] : c.fields) script += "m." + properties.at(field) + " = " + literal(value) + ";\n";
    if (c.priority) script += "m.priority = " + std::to_string(c.priority) + ";\n";
    if (c.text) script += "m.text = " + literal(*c.text) + ";\n";
    if (c.html) script += "m.html = " + literal(*c.html) + ";\n";
    for (const auto& [file, bytes] : c.attachments) {
      writeFile(in / file, bytes);
      script += "trace(m.addAttachment(dir + " + literal("/in/" + file) + "));\n";
    }
    for (const auto& [file, id, bytes] : c.items) {
      writeFile(in / file, bytes);
      script += "trace(m.addHtmlItem(dir + " + literal("/in/" + file) + ", " + literal(id) + "));\n";
    }
    script += "trace(m.save(dir + \"/" + c.name + ".eml\"));\n";
  }
  writeFile(scratch_ / "compose.qvs", script);
  const auto out = run(quote(QUORV) + " " + quote((scratch_ / "compose.qvs").string()) + " " + quote(scratch_.string()));
  ASSERT_TRUE(out);
  EXPECT_EQ(out->find("false"), std::string::npos) << *out;

  std::vector<fs::path> files;
  for (const ComposeCase& c : cases) files.push_back(scratch_ / (c.name + ".eml"));
  const json py = pythonReads(files);
  ASSERT_EQ(py.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const ComposeCase& c = cases[i];
    const json& r = py[i];
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(r["defects"].empty()) << r["defects"].dump();
    for (std::size_t k = 0; k < kFieldCount; ++k) {
      const auto it = c.fields.find(kFieldNames[k]);
      // Subject, From and To are always written.
      if (it != c.fields.end()) {
        EXPECT_EQ(unhex(r["fields"][kFieldNames[k]].get<std::string>()), it->second);
      }
      else if (k == static_cast<std::size_t>(Field::Subject)) EXPECT_EQ(r["fields"]["Subject"], "");
      else EXPECT_TRUE(r["fields"][kFieldNames[k]].is_null()) << kFieldNames[k];
    }
    EXPECT_EQ(r["priority"].get<int>(), c.priority);
    // A message without a text body has an empty text part.
    ASSERT_FALSE(r["text"].is_null());
    EXPECT_TRUE(unhex(r["text"]["body"].get<std::string>()) == c.text.value_or("")) << r["text"]["body"];
    EXPECT_EQ(r["text"]["type"], "text/plain");
    if (c.html || !c.items.empty()) {
      ASSERT_FALSE(r["html"].is_null());
      EXPECT_TRUE(unhex(r["html"]["body"].get<std::string>()) == c.html.value_or(""));
    } else {
      EXPECT_TRUE(r["html"].is_null());
    }
    ASSERT_EQ(r["attachments"].size(), c.attachments.size());
    for (std::size_t k = 0; k < c.attachments.size(); ++k) {
      EXPECT_EQ(unhex(r["attachments"][k]["name"].get<std::string>()), c.attachments[k].first);
      EXPECT_TRUE(unhex(r["attachments"][k]["body"].get<std::string>()) == c.attachments[k].second) << c.attachments[k].first;
    }
    ASSERT_EQ(r["items"].size(), c.items.size());
    for (std::size_t k = 0; k < c.items.size(); ++k) {
      EXPECT_EQ(unhex(r["items"][k]["name"].get<std::string>()), std::get<0>(c.items[k]));
      EXPECT_EQ(unhex(r["items"][k]["id"].get<std::string>()), std::get<1>(c.items[k]));
      EXPECT_TRUE(unhex(r["items"][k]["body"].get<std::string>()) == std::get<2>(c.items[k]));
    }
  }
  // And our reader agrees with Python on every one of them.
  for (std::size_t i = 0; i < files.size(); ++i) expectSameReading(py[i], testing::readMessage(readFile(files[i])), cases[i].name);
}

} // namespace
} // namespace plumex::hostlib::mail
