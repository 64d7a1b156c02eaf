#include "container/settings_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "container/container_errors.h"

namespace plumex::container {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Builds a stored record by hand, independent of the code under test.
struct Stored {
  Bytes b;
  void u8(std::uint8_t v) { b.push_back(v); }
  void u16(std::uint16_t v) { u8(static_cast<std::uint8_t>(v)), u8(static_cast<std::uint8_t>(v >> 8)); }
  void u32(std::uint32_t v) { u16(static_cast<std::uint16_t>(v)), u16(static_cast<std::uint16_t>(v >> 16)); }
  void text(std::u16string_view s) {
    u32(static_cast<std::uint32_t>(s.size() + 1));
    for (char16_t c : s) u16(c);
    u16(0);
  }
};

SettingsRecord sampleRecord() {
  SettingsRecord r;
  r.productName = "Prod";
  r.fileDescription = std::nullopt;
  r.companyName = "";
  r.legalNotice = "(c)";
  r.trademarks = "TM";
  r.comments = "Caf\xE9";
  r.version = "1.0";
  r.appearance = {2, 0x10, 0x111, 0x100, "logo", "Caf\xE9 \x80"};
  r.sizeAndPos = {3, 640, 480, 9, 10, 20, 1};
  r.interaction = {1, 2, 0x100, 0x11, 0x111, 0x70, 0x6};
  r.behaviour = {0x1113, 0x1011};
  r.misc = {0x1001, {0x11, 0x22, 0x33, 0x44}, "help\\app.chm"};
  r.about.link1Caption = "Home";
  r.about.link1Target = "http://x";
  r.about.link2Caption = std::nullopt;
  r.about.link2Target = "mailto:a@b";
  r.about.link1Color = 0x00FF0000;
  r.about.link2Color = 0x0000FF00;
  r.about.font1 = {-12, 5, 900, 1800, 700, 1, 2, 3, 4, 5, 6, 7, 0x22, "Arial"};
  r.about.font2 = {-1, -2, -3, -4, -5, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, ""};
  r.about.flags = 0x110;
  r.about.unused = 7;
  r.about.aboutMovie = "about.swf";
  r.about.picture = "";
  r.packager.a = 0xA1A2A3A4;
  r.packager.text = "pk";
  r.packager.b = 0xB1B2B3B4;
  for (std::size_t i = 0; i < 16; ++i) r.packager.systemTime[i] = static_cast<std::uint8_t>(0xC0 + i);
  r.packager.c = 0xD1D2D3D4;
  r.packager.buffer = "buf";
  r.packager.d = 0xE1E2;
  r.packager.e = 0xF1F2;
  return r;
}

struct Layout {
  Bytes bytes;
  std::size_t helpFileZero = 0, aboutMovieZero = 0;
};

// sampleRecord() as it must be stored, field by field.
Layout sampleStored() {
  Stored s;
  s.text(u"Prod");
  s.text(u"");  // absent: count 1 and a NUL
  s.text(u"");
  s.text(u"(c)");
  s.text(u"TM");
  s.text(u"Caf\u00E9");
  s.text(u"1.0");
  s.u32(2), s.u32(0x10), s.u32(0x111), s.u32(0x100);
  s.text(u"logo");
  s.text(u"Caf\u00E9 \u20AC");
  s.u32(3), s.u16(640), s.u16(480), s.u32(9), s.u16(10), s.u16(20), s.u32(1);
  s.u32(1), s.u32(2), s.u32(0x100), s.u32(0x11), s.u32(0x111), s.u16(0x70), s.u16(0x6);
  s.u32(0x1113), s.u32(0x1011);
  s.u32(0x1001), s.u8(0x11), s.u8(0x22), s.u8(0x33), s.u8(0x44);
  s.text(u"help\\app.chm");
  Layout layout;
  layout.helpFileZero = s.b.size();
  s.u32(0);
  s.text(u"Home"), s.text(u"http://x"), s.text(u""), s.text(u"mailto:a@b");
  s.u32(0x00FF0000), s.u32(0x0000FF00);
  s.u32(static_cast<std::uint32_t>(-12)), s.u32(5), s.u32(900), s.u32(1800), s.u32(700);
  for (std::uint8_t v : {1, 2, 3, 4, 5, 6, 7, 0x22}) s.u8(v);
  s.text(u"Arial");
  for (int v : {-1, -2, -3, -4, -5}) s.u32(static_cast<std::uint32_t>(v));
  for (std::uint8_t v : {0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8}) s.u8(v);
  s.text(u"");
  s.u32(0x110), s.u32(7);
  s.text(u"about.swf");
  layout.aboutMovieZero = s.b.size();
  s.u32(0);
  s.text(u"");
  s.u32(0xA1A2A3A4), s.text(u"pk"), s.u32(0xB1B2B3B4);
  for (std::uint8_t i = 0; i < 16; ++i) s.u8(static_cast<std::uint8_t>(0xC0 + i));
  s.u32(0xD1D2D3D4), s.text(u"buf"), s.u16(0xE1E2), s.u16(0xF1F2);
  layout.bytes = std::move(s.b);
  return layout;
}

TEST(SettingsRecord, WritesEveryFieldInItsStoredOrder) {
  const Layout expected = sampleStored();
  const Bytes stored = writeSettings(sampleRecord());
  ASSERT_EQ(stored.size(), expected.bytes.size());
  for (std::size_t i = 0; i < stored.size(); ++i)
    ASSERT_EQ(stored[i], expected.bytes[i]) << "first difference at offset " << i;
}

TEST(SettingsRecord, ReadsEveryFieldFromItsStoredOrder) {
  const SettingsRecord r = readSettings(sampleStored().bytes);
  EXPECT_EQ(r.productName, "Prod");
  EXPECT_EQ(r.fileDescription, "");  // stored as count 1, so present and empty
  EXPECT_EQ(r.legalNotice, "(c)");
  EXPECT_EQ(r.comments, "Caf\xE9");
  EXPECT_EQ(r.version, "1.0");
  EXPECT_EQ(r.appearance.windowShape, 2u);
  EXPECT_EQ(r.appearance.scaleMode, 0x100u);
  EXPECT_EQ(r.appearance.maskName, "logo");
  EXPECT_EQ(r.appearance.caption, "Caf\xE9 \x80");
  EXPECT_EQ(r.sizeAndPos.customWidth, 640);
  EXPECT_EQ(r.sizeAndPos.customHeight, 480);
  EXPECT_EQ(r.sizeAndPos.pos, 9u);
  EXPECT_EQ(r.sizeAndPos.customTop, 20);
  EXPECT_EQ(r.sizeAndPos.keepRatio, 1u);
  EXPECT_EQ(r.interaction.restrictions, 0x111u);
  EXPECT_EQ(r.interaction.hotKeyVk, 0x70);
  EXPECT_EQ(r.interaction.hotKeyModifiers, 0x6);
  EXPECT_EQ(r.behaviour.contextMenu, 0x1113u);
  EXPECT_EQ(r.behaviour.flags, 0x1011u);
  EXPECT_EQ(r.misc.flags, 0x1001u);
  EXPECT_EQ(r.misc.backgroundColor, (std::array<std::uint8_t, 4>{0x11, 0x22, 0x33, 0x44}));
  EXPECT_EQ(r.misc.helpFile, "help\\app.chm");
  EXPECT_EQ(r.about.link1Target, "http://x");
  EXPECT_EQ(r.about.link2Target, "mailto:a@b");
  EXPECT_EQ(r.about.link2Color, 0x0000FF00u);
  EXPECT_EQ(r.about.font1.height, -12);
  EXPECT_EQ(r.about.font1.orientation, 1800);
  EXPECT_EQ(r.about.font1.weight, 700);
  EXPECT_EQ(r.about.font1.italic, 1);
  EXPECT_EQ(r.about.font1.pitchAndFamily, 0x22);
  EXPECT_EQ(r.about.font1.faceName, "Arial");
  EXPECT_EQ(r.about.font2.width, -2);
  EXPECT_EQ(r.about.font2.quality, 0xF7);
  EXPECT_EQ(r.about.flags, 0x110u);
  EXPECT_EQ(r.about.unused, 7u);
  EXPECT_EQ(r.about.aboutMovie, "about.swf");
  EXPECT_EQ(r.about.picture, "");
  EXPECT_EQ(r.packager.a, 0xA1A2A3A4u);
  EXPECT_EQ(r.packager.text, "pk");
  EXPECT_EQ(r.packager.systemTime[15], 0xCF);
  EXPECT_EQ(r.packager.c, 0xD1D2D3D4u);
  EXPECT_EQ(r.packager.buffer, "buf");
  EXPECT_EQ(r.packager.d, 0xE1E2);
  EXPECT_EQ(r.packager.e, 0xF1F2);
}

TEST(SettingsRecord, IgnoresTheTwoSpareWordsAndReadsCountZeroAsAbsent) {
  const Layout layout = sampleStored();
  Bytes stored = layout.bytes;
  for (std::size_t at : {layout.helpFileZero, layout.aboutMovieZero})
    for (std::size_t i = 0; i < 4; ++i) stored[at + i] = 0xFF;
  EXPECT_EQ(writeSettings(readSettings(stored)), layout.bytes);

  // The product name "Prod" (count 5) replaced by count 0.
  Bytes absent = {0, 0, 0, 0};
  absent.insert(absent.end(), layout.bytes.begin() + 14, layout.bytes.end());
  const SettingsRecord r = readSettings(absent);
  EXPECT_EQ(r.productName, std::nullopt);
  EXPECT_EQ(r.version, "1.0");
  EXPECT_EQ(r.packager.e, 0xF1F2);
}

TEST(SettingsRecord, RoundTripsAFullRecord) {
  const SettingsRecord original = sampleRecord();
  const Bytes stored = writeSettings(original);
  const SettingsRecord back = readSettings(stored);
  EXPECT_EQ(writeSettings(back), stored);
  EXPECT_EQ(back.about.font2.charSet, 0xF4);
  EXPECT_EQ(back.packager.b, 0xB1B2B3B4u);

  // A zero-filled record, as start-up holds before loading, survives too.
  const Bytes empty = writeSettings(SettingsRecord{});
  EXPECT_EQ(writeSettings(readSettings(empty)), empty);
}

TEST(SettingsRecord, CutsTextsToTheirBuffers) {
  SettingsRecord r = sampleRecord();
  const std::string longText(300, 'x');
  r.appearance.maskName = r.appearance.caption = r.misc.helpFile = longText;
  r.about.aboutMovie = r.about.picture = r.packager.buffer = longText;
  r.about.font1.faceName = std::string(40, 'f');
  r.about.font2.faceName = std::string(31, 'g');
  r.productName = r.about.link1Caption = r.packager.text = longText;

  const SettingsRecord back = readSettings(writeSettings(r));
  const std::string cut(259, 'x');
  EXPECT_EQ(back.appearance.maskName, cut);
  EXPECT_EQ(back.appearance.caption, cut);
  EXPECT_EQ(back.misc.helpFile, cut);
  EXPECT_EQ(back.about.aboutMovie, cut);
  EXPECT_EQ(back.about.picture, cut);
  EXPECT_EQ(back.packager.buffer, cut);
  EXPECT_EQ(back.about.font1.faceName, std::string(31, 'f'));
  EXPECT_EQ(back.about.font2.faceName, std::string(31, 'g'));
  // Text pointers own heap copies of any length.
  EXPECT_EQ(back.productName, longText);
  EXPECT_EQ(back.about.link1Caption, longText);
  EXPECT_EQ(back.packager.text, longText);
  // Fields after the long texts are still in their places.
  EXPECT_EQ(back.about.font1.weight, 700);
  EXPECT_EQ(back.packager.e, 0xF1F2);
}

TEST(SettingsRecord, EveryTruncationThrows) {
  const Bytes stored = writeSettings(sampleRecord());
  for (std::size_t cut = 0; cut < stored.size(); ++cut) {
    SCOPED_TRACE(cut);
    EXPECT_THROW(readSettings(std::span(stored).first(cut)), FormatError);
  }
  // A text count that claims more than the record holds.
  Bytes huge = stored;
  huge[0] = huge[1] = huge[2] = 0xFF;
  huge[3] = 0x7F;
  EXPECT_THROW(readSettings(huge), FormatError);
}

} // namespace
} // namespace plumex::container
