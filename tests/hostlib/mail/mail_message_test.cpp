// The message object: its store file, lazy composing, files in and out,
// and the failures that change nothing.

#include "hostlib/mail/mail_message.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "hostlib/mail/content_type.h"
#include "hostlib/mail/mime_parser.h"
#include "hostlib/mail/system_facts.h"

namespace plumex::hostlib::mail {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

void writeFile(const fs::path& p, std::string_view bytes) {
  std::ofstream f(p, std::ios::binary);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class Message : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("plumex-mail-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    m_ = MailMessage::create();
    ASSERT_TRUE(m_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
  std::unique_ptr<MailMessage> m_;
};

TEST_F(Message, StoreIsATemporaryFileThatGoesWithItsMessage) {
  const fs::path first = m_->storePath();
  EXPECT_EQ(first.filename().string().rfind("~pm", 0), 0u) << first;
  EXPECT_TRUE(fs::exists(first));
  m_->setText("text");
  ASSERT_TRUE(m_->asText());
  // Composing writes a new store and removes the old one.
  const fs::path second = m_->storePath();
  EXPECT_TRUE(fs::exists(second));
  EXPECT_FALSE(fs::exists(first));
  m_.reset();
  EXPECT_FALSE(fs::exists(second));
}

TEST_F(Message, NewMessageComposesAnEmptyTextPart) {
  const std::optional<std::string> text = m_->asText();
  ASSERT_TRUE(text);
  EXPECT_NE(text->find("From:  \r\nTo:  \r\nSubject: \r\n"), std::string::npos);
  EXPECT_NE(text->find("X-Priority: 0\r\nContent-Type: text/plain;"), std::string::npos);
  EXPECT_EQ(m_->size(), text->size());
  EXPECT_EQ(m_->text(), "");
  EXPECT_EQ(m_->priority(), 0);
}

TEST_F(Message, BodiesReadTheSameBeforeAndAfterComposing) {
  m_->setText("Hello\n");
  m_->setHtml("<p>Hello</p>");
  EXPECT_EQ(m_->text(), "Hello\n");
  EXPECT_EQ(m_->html(), "<p>Hello</p>");
  ASSERT_TRUE(m_->save(path("m.eml")));
  EXPECT_EQ(m_->text(), "Hello\n");
  EXPECT_EQ(m_->html(), "<p>Hello</p>");
  EXPECT_EQ(readFile(path("m.eml")), *m_->asText());
  m_->setHtml("");  // removes the HTML body
  EXPECT_EQ(m_->html(), "");
  EXPECT_EQ(m_->asText()->find("multipart"), std::string::npos);
}

TEST_F(Message, AttachmentsComeFromFilesAndGoBackByteForByte) {
  std::string bytes;
  for (int i = 0; i < 3000; ++i) bytes += static_cast<char>(i * 7);
  writeFile(dir_ / "data.bin", bytes);
  writeFile(dir_ / "empty.xyzunknown", "");
  EXPECT_FALSE(m_->addAttachment(path("missing.bin")));
  EXPECT_EQ(m_->attachmentCount(), 0u);
  ASSERT_TRUE(m_->addAttachment(path("data.bin")));
  ASSERT_TRUE(m_->addAttachment(path("empty.xyzunknown")));
  ASSERT_TRUE(m_->addHtmlItem(path("data.bin"), "pic@here"));
  EXPECT_FALSE(m_->addHtmlItem(path("missing.png"), "x"));
  ASSERT_EQ(m_->attachmentCount(), 2u);
  EXPECT_EQ(m_->attachment(0)->name, "data.bin");
  EXPECT_EQ(m_->attachment(1)->contentType, "application/octet-stream");
  EXPECT_EQ(m_->htmlItem(0)->contentId, "pic@here");
  EXPECT_EQ(m_->attachment(2), nullptr);

  // Before composing, after it, and after loading what was saved.
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(m_->saveAttachment(0, path("out.bin"))) << round;
    EXPECT_TRUE(readFile(path("out.bin")) == bytes) << round;
    ASSERT_TRUE(m_->saveAttachment(1, path("out.empty"))) << round;
    EXPECT_EQ(readFile(path("out.empty")), "") << round;
    ASSERT_TRUE(m_->saveHtmlItem(0, path("item.bin"))) << round;
    EXPECT_TRUE(readFile(path("item.bin")) == bytes) << round;
    if (round == 0) {
      ASSERT_TRUE(m_->asText());
    }
    if (round == 1) {
      ASSERT_TRUE(m_->save(path("m.eml")));
      auto loaded = MailMessage::create();
      ASSERT_TRUE(loaded->load(path("m.eml")));
      m_ = std::move(loaded);
    }
  }
  EXPECT_FALSE(m_->saveAttachment(5, path("x")));
  EXPECT_FALSE(m_->saveAttachment(0, path("no/such/dir/x")));
  EXPECT_FALSE(m_->removeAttachment(2));
  EXPECT_TRUE(m_->removeAttachment(0));
  EXPECT_EQ(m_->attachment(0)->name, "empty.xyzunknown");
  EXPECT_TRUE(m_->removeHtmlItem(0));
  EXPECT_EQ(m_->htmlItemCount(), 0u);
}

TEST_F(Message, NamesFollowTheLastSeparator) {
  fs::create_directories(dir_ / "sub");
  writeFile(dir_ / "sub" / "deep.txt", "x");
  ASSERT_TRUE(m_->addAttachment((dir_ / "sub").string() + "/deep.txt"));
  EXPECT_EQ(m_->attachment(0)->name, "deep.txt");
}

TEST_F(Message, LoadReplacesEverythingOrNothing) {
  m_->setField(Field::Subject, "kept");
  m_->setPriority(5);
  EXPECT_FALSE(m_->load(path("missing.eml")));
  EXPECT_EQ(m_->field(Field::Subject), "kept");
  EXPECT_EQ(m_->priority(), 5);

  const std::string message = "Subject: loaded\r\nTo: x@example.org\r\n\r\nbody";
  writeFile(dir_ / "in.eml", message);
  ASSERT_TRUE(m_->load(path("in.eml")));
  EXPECT_EQ(m_->field(Field::Subject), "loaded");
  EXPECT_FALSE(m_->field(Field::From));
  EXPECT_EQ(m_->priority(), 3);
  EXPECT_EQ(m_->text(), "body");
  // Unchanged, the loaded message is given back as it was.
  EXPECT_EQ(m_->asText(), message);
  EXPECT_EQ(m_->size(), message.size());
  m_->setField(Field::Subject, "changed");
  const std::string changed = *m_->asText();
  EXPECT_EQ(parseMessage(changed).fields[static_cast<std::size_t>(Field::Subject)], "changed");
  EXPECT_EQ(m_->text(), "body");
}

TEST(ContentTypes, FromAMimeTypesTable) {
  const std::string_view table =
      "# comment png\n"
      "image/png\t\t\t\t\tpng\n"
      "text/plain  txt text conf  # trailing\r\n"
      "application/x-none\n"
      "image/jpeg jpeg jpg jpe\n";
  const std::pair<std::string_view, std::optional<std::string>> cases[] = {
      {"png", "image/png"}, {"PNG", "image/png"}, {"conf", "text/plain"}, {"jpg", "image/jpeg"},
      {"trailing", std::nullopt}, {"none", std::nullopt}, {"", std::nullopt}, {"comment", std::nullopt}};
  for (const auto& [ext, type] : cases) EXPECT_EQ(findContentType(table, ext), type) << ext;
  EXPECT_EQ(extensionOf("dir.d/file"), "");
  EXPECT_EQ(extensionOf("a\\b.c\\file.tar.gz"), "gz");
  EXPECT_EQ(extensionOf("noext"), "");
}

#ifndef _WIN32
TEST(ContentTypes, NativelyFromTheSystemsMimeTypes) {
  EXPECT_EQ(contentTypeForFile("/x/picture.PNG"), "image/png");
  EXPECT_EQ(contentTypeForFile("notes.txt"), "text/plain");
  EXPECT_EQ(contentTypeForFile("file.no-such-extension"), "application/octet-stream");
  EXPECT_EQ(contentTypeForFile("no_extension"), "application/octet-stream");
}
#endif

} // namespace
} // namespace plumex::hostlib::mail
