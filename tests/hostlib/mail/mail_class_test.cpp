// The script class over the message: each object's store file lives as
// long as the object, and goes when the collector or the engine's end
// finalises it.

#include "hostlib/mail/mail_class.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "../../binding/hook_fixture.h"
#include "hostlib/mail/mail_message.h"

namespace plumex::hostlib {
namespace {

namespace fs = std::filesystem;
using script::Kind;
using script::Value;

class MailClass : public script::testing::HookTest {
protected:
  MailClass() { EXPECT_TRUE(script::runProtected(e, [&] { registerMailClass(e); })); }
  static fs::path storeOf(const Value& mail) {
    return static_cast<mail::MailMessage*>(mail.asNative()->instance())->storePath();
  }
};

TEST_F(MailClass, StoreLivesAsLongAsItsObject) {
  Value kept = construct("Mail");
  ASSERT_TRUE(kept.is(Kind::Native));
  const script::Pin pin(e, kept);
  ASSERT_TRUE(set(kept, "text", str(u"composed")));
  ASSERT_TRUE(method(kept, "asText")->is(Kind::String));
  const fs::path keptStore = storeOf(kept);

  std::vector<fs::path> dropped;
  for (int i = 0; i < 20; ++i) {
    const Value m = callClass("Mail");
    ASSERT_TRUE(m.is(Kind::Native));
    set(m, "subject", str(u"dropped"));
    method(m, "asText");
    dropped.push_back(storeOf(m));
  }
  for (const fs::path& p : dropped) EXPECT_TRUE(fs::exists(p));
  e.collectGarbage();
  for (const fs::path& p : dropped) EXPECT_FALSE(fs::exists(p)) << p;
  EXPECT_TRUE(fs::exists(keptStore));
  EXPECT_EQ(text(*get(kept, "text")), u"composed");
}

TEST_F(MailClass, EngineEndRemovesEveryStore) {
  const Value m = construct("Mail");
  const fs::path store = storeOf(m);
  EXPECT_TRUE(fs::exists(store));
  engine_.reset();
  EXPECT_FALSE(fs::exists(store));
}

} // namespace
} // namespace plumex::hostlib
