#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "hostlib/mail/pop3_reader.h"
#include "hostlib/mail/pop3_session.h"
#include "scripted_channel.h"

namespace plumex::hostlib::mail {
namespace {

using test::ScriptedChannel;

// The transfer form of a message: leading dots doubled, the "." line after.
std::string stuffed(const std::string& message) {
  std::string out;
  bool lineStart = true;
  for (std::size_t i = 0; i < message.size(); ++i) {
    if (lineStart && message[i] == '.') out += '.';
    out += message[i];
    lineStart = message[i] == '\n' && i > 0 && message[i - 1] == '\r';
  }
  if (!message.empty() && !message.ends_with("\r\n")) out += "\r\n";
  return out + ".\r\n";
}

TEST(Pop3Reader, MessagesComeBackWhateverTheReceivesSplit) {
  const std::vector<std::string> messages{
      "", "Subject: x\r\n\r\nbody\r\n", ".\r\n..\r\n.x\r\n", "a\r\n.\r", "\r\n\r\n.", "x.\r\n.y\r\n\r.\r\n"};
  std::mt19937 random(7);
  for (const std::string& message : messages) {
    const std::string wire = "+OK follows\r\n" + stuffed(message) + "+OK not ours\r\n";
    // Every split into two receives, then random small chunks.
    for (std::size_t cut = 1; cut < wire.size(); ++cut) {
      ScriptedChannel channel({wire.substr(0, cut), wire.substr(cut)});
      std::string status, failure;
      const auto got = readPop3Message(channel, status, failure, [](std::size_t) { return true; });
      ASSERT_TRUE(got) << message << " cut at " << cut << ": " << failure;
      const std::string expected = message.ends_with("\r\n") || message.empty() ? message : message + "\r\n";
      EXPECT_EQ(*got, expected) << "cut at " << cut;
      EXPECT_EQ(status, "+OK follows\r\n");
    }
    std::vector<std::string> chunks;
    for (std::size_t at = 0; at < wire.size();) {
      const std::size_t n = 1 + random() % 5;
      chunks.push_back(wire.substr(at, n));
      at += n;
    }
    ScriptedChannel channel(chunks);
    std::string status, failure;
    std::vector<std::size_t> totals;
    const auto got = readPop3Message(channel, status, failure, [&](std::size_t n) {
      totals.push_back(n);
      return true;
    });
    ASSERT_TRUE(got);
    EXPECT_TRUE(std::is_sorted(totals.begin(), totals.end()));
    if (!totals.empty()) {
      EXPECT_EQ(totals.back(), got->size());
    }
  }
}

TEST(Pop3Reader, DoubledDotsStandForOne) {
  ScriptedChannel channel({"+OK\r\nline\r\n..\r\n...x\r\n.\r\n"});
  std::string status, failure;
  EXPECT_EQ(readPop3Message(channel, status, failure, [](std::size_t) { return true; }), "line\r\n.\r\n..x\r\n");
}

TEST(Pop3Reader, MessageFailures) {
  std::string status, failure;
  ScriptedChannel negative({"-ERR no such message\r\n"});
  EXPECT_FALSE(readPop3Message(negative, status, failure, [](std::size_t) { return true; }));
  EXPECT_EQ(status, "-ERR no such message\r\n");
  EXPECT_EQ(failure, "");

  ScriptedChannel cut({"+OK\r\nhalf a mess"});
  EXPECT_FALSE(readPop3Message(cut, status, failure, [](std::size_t) { return true; }));
  EXPECT_EQ(failure, "the server closed the connection");

  ScriptedChannel stopped({"+OK\r\nfirst\r\n", "second\r\n.\r\n"});
  failure.clear();
  int calls = 0;
  EXPECT_FALSE(readPop3Message(stopped, status, failure, [&](std::size_t) { return ++calls < 1; }));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(failure, "");

  // A status line that never ends.
  ScriptedChannel endless(std::vector<std::string>(20, std::string(1000, '+')));
  EXPECT_FALSE(readPop3Message(endless, status, failure, [](std::size_t) { return true; }));
  EXPECT_EQ(failure, "the server's line is too long");
}

TEST(Pop3Reader, Listings) {
  std::string failure;
  ScriptedChannel split({"+OK 2 messages\r\n1 100\r", "\n3 300\r\n.", "\r\n"});
  const auto listing = readPop3Listing(split, failure);
  ASSERT_TRUE(listing);
  const auto entries = listingEntries(*listing);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].number, 1u);
  EXPECT_EQ(entries[0].value, "100");
  EXPECT_EQ(entries[1].number, 3u);
  EXPECT_EQ(entries[1].value, "300");

  ScriptedChannel empty({"+OK\r\n.\r\n"});
  ASSERT_TRUE(readPop3Listing(empty, failure));
  ScriptedChannel negative({"-ERR later\r\n"});
  EXPECT_EQ(readPop3Listing(negative, failure), "-ERR later\r\n");

  // Lines that are not "number value" are passed over.
  const auto odd = listingEntries("+OK\r\nx 1\r\n0 5\r\n7\r\n2  abc def\r\n99999999999 1\r\n.\r\n");
  ASSERT_EQ(odd.size(), 1u);
  EXPECT_EQ(odd[0].number, 2u);
  EXPECT_EQ(odd[0].value, "abc");
}

TEST(Pop3Session, NegativeRepliesKeepTheConnectionFailuresCloseIt) {
  std::vector<std::pair<int, std::string>> reports;
  const Progress progress = [&](int code, std::string_view text) {
    reports.emplace_back(code, std::string(text));
    return true;
  };
  auto channel = std::make_unique<ScriptedChannel>(std::vector<std::string>{
      "+OK ready\r\n", "+OK user\r\n", "+OK logged in\r\n", "-ERR no such message\r\n", "+OK 2 320\r\n"});
  ScriptedChannel* wire = channel.get();
  Pop3Session session;
  ASSERT_TRUE(session.open(std::move(channel), {"u", "p"}, progress));
  EXPECT_FALSE(session.command("DELE 9\r\n", progress));
  EXPECT_TRUE(session.isOpen());
  EXPECT_EQ(session.command("STAT\r\n", progress), "+OK 2 320\r\n");
  EXPECT_EQ(wire->sent, "USER u\r\nPASS p\r\nDELE 9\r\nSTAT\r\n");
  // The server has nothing more to say: the next command fails and closes.
  EXPECT_FALSE(session.command("NOOP\r\n", progress));
  EXPECT_FALSE(session.isOpen());
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0], std::make_pair(1, std::string("-ERR no such message\r\n")));
  EXPECT_EQ(reports[1].first, 0);
  // Closed: commands fail at once, reporting nothing.
  EXPECT_FALSE(session.command("NOOP\r\n", progress));
  EXPECT_EQ(reports.size(), 2u);
}

TEST(Pop3Session, RefusedLoginCloses) {
  Pop3Session session;
  const Progress quiet = [](int, std::string_view) { return true; };
  auto channel = std::make_unique<ScriptedChannel>(std::vector<std::string>{"+OK\r\n", "+OK\r\n", "-ERR wrong\r\n"});
  EXPECT_FALSE(session.open(std::move(channel), {"u", "bad"}, quiet));
  EXPECT_FALSE(session.isOpen());
  // Without a login the connection stays open after the greeting.
  EXPECT_TRUE(session.open(std::make_unique<ScriptedChannel>(std::vector<std::string>{"+OK\r\n"}), {}, quiet));
  EXPECT_TRUE(session.isOpen());
}

} // namespace
} // namespace plumex::hostlib::mail
