// The portable pieces of networking: the MX query and answers (well-formed,
// compressed, mixed with other records, and damaged at every byte), the
// raw ping's packets, and NameServer values.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hostlib/net/dns_mx.h"
#include "hostlib/net/echo_packet.h"
#include "hostlib/net/name_servers.h"

namespace plumex::hostlib::net {
namespace {

using Bytes = std::vector<std::uint8_t>;

void u16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v >> 8));
  b.push_back(static_cast<std::uint8_t>(v & 0xFF));
}
void name(Bytes& b, std::string_view dotted) {
  while (!dotted.empty()) {
    const std::size_t dot = dotted.find('.');
    const std::string_view label = dotted.substr(0, dot);
    b.push_back(static_cast<std::uint8_t>(label.size()));
    b.insert(b.end(), label.begin(), label.end());
    dotted.remove_prefix(dot == std::string_view::npos ? dotted.size() : dot + 1);
  }
  b.push_back(0);
}
// A record whose owner is a pointer to the question name (offset 12).
void record(Bytes& b, unsigned type, const Bytes& data) {
  u16(b, 0xC00C);
  u16(b, type);
  u16(b, 1);
  u16(b, 0);
  u16(b, 300);
  u16(b, static_cast<unsigned>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
}
Bytes mxData(unsigned preference, std::string_view exchange, bool compressTail = false) {
  Bytes d;
  u16(d, preference);
  if (compressTail) {
    // "mx" then a pointer to the question's "example.test".
    d.push_back(2);
    d.push_back('m');
    d.push_back('x');
    u16(d, 0xC00C);
  } else {
    name(d, exchange);
  }
  return d;
}
Bytes answerWith(const std::vector<std::pair<unsigned, Bytes>>& records) {
  Bytes b;
  u16(b, kMxQueryId);
  u16(b, 0x8180);
  u16(b, 1);
  u16(b, static_cast<unsigned>(records.size()));
  u16(b, 0);
  u16(b, 0);
  name(b, "example.test");
  u16(b, 15);
  u16(b, 1);
  for (const auto& [type, data] : records) record(b, type, data);
  return b;
}

std::string text(const std::vector<MxRecord>& records) {
  std::string s;
  for (const MxRecord& r : records) s += std::to_string(r.preference) + " " + r.exchange + ";";
  return s;
}

TEST(MxLookup, Query) {
  const auto q = mxQuery("mail.example.test.");
  ASSERT_TRUE(q);
  Bytes expected{0, 35, 0x46, 0x46, 0x01, 0x00, 0, 1, 0, 0, 0, 0, 0, 0};
  name(expected, "mail.example.test");
  expected.insert(expected.end(), {0, 15, 0, 1});
  EXPECT_EQ(*q, expected);
  const std::string longLabel = std::string(64, 'a') + ".test";
  for (std::string_view bad : {std::string_view(""), std::string_view("."), std::string_view("a..b"),
                               std::string_view(longLabel)})
    EXPECT_FALSE(mxQuery(bad)) << bad;
  std::string longName;
  for (int i = 0; i < 60; ++i) longName += "abcd.";
  EXPECT_FALSE(mxQuery(longName));
}

TEST(MxLookup, AnswersInOrderOtherTypesPassedOver) {
  Bytes cname;
  name(cname, "alias.example.test");
  const Bytes answer = answerWith({{5, cname}, {15, mxData(20, "second.example.test")}, {15, mxData(10, "", true)},
                                   {1, Bytes{127, 0, 0, 1}}});
  EXPECT_EQ(text(readMxAnswer(answer)), "20 second.example.test;10 mx.example.test;");
  EXPECT_EQ(text(readMxAnswer(answerWith({}))), "");
}

TEST(MxLookup, DamagedAnswersGiveNothing) {
  const Bytes good = answerWith({{15, mxData(10, "a.example.test")}, {15, mxData(20, "b.example.test")}});
  ASSERT_EQ(readMxAnswer(good).size(), 2u);
  // Cut anywhere: never a read past the end, never a partial list.
  for (std::size_t n = 0; n < good.size(); ++n)
    EXPECT_TRUE(readMxAnswer(std::span(good).first(n)).empty()) << "cut at " << n;

  Bytes loop = answerWith({{15, Bytes{0, 1, 0xC0, 0}}});
  const std::size_t rdata = loop.size() - 4;
  loop[rdata + 2] = static_cast<std::uint8_t>(0xC0 | (rdata + 2) >> 8);
  loop[rdata + 3] = static_cast<std::uint8_t>((rdata + 2) & 0xFF);
  EXPECT_TRUE(readMxAnswer(loop).empty()) << "a pointer to itself";

  std::string longName;
  for (int i = 0; i < 26; ++i) longName += "abcdefghi.";
  EXPECT_TRUE(readMxAnswer(answerWith({{15, mxData(1, longName + "test")}})).empty()) << "a name over 255 bytes";

  Bytes badLabel = answerWith({{15, Bytes{0, 1, 0x40, 0}}});
  EXPECT_TRUE(readMxAnswer(badLabel).empty()) << "an extended label type";

  // The exchange name runs past its record's length (10 bytes, said 4).
  Bytes overrun = answerWith({{15, mxData(1, "a.test")}});
  overrun[overrun.size() - 12] = 0;
  overrun[overrun.size() - 11] = 4;
  EXPECT_TRUE(readMxAnswer(overrun).empty());

  // More answers announced than present.
  Bytes more = good;
  more[7] = 3;
  EXPECT_TRUE(readMxAnswer(more).empty());
}

TEST(RawPing, RequestAndReplies) {
  const auto request = echoRequest(0x1234, 7, 0xA0B0C0D0);
  EXPECT_EQ(request[0], 8);
  EXPECT_EQ(request[1], 0);
  EXPECT_EQ(internetChecksum(request), 0) << "a packet with its checksum sums to zero";
  for (std::size_t i = 0; i < 32; ++i) EXPECT_EQ(request[12 + i], 32 + i);

  // The reply: an IP header (with options when IHL is 6), then the echo
  // turned round.
  const auto reply = [&](std::uint8_t ihl, std::uint8_t type, std::size_t cut = 0) {
    Bytes d(static_cast<std::size_t>(ihl) * 4, 0);
    d[0] = static_cast<std::uint8_t>(0x40 | ihl);
    d[8] = 64;
    d.insert(d.end(), request.begin(), request.end());
    d[ihl * 4] = type;
    d.resize(d.size() - cut);
    return d;
  };
  const auto r5 = readEchoReply(reply(5, 0), 0x1234, 7);
  ASSERT_TRUE(r5);
  EXPECT_EQ(r5->ttl, 64);
  EXPECT_EQ(r5->ticks, 0xA0B0C0D0u);
  EXPECT_TRUE(readEchoReply(reply(6, 0), 0x1234, 7));
  EXPECT_FALSE(readEchoReply(reply(5, 8), 0x1234, 7)) << "our own request, seen on loopback";
  EXPECT_FALSE(readEchoReply(reply(5, 0), 0x1235, 7)) << "another ping's reply";
  EXPECT_FALSE(readEchoReply(reply(5, 0), 0x1234, 8)) << "an earlier sequence number";
  EXPECT_FALSE(readEchoReply(reply(5, 0, 33), 0x1234, 7)) << "too short for the tick count";
  EXPECT_FALSE(readEchoReply(reply(4, 0), 0x1234, 7)) << "a header length below 20";
  EXPECT_FALSE(readEchoReply(Bytes(10, 0), 0x1234, 7));
}

TEST(NameServers, Values) {
  const struct {
    const char* value;
    std::vector<std::string> addresses;
  } cases[] = {
      {"10.0.0.1 10.0.0.2", {"10.0.0.1", "10.0.0.2"}},
      {"1.2.3.4,5.6.7.8;9.9.9.9\t1.2.3.4", {"1.2.3.4", "5.6.7.8", "9.9.9.9", "1.2.3.4"}},
      {"  ,;1.1.1.1,,", {"1.1.1.1"}},
      {"dns.example 256.1.1.1 1.2.3 1.2.3.4.5 01.2.3.4", {"01.2.3.4"}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(nameServerAddresses(c.value), c.addresses) << c.value;
}

} // namespace
} // namespace plumex::hostlib::net
