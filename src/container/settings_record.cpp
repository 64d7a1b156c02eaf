#include "container/settings_record.h"

#include <algorithm>

#include "container/byte_io.h"
#include "container/prefixed_text.h"

namespace plumex::container {
namespace {

// One list of fields serves both directions, so reading and writing can
// never drift apart.
template <class Record, class Visitor> void visitFields(Record& r, Visitor& v) {
  for (auto* t : {&r.productName, &r.fileDescription, &r.companyName, &r.legalNotice,
                  &r.trademarks, &r.comments, &r.version})
    v.text(*t);

  auto& ap = r.appearance;
  v.u32(ap.windowShape), v.u32(ap.borderStyle), v.u32(ap.borderIcons), v.u32(ap.scaleMode);
  v.buffer(ap.maskName, kTextBuffer), v.buffer(ap.caption, kTextBuffer);

  auto& sp = r.sizeAndPos;
  v.u32(sp.windowSize), v.u16(sp.customWidth), v.u16(sp.customHeight);
  v.u32(sp.pos), v.u16(sp.customLeft), v.u16(sp.customTop), v.u32(sp.keepRatio);

  auto& in = r.interaction;
  v.u32(in.lBtnClk), v.u32(in.rBtnClk), v.u32(in.keyPress), v.u32(in.exitKeys);
  v.u32(in.restrictions), v.u16(in.hotKeyVk), v.u16(in.hotKeyModifiers);

  v.u32(r.behaviour.contextMenu), v.u32(r.behaviour.flags);

  v.u32(r.misc.flags), v.raw(r.misc.backgroundColor), v.buffer(r.misc.helpFile, kTextBuffer);
  v.zeroWord();

  auto& ab = r.about;
  v.text(ab.link1Caption), v.text(ab.link1Target), v.text(ab.link2Caption), v.text(ab.link2Target);
  v.u32(ab.link1Color), v.u32(ab.link2Color);
  for (auto* f : {&ab.font1, &ab.font2}) {
    v.i32(f->height), v.i32(f->width), v.i32(f->escapement), v.i32(f->orientation);
    v.i32(f->weight);
    v.u8(f->italic), v.u8(f->underline), v.u8(f->strikeOut), v.u8(f->charSet);
    v.u8(f->outPrecision), v.u8(f->clipPrecision), v.u8(f->quality), v.u8(f->pitchAndFamily);
    v.buffer(f->faceName, kFaceNameBuffer);
  }
  v.u32(ab.flags), v.u32(ab.unused), v.buffer(ab.aboutMovie, kTextBuffer);
  v.zeroWord();
  v.buffer(ab.picture, kTextBuffer);

  auto& pk = r.packager;
  v.u32(pk.a), v.text(pk.text), v.u32(pk.b), v.raw(pk.systemTime), v.u32(pk.c);
  v.buffer(pk.buffer, kTextBuffer), v.u16(pk.d), v.u16(pk.e);
}

struct Reader {
  ByteReader in;
  TextDecoder decode;
  void u8(std::uint8_t& x) { x = in.u8(); }
  void u16(std::uint16_t& x) { x = in.u16(); }
  void u32(std::uint32_t& x) { x = in.u32(); }
  void i32(std::int32_t& x) { x = in.i32(); }
  template <std::size_t N> void raw(std::array<std::uint8_t, N>& x) {
    const auto b = in.bytes(N);
    std::copy(b.begin(), b.end(), x.begin());
  }
  void text(std::optional<std::string>& x) { x = readDecodedText(in, decode, 0); }
  void buffer(std::string& x, std::size_t capacity) {
    x = readDecodedText(in, decode, capacity).value_or(std::string());
  }
  void zeroWord() { in.u32(); }
};

struct Writer {
  ByteWriter out;
  TextEncoder encode;
  void u8(std::uint8_t x) { out.u8(x); }
  void u16(std::uint16_t x) { out.u16(x); }
  void u32(std::uint32_t x) { out.u32(x); }
  void i32(std::int32_t x) { out.i32(x); }
  template <std::size_t N> void raw(const std::array<std::uint8_t, N>& x) { out.bytes(x); }
  void text(const std::optional<std::string>& x) {
    writePrefixedText(out, encode(x.value_or(std::string())));
  }
  void buffer(const std::string& x, std::size_t) { writePrefixedText(out, encode(x)); }
  void zeroWord() { out.u32(0); }
};

} // namespace

SettingsRecord readSettings(std::span<const std::uint8_t> data, TextDecoder decode) {
  SettingsRecord record;
  Reader reader{ByteReader(data), decode};
  visitFields(record, reader);
  return record;
}

std::vector<std::uint8_t> writeSettings(const SettingsRecord& record, TextEncoder encode) {
  Writer writer{ByteWriter(), encode};
  visitFields(record, writer);
  return writer.out.take();
}

} // namespace plumex::container
