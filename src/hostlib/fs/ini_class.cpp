#include "hostlib/fs/ini_class.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "hostlib/fs/ini_profile.h"
#include "hostlib/fs/path_checks.h"
#include "platform/ansi_text.h"
#include "script/values/array_record.h"
#include "script/values/conversions.h"
#include "script/values/factory.h"

namespace plumex::hostlib::fs {
namespace {

using binding::Args;
using script::ArgBlock;
using script::Atom;
using script::ClassRecord;
using script::Engine;
using script::Kind;
using script::Value;

enum Member {
  kGetInt,
  kGetString,
  kGetSection,
  kGetSectionNames,
  kWriteString,
  kWriteSection,
  kDeleteSection,
  kDeleteKey
};
constexpr std::string_view kMembers[] = {"getInt",       "getString",    "getSection",    "getSectionNames",
                                         "writeString",  "writeSection", "deleteSection", "deleteKey"};

constexpr std::u16string_view kKeyNotFound = u"key not found";

// Text the ANSI code page holds exactly: the file and the system's
// functions see that page, where another character would turn into "?"
// and name something else.
bool fitsCodePage(std::u16string_view text) { return ansiToUtf16(utf16ToAnsi(text)) == text; }

std::optional<std::u16string> textArgument(const Args& args, std::size_t i) {
  const Value* v = args.ofKind(i, Kind::String);
  if (!v) return std::nullopt;
  const std::u16string_view text = script::stringText(*v);
  if (!fitsCodePage(text)) return std::nullopt;
  return std::u16string(text);
}

// CR, LF or NUL would be written raw, forging or hiding lines.
bool forgesLines(std::u16string_view text) {
  return text.find_first_of(std::u16string_view(u"\r\n\0", 3)) != std::u16string_view::npos;
}

// A name a write may use: a section or a key that reads back as itself.
bool isWritableName(std::u16string_view name, bool key) {
  return !name.empty() && !forgesLines(name) && !(key && name.find(u'=') != std::u16string_view::npos);
}

// The array is the result before its strings are made, so that the
// collector sees it.
void stringArray(Engine& e, Value& result, const std::vector<std::u16string>& texts) {
  script::ArrayRecord* array = script::newArray(e);
  result = Value::array(array);
  for (std::size_t i = 0; i < texts.size(); ++i) array->set(e.heap(), i, script::copyString(e, texts[i]));
  array->length = texts.size();
}

// The array's elements in index order, each as a line; nothing when one
// is not a line the file can hold.
std::optional<std::vector<std::u16string>> linesOf(Engine& e, const Value& v) {
  if (!v.is(Kind::Array)) return std::nullopt;
  script::ArrayRecord* array = v.asArray();
  std::vector<std::u16string> lines;
  for (auto i = array->nextIndex(0); i; i = array->nextIndex(*i + 1)) {
    // Converting may run script that changes the array: the element is
    // copied out, and the next one looked up afresh.
    const Value element = *array->get(*i);
    const Value text = script::toStringValue(e, element);
    const std::u16string_view line = script::stringText(text);
    if (forgesLines(line) || !fitsCodePage(line)) return std::nullopt;
    lines.emplace_back(line);
    if (*i == UINT64_MAX) break;
  }
  return lines;
}

bool writeString(const IniProfile& ini, const Args& args) {
  const auto section = textArgument(args, 0), key = textArgument(args, 1), value = textArgument(args, 2);
  return section && key && value && isWritableName(*section, false) && isWritableName(*key, true) &&
         !forgesLines(*value) && ini.writeString(*section, *key, *value);
}

bool writeSection(Engine& e, const IniProfile& ini, const Args& args) {
  const auto section = textArgument(args, 0);
  if (!section || !isWritableName(*section, false)) return false;
  const auto lines = linesOf(e, args[1]);
  return lines && ini.writeSection(*section, *lines);
}

bool deleteKey(const IniProfile& ini, const Args& args) {
  const auto section = textArgument(args, 0), key = textArgument(args, 1);
  return section && key && isWritableName(*section, false) && isWritableName(*key, true) &&
         ini.deleteKey(*section, *key);
}

// Each member's answer; the class object, which names no file, gives the
// failure values.
void runMember(Engine& e, const IniProfile* ini, int member, const Args& args, Value& result) {
  const auto section = textArgument(args, 0);
  switch (member) {
    case kGetInt: {
      const auto key = textArgument(args, 1);
      result = Value::integer(ini && section && key ? ini->integer(*section, *key) : 0);
      break;
    }
    case kGetString: {
      const auto key = textArgument(args, 1);
      result = ini && section && key ? script::copyString(e, ini->string(*section, *key, kKeyNotFound)) : Value::null();
      break;
    }
    case kGetSection:
      stringArray(e, result, ini && section ? ini->sectionLines(*section) : std::vector<std::u16string>());
      break;
    case kGetSectionNames:
      stringArray(e, result, ini ? ini->sectionNames() : std::vector<std::u16string>());
      break;
    case kWriteString: result = Value::boolean(ini && writeString(*ini, args)); break;
    case kWriteSection: result = Value::boolean(ini && writeSection(e, *ini, args)); break;
    case kDeleteSection:
      result = Value::boolean(ini && section && args.size() == 1 && isWritableName(*section, false) &&
                              ini->deleteSection(*section));
      break;
    case kDeleteKey: result = Value::boolean(ini && deleteKey(*ini, args)); break;
  }
}

bool iniMethod(Engine& e, ClassRecord& cls, void* self, Atom atom, Value& result, ArgBlock block) {
  if (atom == script::kAtomToString) {
    result = binding::classObjectText(e, cls);
    return true;
  }
  const int member = binding::members(cls).find(atom);
  if (member < 0) return !self && binding::classObjectMethod(e, cls, atom, result);
  runMember(e, static_cast<const IniProfile*>(self), member, Args(block), result);
  return true;
}

// new INI(path): null without a usable path.
void constructIni(Engine& e, ClassRecord& cls, ArgBlock block, Value& result) {
  const auto path = textArgument(Args(block), 0);
  std::string ansi = path ? utf16ToAnsi(*path) : std::string();
  result = isUsablePath(ansi) ? binding::newInstance(e, cls, std::make_unique<IniProfile>(std::move(ansi)))
                              : Value::null();
}

void callIni(Engine& e, ClassRecord& cls, void*, Value& result, ArgBlock block) { constructIni(e, cls, block, result); }

} // namespace

void registerIniClass(Engine& engine) {
  ClassRecord& cls = binding::registerClass(engine, {.name = "INI",
                                                     .members = kMembers,
                                                     .call = callIni,
                                                     .method = iniMethod,
                                                     .property = binding::declineProperties,
                                                     .construct = constructIni,
                                                     .finalizeInstance = binding::deleteInstance<IniProfile>});
  engine.global(engine.internAnsi("Ini")) = engine.global(binding::members(cls).className());
}

} // namespace plumex::hostlib::fs
