// StringStream: a growable in-memory byte stream with read and write
// positions of its own, which also compresses and checksums its content.

#include <memory>
#include <string>
#include <string_view>

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "binding/instance_holder.h"
#include "hostlib/streams/memory_stream.h"
#include "hostlib/streams/replace_file.h"
#include "hostlib/streams/stream_classes.h"
#include "hostlib/streams/stream_members.h"
#include "hostlib/streams/string_stream.h"
#include "hostlib/streams/zlib_codec.h"
#include "platform/files.h"
#include "script/values/factory.h"
#include "script/values/native_cell.h"

namespace plumex::hostlib::streams {
namespace {

using binding::Args;
using binding::members;
using script::ArgBlock;
using script::Atom;
using script::ClassRecord;
using script::Engine;
using script::Kind;
using script::Value;

using Holder = binding::InstanceHolder<MemoryStream>;

enum OwnMember : int {
  kSaveToFile = kSharedMemberCount, kReadFromFile, kCompress, kUncompress,
  // The properties.
  kCrc, kGetPos, kPutPos, kEof, kLength, kStreamIn, kStreamOut, kStreamEof
};
constexpr std::string_view kOwnMembers[] = {"saveToFile", "readFromFile", "compress", "uncompress",
                                            "crc",        "getPos",       "putPos",   "eof",
                                            "length",     "$STREAM_IN",   "$STREAM_OUT", "$STREAM_EOF"};
constexpr auto kMembers = memberNames(kOwnMembers);
constexpr binding::Constant kConstants[] = {{"$STREAM_IN", 1}, {"$STREAM_OUT", 2}, {"$STREAM_EOF", -1}};
constexpr int kDefaultLevel = 6;

// A global that scripts cannot name holds the class object too: streams
// made for native code get the class registered here even after a script
// replaced the global "StringStream", and the class lives as long as the
// engine.
constexpr std::string_view kKeeperGlobal = "StringStream class for native code";

bool stringStreamMethod(Engine& e, ClassRecord& cls, void* self, Atom atom, Value& result, ArgBlock block);

ByteIo* streamOfInstance(void* self) { return Holder::from(self); }

// Told by the class's own hook: the instance data is then ours whatever
// global names the class.
MemoryStream* streamOf(const Value& v) {
  if (!v.is(Kind::Native) || v.asNative()->classRecord()->method != stringStreamMethod) return nullptr;
  return Holder::from(v.asNative()->instance());
}

Value newStream(Engine& e, ClassRecord& cls, std::unique_ptr<MemoryStream> stream) {
  // Collections pace themselves by what the heap holds; the buffer counts.
  e.heap().charge(stream->capacity());
  return binding::newInstance(e, cls, std::make_unique<Holder>(std::move(stream)));
}

Value fromBytes(Engine& e, ClassRecord& cls, std::optional<std::vector<std::uint8_t>> bytes, Value failure) {
  return bytes ? newStream(e, cls, std::make_unique<MemoryStream>(std::move(*bytes))) : failure;
}

std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path) {
  InputFile file;
  if (!file.open(path)) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  constexpr std::size_t kBlock = 64 * 1024;
  for (;;) {
    const std::size_t at = bytes.size();
    if (at > MemoryStream::kMaxSize) return std::nullopt;
    bytes.resize(at + kBlock);
    const std::size_t got = file.read(bytes.data() + at, kBlock);
    bytes.resize(at + got);
    if (got == 0) return bytes;
  }
}

// A line feed ends a line; a carriage return is dropped, and ends the line
// when a line feed (taken too) or the end follows it.
std::string readLine(MemoryStream& s) {
  std::string line;
  for (int c = s.get(); c >= 0 && c != '\n'; c = s.get()) {
    if (c != '\r') {
      line += static_cast<char>(c);
      continue;
    }
    const int next = s.peek();
    if (next < 0) break;
    if (next == '\n') {
      s.get();
      break;
    }
  }
  return line;
}

std::string_view asChars(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

bool isProperty(int member) { return member >= kCrc; }

// The members of an open stream that are not shared with FileStream.
void ownMember(Engine& e, ClassRecord& cls, void* self, MemoryStream& s, int member, const Args& args,
               Value& result) {
  switch (member) {
    case kReadLine:
      result = script::makeString(e, readLine(s));
      break;
    case kPut:
      if (const auto b = byteArgument(args, 0)) s.write({&*b, 1});
      break;
    case kUnget:
      if (!args.has(0)) s.unget();
      else if (const auto b = byteArgument(args, 0)) s.unget(*b);
      break;
    case kFlush:
      break;
    case kClose:
      Holder::holder(self)->close();
      break;
    case kSaveToFile: {
      const auto path = args.text(0);
      result = Value::boolean(path && replaceFile(*path, s.content()));
      break;
    }
    case kCompress: {
      // Checked here: a level that does not fit an int must not wrap into
      // one that zlib takes.
      const std::int64_t level = args.integer(0).value_or(kDefaultLevel);
      const bool valid = level >= -1 && level <= 9;
      result = fromBytes(e, cls, valid ? deflateBlock(s.content(), static_cast<int>(level)) : std::nullopt,
                         Value::null());
      break;
    }
    case kUncompress:
      result = fromBytes(e, cls, inflateBlock(s.content()), Value::null());
      break;
  }
}

bool stringStreamMethod(Engine& e, ClassRecord& cls, void* self, Atom atom, Value& result, ArgBlock block) {
  const int member = members(cls).find(atom);
  const Args args(block);
  if (member == kReadFromFile && (!self || Holder::from(self))) {
    const auto path = args.text(0);
    result = fromBytes(e, cls, path ? readWholeFile(*path) : std::nullopt, Value::undefined());
    return true;
  }
  if (!self) {
    if (binding::classObjectMethod(e, cls, atom, result)) return true;
    result = Value::undefined();
    return member >= 0 && !isProperty(member);
  }
  MemoryStream* s = Holder::from(self);
  if (atom == script::kAtomToString) {
    result = s ? script::makeString(e, asChars(s->content())) : Value::undefined();
    return true;
  }
  if (member < 0 || isProperty(member)) return false;
  result = Value::undefined();
  if (!s) return true;  // closed
  const std::size_t room = s->capacity();
  if (!sharedMember(e, self, streamOfInstance, member, args, result)) ownMember(e, cls, self, *s, member, args, result);
  // Its growth is charged while it is open (a script may have closed it).
  if (const MemoryStream* now = Holder::from(self); now && now->capacity() > room)
    e.heap().charge(now->capacity() - room);
  return true;
}

bool stringStreamProperty(Engine& e, ClassRecord& cls, void* self, Atom atom, bool set, Value& io) {
  if (!set) io = Value::undefined();
  const int member = members(cls).find(atom);
  if (!isProperty(member)) return false;
  if (member >= kStreamIn) {
    if (!set) io = Value::integer(kConstants[member - kStreamIn].value);
    return true;
  }
  MemoryStream* s = Holder::from(self);
  if (!s) return true;
  switch (member) {
    case kCrc:
      if (!set) io = Value::integer(crc32Of(s->content()));
      break;
    case kGetPos:
    case kPutPos:
      if (!set) {
        io = Value::integer(static_cast<std::int64_t>(member == kGetPos ? s->readPosition() : s->writePosition()));
      } else if (const auto at = positionOf(io); at && member == kGetPos) {
        s->seekRead(*at);
      } else if (at) {
        s->seekWrite(*at);
      }
      break;
    case kEof:
      if (!set) io = Value::boolean(s->eof());
      break;
    case kLength:
      if (!set) {
        io = Value::integer(static_cast<std::int64_t>(s->content().size()));
      } else if (io.is(Kind::Integer) && io.integerValue() > 0) {
        const std::size_t room = s->capacity();
        s->extend(static_cast<std::uint64_t>(io.integerValue()));
        if (s->capacity() > room) e.heap().charge(s->capacity() - room);
      }
      break;
  }
  return true;
}

void constructStringStream(Engine& e, ClassRecord& cls, ArgBlock block, Value& result) {
  const auto mode = Args(block).integer(0);
  result = newStream(e, cls, std::make_unique<MemoryStream>(
                                 mode ? static_cast<int>(*mode) : MemoryStream::kIn | MemoryStream::kOut));
}

void callStringStream(Engine& e, ClassRecord& cls, void*, Value& result, ArgBlock block) {
  constructStringStream(e, cls, block, result);
}

} // namespace

Value makeStringStream(Engine& engine, std::vector<std::uint8_t> bytes) {
  const Value keeper = engine.global(engine.internAnsi(kKeeperGlobal));
  if (!keeper.is(Kind::Native)) return Value::null();
  return newStream(engine, *keeper.asNative()->classRecord(), std::make_unique<MemoryStream>(std::move(bytes)));
}

std::optional<std::span<const std::uint8_t>> stringStreamContent(const Value& v) {
  const MemoryStream* s = streamOf(v);
  if (!s) return std::nullopt;
  return std::span<const std::uint8_t>(s->content());
}

void registerStringStreamClass(Engine& engine) {
  ClassRecord& cls = binding::registerClass(engine, {.name = "StringStream",
                                                     .members = kMembers,
                                                     .call = callStringStream,
                                                     .method = stringStreamMethod,
                                                     .property = stringStreamProperty,
                                                     .construct = constructStringStream,
                                                     .finalizeInstance = Holder::finalize,
                                                     .constants = kConstants});
  const Atom keeper = engine.internAnsi(kKeeperGlobal);
  engine.global(keeper) = engine.global(members(cls).className());
}

void registerStreamClasses(Engine& engine) {
  registerFileStreamClass(engine);
  registerStringStreamClass(engine);
}

} // namespace plumex::hostlib::streams
