#include "hostlib/fs/data_file_class.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "hostlib/fs/data_file_cipher.h"
#include "hostlib/fs/data_file_io.h"
#include "platform/files.h"
#include "script/values/factory.h"

namespace plumex::hostlib::fs {
namespace {

using binding::Args;
using script::ArgBlock;
using script::Atom;
using script::ClassRecord;
using script::Engine;
using script::Value;

enum Member { kSave, kLoad, kRemove, kSaveAndEnc, kLoadAndDec };
constexpr std::string_view kMembers[] = {"save", "load", "remove", "saveAndEnc", "loadAndDec"};

// save(file, names...) and saveAndEnc: false unless every argument is a
// String and at least one name is given.
bool save(Engine& e, const Args& args, bool encipher) {
  const auto path = args.text(0);
  if (!path || args.size() < 2) return false;
  std::vector<std::string> names;
  for (std::size_t i = 1; i < args.size(); ++i) {
    auto name = args.text(i);
    if (!name) return false;
    names.push_back(std::move(*name));
  }
  return encipher ? saveEncipheredDataFile(e, *path, names) : saveDataFile(e, *path, names);
}

bool dataFileMethod(Engine& e, ClassRecord& cls, void*, Atom atom, Value& result, ArgBlock block) {
  const int member = binding::members(cls).find(atom);
  if (member < 0) return binding::classObjectMethod(e, cls, atom, result);
  const Args args(block);
  const auto path = args.text(0);
  switch (member) {
    case kSave: result = Value::boolean(save(e, args, false)); break;
    case kSaveAndEnc: result = Value::boolean(save(e, args, true)); break;
    case kLoadAndDec: result = Value::boolean(path && loadEncipheredDataFile(e, *path)); break;
    case kLoad: result = Value::boolean(path && loadDataFile(e, *path)); break;
    case kRemove: result = Value::boolean(path && removeFile(*path)); break;
  }
  return true;
}

void constructDataFile(Engine& e, ClassRecord& cls, ArgBlock, Value& result) {
  result = script::newNative(e, &cls, nullptr);
}

void callDataFile(Engine& e, ClassRecord& cls, void*, Value& result, ArgBlock block) {
  constructDataFile(e, cls, block, result);
}

} // namespace

void registerDataFileClass(Engine& engine) {
  binding::registerClass(engine, {.name = "DataFile",
                                  .members = kMembers,
                                  .call = callDataFile,
                                  .method = dataFileMethod,
                                  .property = binding::declineProperties,
                                  .construct = constructDataFile});
}

} // namespace plumex::hostlib::fs
