// FileStream, also the global "Stream": a stream over a file opened in
// byte mode, or over a temporary file removed when closed.

#include <memory>
#include <string_view>

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "binding/instance_holder.h"
#include "hostlib/streams/file_stream.h"
#include "hostlib/streams/stream_classes.h"
#include "hostlib/streams/stream_members.h"
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

using Holder = binding::InstanceHolder<FileStream>;

// All three are properties.
enum OwnMember : int { kPos = kSharedMemberCount, kLength, kEof };
constexpr std::string_view kOwnMembers[] = {"pos", "length", "eof"};
constexpr auto kMembers = memberNames(kOwnMembers);

ByteIo* streamOfInstance(void* self) { return Holder::from(self); }

bool isProperty(int member) { return member >= kPos; }

// No argument: a temporary file; a path: that file, which must exist, for
// reading and writing; a path and a mode: the C library's open in byte
// mode.
std::unique_ptr<FileStream> openFor(const Args& args) {
  if (!args.has(0)) return FileStream::openTemporary();
  const auto path = args.text(0);
  if (!path) return nullptr;
  if (const auto mode = args.text(1)) return FileStream::open(*path, *mode);
  return FileStream::openExisting(*path);
}

void constructFileStream(Engine& e, ClassRecord& cls, ArgBlock block, Value& result) {
  std::unique_ptr<FileStream> file = openFor(Args(block));
  result = file ? binding::newInstance(e, cls, std::make_unique<Holder>(std::move(file))) : Value::null();
}

void callFileStream(Engine& e, ClassRecord& cls, void*, Value& result, ArgBlock block) {
  constructFileStream(e, cls, block, result);
}

void ownMember(Engine& e, void* self, FileStream& f, int member, const Args& args, Value& result) {
  switch (member) {
    case kReadLine:
      result = script::makeString(e, f.readLine());
      break;
    case kPut: {
      const auto b = byteArgument(args, 0);
      result = Value::boolean(b && f.put(*b));
      break;
    }
    case kUnget: {
      const auto b = byteArgument(args, 0);
      result = Value::boolean(!args.has(0) ? f.unget() : b && f.unget(*b));
      break;
    }
    case kFlush:
      result = Value::boolean(f.flush());
      break;
    case kClose:
      Holder::holder(self)->close();
      break;
  }
}

bool fileStreamMethod(Engine& e, ClassRecord& cls, void* self, Atom atom, Value& result, ArgBlock block) {
  const int member = members(cls).find(atom);
  if (!self) {
    if (binding::classObjectMethod(e, cls, atom, result)) return true;
    result = Value::undefined();
    return member >= 0 && !isProperty(member);
  }
  if (atom == script::kAtomToString) {
    result = binding::classObjectText(e, cls);
    return true;
  }
  if (member < 0 || isProperty(member)) return false;
  result = Value::undefined();
  FileStream* f = Holder::from(self);
  if (!f) return true;  // closed
  const Args args(block);
  if (!sharedMember(e, self, streamOfInstance, member, args, result)) ownMember(e, self, *f, member, args, result);
  return true;
}

bool fileStreamProperty(Engine&, ClassRecord& cls, void* self, Atom atom, bool set, Value& io) {
  if (!set) io = Value::undefined();
  const int member = members(cls).find(atom);
  if (!isProperty(member)) return false;
  FileStream* f = Holder::from(self);
  if (!f) return true;
  switch (member) {
    case kPos:
      if (!set) {
        if (const auto at = f->position()) io = Value::integer(static_cast<std::int64_t>(*at));
      } else if (const auto at = positionOf(io)) {
        f->seek(*at);
      }
      break;
    case kLength:
      if (!set) {
        if (const auto size = f->size()) io = Value::integer(static_cast<std::int64_t>(*size));
      } else if (const auto size = positionOf(io)) {
        f->truncate(*size);
      }
      break;
    case kEof:
      if (!set) io = Value::boolean(f->eof());
      break;
  }
  return true;
}

} // namespace

void registerFileStreamClass(Engine& engine) {
  ClassRecord& cls = binding::registerClass(engine, {.name = "FileStream",
                                                     .members = kMembers,
                                                     .call = callFileStream,
                                                     .method = fileStreamMethod,
                                                     .property = fileStreamProperty,
                                                     .construct = constructFileStream,
                                                     .finalizeInstance = Holder::finalize});
  const Atom alias = engine.internAnsi("Stream");
  engine.global(alias) = engine.global(members(cls).className());
}

} // namespace plumex::hostlib::streams
