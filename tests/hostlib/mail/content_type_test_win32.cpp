// The content type of an attachment from the class registry, as the
// win32 build looks it up.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "hostlib/mail/system_facts.h"

namespace plumex::hostlib::mail {
namespace {

class RegisteredExtension : public ::testing::Test {
protected:
  static constexpr const char* kKey = ".plumexmailtest";
  void TearDown() override { RegDeleteKeyA(HKEY_CLASSES_ROOT, kKey); }
  bool registerType(const std::string& type) {
    HKEY h = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) != ERROR_SUCCESS)
      return false;
    const LONG r = RegSetValueExA(h, "Content Type", 0, REG_SZ, reinterpret_cast<const BYTE*>(type.c_str()),
                                  static_cast<DWORD>(type.size() + 1));
    RegCloseKey(h);
    return r == ERROR_SUCCESS;
  }
};

TEST_F(RegisteredExtension, GivesItsContentType) {
  ASSERT_TRUE(registerType("application/x-plumex-test"));
  EXPECT_EQ(contentTypeForFile("C:\\files\\report.PlumexMailTest"), "application/x-plumex-test");
}

TEST_F(RegisteredExtension, LongerThan64BytesIsNotUsed) {
  ASSERT_TRUE(registerType("application/" + std::string(53, 'x')));  // 65 bytes
  EXPECT_EQ(contentTypeForFile("report.plumexmailtest"), "application/octet-stream");
  ASSERT_TRUE(registerType("application/" + std::string(52, 'x')));  // 64 bytes
  EXPECT_EQ(contentTypeForFile("report.plumexmailtest"), "application/" + std::string(52, 'x'));
}

TEST(UnregisteredExtension, IsOctetStream) {
  EXPECT_EQ(contentTypeForFile("file.no-such-extension-here"), "application/octet-stream");
}

} // namespace
} // namespace plumex::hostlib::mail
