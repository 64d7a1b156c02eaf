#include "hostlib/streams/stream_members.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <string>
#include <vector>

#include "hostlib/streams/memory_stream.h"
#include "hostlib/streams/string_stream.h"
#include "platform/ansi_text.h"
#include "script/values/conversions.h"
#include "script/values/factory.h"
#include "script/values/string_record.h"

namespace plumex::hostlib::streams {
namespace {

using script::Engine;
using script::Kind;
using script::Value;

// Little-endian numbers of N bytes; at the end of data the bytes that
// were there, zero-filled.
template <std::size_t N>
std::uint64_t readNumber(ByteIo& io) {
  std::uint8_t b[N]{};
  io.read(b);
  std::uint64_t v = 0;
  for (std::size_t i = N; i-- > 0;) v = v << 8 | b[i];
  return v;
}

template <std::size_t N>
bool writeNumber(ByteIo& io, std::uint64_t v) {
  std::uint8_t b[N];
  for (std::size_t i = 0; i < N; ++i) b[i] = static_cast<std::uint8_t>(v >> (8 * i));
  return io.write(b);
}

bool writeText(ByteIo& io, std::string_view ansi) {
  return io.write({reinterpret_cast<const std::uint8_t*>(ansi.data()), ansi.size()});
}

// Single precision of a number, without the undefined conversion of a
// double beyond float's range.
float toFloat(double d) {
  constexpr double kMax = std::numeric_limits<float>::max();
  if (d > kMax) return std::numeric_limits<float>::infinity();
  if (d < -kMax) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(d);
}

// "write": Booleans and Integers as 4 bytes, Strings as ANSI text, Floats
// as 8 bytes, a StringStream as its content; nothing for other kinds.
void writeValue(ByteIo& io, const Value& v) {
  switch (v.kind) {
    case Kind::Boolean: writeNumber<4>(io, v.booleanValue() ? 1 : 0); break;
    case Kind::Integer: writeNumber<4>(io, static_cast<std::uint64_t>(v.integerValue())); break;
    case Kind::String: writeText(io, utf16ToAnsi(v.asString()->view())); break;
    case Kind::Float: writeNumber<8>(io, std::bit_cast<std::uint64_t>(v.floatValue())); break;
    case Kind::Native:
      if (const auto content = stringStreamContent(v)) io.write(*content);
      break;
    default: break;
  }
}

std::string readString(ByteIo& io) {
  std::string text;
  for (int c = io.get(); c > 0; c = io.get()) text += static_cast<char>(c);
  return text;
}

std::u16string readUnicodeString(ByteIo& io) {
  std::u16string text;
  for (;;) {
    std::uint8_t b[2]{};
    const std::size_t n = io.read(b);
    const char16_t unit = static_cast<char16_t>(b[0] | b[1] << 8);
    if (n == 0 || unit == 0) break;
    text += unit;
    if (n < 2) break;
  }
  return text;
}

// The texts of "writeString" and "writeUnicodeString", made before any
// byte is written: making them may run script code. Copied out, since no
// root holds the Strings while the next argument's conversion runs.
std::vector<std::u16string> textsOf(Engine& e, const binding::Args& args) {
  std::vector<std::u16string> texts;
  texts.reserve(args.size());
  for (const Value& v : args.values()) texts.emplace_back(script::toStringValue(e, v).asString()->view());
  return texts;
}

// Each text and its terminator: ANSI bytes and a zero byte, or UTF-16
// units and a zero unit.
std::vector<std::uint8_t> terminatedTexts(const std::vector<std::u16string>& texts, bool unicode) {
  std::vector<std::uint8_t> bytes;
  for (const std::u16string& t : texts) {
    if (unicode) {
      for (char16_t unit : t) {
        bytes.push_back(static_cast<std::uint8_t>(unit));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
      }
      bytes.insert(bytes.end(), 2, 0);
    } else {
      const std::string ansi = utf16ToAnsi(t);
      bytes.insert(bytes.end(), ansi.begin(), ansi.end());
      bytes.push_back(0);
    }
  }
  return bytes;
}

} // namespace

std::optional<std::uint8_t> byteArgument(const binding::Args& args, std::size_t i) {
  if (const auto n = args.integer(i)) return static_cast<std::uint8_t>(*n);
  if (const Value* s = args.ofKind(i, Kind::String); s && s->asString()->length() > 0)
    return static_cast<std::uint8_t>(s->asString()->view()[0]);
  return std::nullopt;
}

std::optional<std::uint64_t> positionOf(const Value& v) {
  constexpr auto kLargest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (v.is(Kind::Integer) && v.integerValue() >= 0) return static_cast<std::uint64_t>(v.integerValue());
  if (v.is(Kind::Float) && v.floatValue() >= 0)
    return v.floatValue() >= 0x1p63 ? kLargest : static_cast<std::uint64_t>(v.floatValue());
  return std::nullopt;
}

bool sharedMember(Engine& e, void* self, StreamOf streamOf, int member, const binding::Args& args,
                  Value& result) {
  ByteIo& io = *streamOf(self);
  switch (member) {
    case kGet:
      result = Value::integer(io.get());
      return true;
    case kGetShort:
      result = Value::integer(static_cast<std::int16_t>(readNumber<2>(io)));
      return true;
    case kGetLong:
      result = Value::integer(static_cast<std::int32_t>(readNumber<4>(io)));
      return true;
    case kGetFloat:
      result = Value::number(std::bit_cast<float>(static_cast<std::uint32_t>(readNumber<4>(io))));
      return true;
    case kGetDouble:
      result = Value::number(std::bit_cast<double>(readNumber<8>(io)));
      return true;
    case kRead: {
      const auto count = args.integer(0);
      result = Value::undefined();
      if (!count || *count <= 0) return true;
      // At most what a StringStream may hold.
      const std::uint64_t n = std::min(static_cast<std::uint64_t>(*count), MemoryStream::kMaxSize);
      result = makeStringStream(e, io.readUpTo(n));
      return true;
    }
    case kReadString:
      result = script::makeString(e, readString(io));
      return true;
    case kReadUnicodeString:
      result = script::copyString(e, readUnicodeString(io));
      return true;
    case kPutShort:
      if (const auto n = args.integer(0)) writeNumber<2>(io, static_cast<std::uint64_t>(*n));
      return true;
    case kPutFloat:
      if (const Value* n = args.ofKind(0, Kind::Integer))
        writeNumber<4>(io, std::bit_cast<std::uint32_t>(static_cast<float>(n->integerValue())));
      else if (const Value* d = args.ofKind(0, Kind::Float))
        writeNumber<4>(io, std::bit_cast<std::uint32_t>(toFloat(d->floatValue())));
      return true;
    case kWrite:
    case kWriteLine:
      for (const Value& v : args.values()) writeValue(io, v);
      if (member == kWriteLine) writeText(io, "\r\n");
      return true;
    case kWriteString:
    case kWriteUnicodeString: {
      const std::vector<std::uint8_t> bytes = terminatedTexts(textsOf(e, args), member == kWriteUnicodeString);
      // The stream may have been closed meanwhile.
      if (ByteIo* now = streamOf(self)) now->write(bytes);
      return true;
    }
    default:
      return false;
  }
}

} // namespace plumex::hostlib::streams
