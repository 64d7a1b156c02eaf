#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hostlib/mail/smtp_dialogue.h"
#include "hostlib/mail/smtp_reply.h"
#include "scripted_channel.h"

namespace plumex::hostlib::mail {
namespace {

using test::ScriptedChannel;

struct Report {
  int code;
  std::string text;
};

// Runs the dialogue against the replies; the handler answers `answer` to
// line reports.
struct Dialogue {
  explicit Dialogue(std::vector<std::string> replies, OutgoingMail mail, SmtpLogin login = {}, bool answer = true) {
    ScriptedChannel channel(std::move(replies));
    result = sendOverSmtp(channel, mail, login, "client.test", [&](int code, std::string_view text) {
      reports.push_back({code, std::string(text)});
      return answer;
    });
    sent = channel.sent;
  }
  bool result;
  std::string sent;
  std::vector<Report> reports;
};

OutgoingMail simpleMail(std::string text = "Subject: hi\r\n\r\nbody\r\n") {
  return {"a@b.test", "c@d.test", "", "", std::move(text)};
}

// Replies of a server that accepts everything after the given EHLO reply.
std::vector<std::string> acceptingServer(std::string ehlo, std::vector<std::string> authReplies = {}) {
  std::vector<std::string> r{"220 hello\r\n", std::move(ehlo)};
  r.insert(r.end(), authReplies.begin(), authReplies.end());
  for (const char* reply : {"250 from\r\n", "250 rcpt\r\n", "354 go\r\n", "250 queued\r\n", "221 bye\r\n"}) r.push_back(reply);
  return r;
}

TEST(SmtpReply, FinalLines) {
  const struct {
    const char* bytes;
    bool whole;
  } cases[] = {
      {"250 ok\r\n", true},          {"250-a\r\n", false},      {"250-a\r\n250 b\r\n", true},
      {"250\r\n", true},             {"25\r\n", false},         {"250 ok", false},
      {"250-a\r\n250\r\n", true},    {"25a\r\n", false},        {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(isWholeSmtpReply(c.bytes), c.whole) << c.bytes;
  EXPECT_EQ(smtpReplyCode("354 go"), 354);
  EXPECT_EQ(smtpReplyCode("x"), 0);
  // Many digits never wrap round into a success.
  EXPECT_GT(smtpReplyCode("25000000000000000000000 big"), 299);
}

TEST(SmtpReply, ReadAcrossReceivesAndLimits) {
  std::string failure;
  ScriptedChannel split({"250-first\r", "\n250-sec", "ond\r\n250 last\r\n"});
  EXPECT_EQ(readSmtpReply(split, failure), "250-first\r\n250-second\r\n250 last\r\n");

  ScriptedChannel closed({"250-first\r\n"});
  EXPECT_FALSE(readSmtpReply(closed, failure));
  EXPECT_EQ(failure, "the server closed the connection");

  // An endless continuation stops at the limit instead of growing.
  std::vector<std::string> flood(200, std::string(1000, 'x'));
  ScriptedChannel endless(flood);
  EXPECT_FALSE(readSmtpReply(endless, failure));
  EXPECT_EQ(failure, "the server's reply is too long");
}

TEST(SmtpDialogue, AuthenticationFollowsTheAnnouncedMechanisms) {
  const SmtpLogin login{"tim", "secret"};
  const struct {
    const char* ehlo;
    SmtpLogin login;
    const char* authLine;  // "" when no AUTH may be sent
  } cases[] = {
      {"250-me\r\n250-AUTH LOGIN PLAIN CRAM-MD5\r\n250 HELP\r\n", login, "AUTH CRAM-MD5\r\n"},
      {"250-me\r\n250 AUTH=LOGIN\r\n", login, "AUTH LOGIN\r\n"},
      {"250-me\r\n250-auth plain\r\n250 8BITMIME\r\n", login, "AUTH PLAIN AHRpbQBzZWNyZXQ=\r\n"},
      {"250-me\r\n250-AUTH LOGIN PLAIN\r\n250 HELP\r\n", SmtpLogin{"tim", std::nullopt}, ""},
      {"250-me\r\n250-AUTH LOGIN PLAIN\r\n250 HELP\r\n", SmtpLogin{}, ""},
      // The marker must open a line.
      {"250-me X250-AUTH LOGIN\r\n250 HELP\r\n", login, ""},
      {"250-me\r\n250 SIZE 100\r\n", login, ""},
  };
  for (const auto& c : cases) {
    const unsigned mechanisms = announcedMechanisms(c.ehlo);
    std::vector<std::string> auth;
    if (mechanisms & kAuthCramMd5) auth = {"334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+\r\n", "235 ok\r\n"};
    else if (mechanisms & kAuthLogin) auth = {"334 VXNlcm5hbWU6\r\n", "334 UGFzc3dvcmQ6\r\n", "235 ok\r\n"};
    else if (mechanisms & kAuthPlain) auth = {"235 ok\r\n"};
    if (!c.login.username || !c.login.password) auth.clear();
    const Dialogue run(acceptingServer(c.ehlo, auth), simpleMail(), c.login);
    EXPECT_TRUE(run.result) << c.ehlo;
    if (*c.authLine) EXPECT_NE(run.sent.find(c.authLine), std::string::npos) << c.ehlo << run.sent;
    else EXPECT_EQ(run.sent.find("AUTH"), std::string::npos) << c.ehlo << run.sent;
  }
}

TEST(SmtpDialogue, CramMd5AnswersTheKnownExample) {
  // The published example exchange of the mechanism.
  EXPECT_EQ(cramMd5Answer("tim", "tanstaaftanstaaf", "<1896.697170952@postoffice.reston.mci.net>"),
            "tim b913a602c7eda7a495b4e6e7334d3890");
  const Dialogue run(acceptingServer("250-me\r\n250 AUTH CRAM-MD5\r\n",
                                {"334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+\r\n", "235 ok\r\n"}),
                simpleMail(), {"tim", "tanstaaftanstaaf"});
  EXPECT_NE(run.sent.find("AUTH CRAM-MD5\r\ndGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw\r\n"), std::string::npos)
      << run.sent;
  // A password longer than a block is hashed first, as HMAC does.
  EXPECT_EQ(cramMd5Answer("u", std::string(80, 'k'), "c").size(), 34u);
  EXPECT_NE(cramMd5Answer("u", std::string(80, 'k'), "c"), cramMd5Answer("u", std::string(64, 'k'), "c"));
}

TEST(SmtpDialogue, RefusedEhloFallsBackToHeloWithoutAuthentication) {
  const Dialogue run({"220 hi\r\n", "502 no\r\n", "250 hello\r\n", "250 a\r\n", "250 b\r\n", "354 c\r\n", "250 d\r\n", "221 e\r\n"},
                simpleMail(), {"u", "p"});
  EXPECT_TRUE(run.result);
  EXPECT_EQ(run.sent.substr(0, run.sent.find("DATA")),
            "EHLO client.test\r\nHELO client.test\r\nMAIL FROM:<a@b.test>\r\nRCPT TO:<c@d.test>\r\n");
}

TEST(SmtpDialogue, EnvelopeAddresses) {
  OutgoingMail mail = simpleMail();
  mail.from = "Ann Sender <ann@b.test>";
  mail.to = "Bob <bob@c.test>; carol@c.test,,";
  mail.cc = " dan@d.test ";
  mail.bcc = "Eve <eve@e.test>";
  const std::vector<std::string> expected{"bob@c.test", "carol@c.test", "dan@d.test", "eve@e.test"};
  EXPECT_EQ(recipientAddresses(mail), expected);
  std::vector<std::string> replies{"220 hi\r\n", "250 me\r\n", "250 from\r\n"};
  for (int i = 0; i < 4; ++i) replies.push_back(i == 1 ? "550 no such user\r\n" : "250 ok\r\n");
  for (const char* r : {"354 go\r\n", "250 queued\r\n", "221 bye\r\n"}) replies.push_back(r);
  const Dialogue run(replies, mail);
  // A refused recipient does not end the dialogue.
  EXPECT_TRUE(run.result);
  EXPECT_NE(run.sent.find("MAIL FROM:<ann@b.test>\r\nRCPT TO:<bob@c.test>\r\nRCPT TO:<carol@c.test>\r\n"
                          "RCPT TO:<dan@d.test>\r\nRCPT TO:<eve@e.test>\r\nDATA\r\n"),
            std::string::npos)
      << run.sent;
}

TEST(SmtpDialogue, DataLines) {
  const struct {
    const char* text;
    std::vector<std::string> lines;
  } cases[] = {
      // The top block's Bcc field goes, continuation lines with it; the
      // body keeps a line that looks like one.
      {"To: a\r\nBcc: x@y,\r\n z@y\r\nSubject: s\r\n\r\nbcc: kept\r\n",
       {"To: a\r\n", "Subject: s\r\n", "\r\n", "bcc: kept\r\n"}},
      {"BCC:\r\nX: 1\r\n\r\nb", {"X: 1\r\n", "\r\n", "b\r\n"}},
      // Bare LF and CR become line ends before dots are doubled, so no
      // "\n.\n" can end the data early.
      {"X: 1\n\nbody\n.\nmore\r.x\r\n..", {"X: 1\r\n", "\r\n", "body\r\n", "..\r\n", "more\r\n", "..x\r\n", "...\r\n"}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(dataLines(c.text), c.lines) << c.text;
}

TEST(SmtpDialogue, HandlerWithoutAnswerStopsAfterTheFirstLine) {
  const Dialogue run(acceptingServer("250 me\r\n"), simpleMail(), {}, false);
  EXPECT_FALSE(run.result);
  EXPECT_TRUE(run.sent.ends_with("DATA\r\nSubject: hi\r\n")) << run.sent;
  ASSERT_FALSE(run.reports.empty());
  EXPECT_EQ(run.reports.back().code, kBytesStored);
  EXPECT_EQ(run.reports.back().text, "13");
}

TEST(SmtpDialogue, ReportsEveryStep) {
  const Dialogue run(acceptingServer("250 me\r\n"), simpleMail("a\r\nb"));
  ASSERT_TRUE(run.result);
  std::string seen;
  for (const Report& r : run.reports) seen += std::to_string(r.code) + ":" + r.text;
  EXPECT_EQ(seen,
            "1:220 hello\r\n2:EHLO client.test\r\n1:250 me\r\n2:MAIL FROM:<a@b.test>\r\n1:250 from\r\n"
            "2:RCPT TO:<c@d.test>\r\n1:250 rcpt\r\n2:DATA\r\n1:354 go\r\n3:33:3"
            "2:.\r\n1:250 queued\r\n2:QUIT\r\n1:221 bye\r\n");
}

TEST(SmtpDialogue, FailedStepsEndIt) {
  // Each reply list fails at a different step.
  const std::vector<std::vector<std::string>> failing{
      {},                                                            // closed at once
      {"220 hi\r\n", "502 no\r\n", "502 no\r\n"},                    // neither EHLO nor HELO
      {"220 hi\r\n", "250 me\r\n", "550 sender refused\r\n"},         // MAIL FROM
      {"220 hi\r\n", "250 me\r\n", "250 a\r\n", "250 b\r\n", "554 no data\r\n"},
      {"220 hi\r\n", "250 me\r\n", "250 a\r\n", "250 b\r\n", "354 go\r\n", "552 too big\r\n"},
      {"220 hi\r\n", "250-me\r\n250 AUTH LOGIN\r\n", "535 bad\r\n"},  // authentication
  };
  for (const auto& replies : failing) {
    const Dialogue run(replies, simpleMail(), {"u", "p"});
    EXPECT_FALSE(run.result) << (replies.size() > 1 ? replies[1] : "");
  }
}

TEST(SmtpDialogue, CommandLineBreakers) {
  EXPECT_TRUE(breaksCommandLine("a\r\nRCPT TO:<x>"));
  EXPECT_TRUE(breaksCommandLine("a\nb"));
  EXPECT_TRUE(breaksCommandLine(std::string_view("a\0b", 3)));
  EXPECT_FALSE(breaksCommandLine("Ann <ann@b.test>"));
}

} // namespace
} // namespace plumex::hostlib::mail
