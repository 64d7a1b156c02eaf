#include "moviehost/external_interface.h"

#include <vector>

#include "binding/class_binding.h"
#include "moviehost/xml_document.h"
#include "moviehost/xml_values.h"
#include "platform/ansi_text.h"
#include "script/values/array_record.h"
#include "script/values/factory.h"
#include "script/values/native_cell.h"
#include "script/values/string_record.h"
#include "script/vm/engine_interface.h"
#include "script/vm/property_access.h"

namespace plumex::moviehost {

using script::ArgBlock;
using script::ClassRecord;
using script::Engine;
using script::Kind;
using script::Value;

namespace {

constexpr std::u16string_view kUndefined = u"<undefined/>";
constexpr std::uint64_t kMaxSpreadArguments = 65536;

// A global function standing for one of the movie's.
struct MovieFunction {
  ExternalInterface* owner;
  std::u16string name;
};

std::optional<Value> answerValue(Engine& e, std::u16string_view answer) {
  const std::optional<XmlElement> root = readXml(answer);
  if (!root) return std::nullopt;
  if (std::optional<Value> v = readXmlValue(e, *root)) return v;
  // An answer wrapped in an element of its own.
  const XmlElement* first = root->firstChild();
  return first ? readXmlValue(e, *first) : std::nullopt;
}

void callMovieFunction(Engine& e, ClassRecord&, void* instance, Value& result, ArgBlock block) {
  result = Value::undefined();
  auto* f = static_cast<MovieFunction*>(instance);
  if (!f) return;
  const std::size_t count = block.count() > 0 ? static_cast<std::size_t>(block.count()) : 0;
  const std::optional<std::u16string> request =
      invokeRequest(e, f->name, {block.values + 1, count}, &f->owner->handles(e));
  if (!request) return;
  const std::optional<std::u16string> answer = f->owner->callMovie(*request);
  if (!answer) return;
  if (std::optional<Value> v = answerValue(e, *answer)) result = *v;
}

// The text of a `string` argument element as a command takes it.
std::u16string commandText(const XmlElement* element) {
  if (!element || !element->is(u"string") || !element->text || *element->text == u"null") return {};
  return *element->text;
}

// The block a call takes: the count, then the values.
std::vector<Value> argumentBlock(std::span<const Value> values) {
  std::vector<Value> block{Value::integer(static_cast<std::int64_t>(values.size()))};
  block.insert(block.end(), values.begin(), values.end());
  return block;
}

std::string ansiOf(const Value& v) { return v.is(Kind::String) ? script::toAnsi(v) : std::string(); }

} // namespace

struct ExternalInterface::EngineState {
  EngineState(Engine& engine, HandleNumbers& numbers) : handles(engine, numbers) {}
  HandleTable handles;
  // The class of the movie's functions, held by its class object.
  script::Pin functionClass;
};

ExternalInterface::ExternalInterface(container::ApplicationEngine& engines, CommandDispatcher& commands,
                                     HandleNumbers& numbers, MovieFunctions& movie)
    : engines_(engines), commands_(commands), numbers_(numbers), movie_(movie) {
  endListener_ = engines_.onEngineEnd([this](Engine& engine) { states_.erase(&engine); });
}

ExternalInterface::~ExternalInterface() { engines_.removeEngineEndListener(endListener_); }

ExternalInterface::EngineState& ExternalInterface::stateOf(Engine& engine) {
  std::unique_ptr<EngineState>& state = states_[&engine];
  if (!state) state = std::make_unique<EngineState>(engine, numbers_);
  return *state;
}

HandleTable& ExternalInterface::handles(Engine& engine) { return stateOf(engine).handles; }

void ExternalInterface::publish(Engine& engine, std::u16string_view name) {
  EngineState& state = stateOf(engine);
  if (!state.functionClass.value().is(Kind::Native)) {
    ClassRecord* cls = script::newClass(engine);
    cls->call = callMovieFunction;
    cls->finalizeInstance = binding::deleteInstance<MovieFunction>;
    state.functionClass = script::Pin(engine, script::newNative(engine, cls, nullptr));
  }
  ClassRecord& cls = *state.functionClass.value().asNative()->classRecord();
  const Value function =
      binding::newInstance(engine, cls, std::make_unique<MovieFunction>(MovieFunction{this, std::u16string(name)}));
  engine.global(engine.intern(name)) = function;
}

std::u16string ExternalInterface::answer(std::u16string_view request) {
  const std::optional<XmlElement> document = readXml(request);
  const XmlElement* invoke = document ? document->find(u"invoke") : nullptr;
  if (!invoke) return std::u16string(kUndefined);
  const std::u16string* nameText = invoke->attribute(u"name");
  const std::u16string name = nameText ? *nameText : std::u16string();
  const XmlElement* arguments = nullptr;
  for (const XmlElement& child : invoke->children)
    if (child.is(u"arguments")) arguments = &child;
  const auto is = [&](std::u16string_view n) { return equalsNoCase(name, n); };

  std::u16string answer(kUndefined);
  const auto answerWith = [&](Engine& e, const Value& v) {
    answer = writeXmlValue(e, v, &handles(e)).value_or(std::u16string(kUndefined));
  };

  // The commands make the engine they need, as an fscommand does.
  if (is(u"quorv_run") || is(u"quorv_eval") || is(u"exec")) {
    const XmlElement* first = arguments ? arguments->firstChild() : nullptr;
    const std::u16string command = is(u"quorv_run") ? u"Quorv_Run" : is(u"quorv_eval") ? u"Quorv_Eval" : u"exec";
    commands_.dispatch(command, commandText(first), is(u"exec") ? Completion() : Completion(answerWith));
    return answer;
  }

  Engine* engine = engines_.current();
  if (!engine) return answer;
  const container::ApplicationEngine::Entry entry(engines_);
  Engine& e = *engine;
  HandleTable& table = handles(e);

  // Reading makes values, which never collects; they stay unrooted until
  // the call copies them onto the engine's stack.
  std::vector<Value> args;
  bool readable = true;
  if (!script::runProtected(e, [&] {
        if (!arguments) return;
        for (const XmlElement& child : arguments->children) {
          std::optional<Value> v = readXmlValue(e, child);
          if (!v) {
            readable = false;
            return;
          }
          args.push_back(*v);
        }
      }) ||
      !readable)
    return answer;
  const auto arg = [&](std::size_t i) { return i < args.size() ? args[i] : Value::undefined(); };

  // A host object: its handle number, or an object whose "Identifier"
  // holds one.
  const auto hostObject = [&](const Value& v) -> std::optional<Value> {
    if (std::optional<Value> o = table.find(v)) return o;
    Value id;
    if (v.is(Kind::Object) && script::vm::findProperty(e, v, e.internAnsi("Identifier"), id)) return table.find(id);
    return std::nullopt;
  };
  const auto withHostObjects = [&](std::span<const Value> values) {
    std::vector<Value> out(values.begin(), values.end());
    for (Value& v : out)
      if (v.is(Kind::Object))
        if (std::optional<Value> o = hostObject(v)) v = *o;
    return out;
  };
  const auto rest = [&](std::size_t from) {
    return withHostObjects(std::span<const Value>(args).subspan(std::min(from, args.size())));
  };

  Value result;
  const auto finish = [&](bool ok) {
    result = ok ? e.result : Value::undefined();
    if (!ok && !e.errorText().empty()) commands_.host().trace(e.errorText());
  };

  if (is(u"quorv_delete")) {
    return table.release(arg(0)) ? u"<true/>" : u"<false/>";
  } else if (is(u"quorv_new")) {
    if (!arg(0).is(Kind::String)) return answer;
    std::vector<Value> block = argumentBlock(rest(1));
    finish(script::vm::construct(e, ansiOf(arg(0)), ArgBlock{block.data()}));
  } else if (is(u"quorv_call") || is(u"quorv_call2")) {
    std::optional<Value> target = hostObject(arg(0));
    if (!target && is(u"quorv_call2") && arg(0).is(Kind::String)) {
      const Value& global = e.global(e.intern(arg(0).asString()->view()));
      if (global.is(Kind::Native) && global.asNative()->instance()) target = global;
    }
    if (!target || !arg(1).is(Kind::String)) return answer;
    std::vector<Value> values;
    if (is(u"quorv_call")) {
      values = rest(2);
    } else if (arg(2).is(Kind::Array)) {
      const script::ArrayRecord& list = *arg(2).asArray();
      // A movie names any length by one high index; a call takes fewer.
      if (list.length > kMaxSpreadArguments) return answer;
      std::vector<Value> elements;
      for (std::uint64_t i = 0; i < list.length; ++i) {
        const Value* v = list.get(i);
        elements.push_back(v ? *v : Value::undefined());
      }
      values = withHostObjects(elements);
    }
    std::vector<Value> block = argumentBlock(values);
    finish(script::vm::callMethod(e, *target, ansiOf(arg(1)), ArgBlock{block.data()}));
  } else if (is(u"quorv_getprop") || is(u"quorv_setprop")) {
    const std::optional<Value> target = hostObject(arg(0));
    if (!target || !arg(1).is(Kind::String)) return answer;
    const bool set = is(u"quorv_setprop");
    const Value stored = set && args.size() > 2 ? rest(2).front() : Value::undefined();
    finish(script::runProtected(e, [&] {
      const script::Atom atom = e.intern(arg(1).asString()->view());
      if (set) script::vm::setProperty(e, *target, atom, stored);
      else e.result = script::vm::getProperty(e, *target, atom);
    }));
    if (set) result = Value::undefined();
  } else if (is(u"quorv_seh")) {
    const std::optional<Value> target = hostObject(arg(0));
    if (!target || !arg(1).is(Kind::String) || !arg(2).is(Kind::String)) return answer;
    const std::u16string_view event = arg(1).asString()->view(), function = arg(2).asString()->view();
    // Both names go into generated script text: nothing else may.
    if (!isPlainIdentifier(event) || !isPlainIdentifier(function)) return answer;
    const std::string forwarder = "f" + std::to_string(table.handleFor(*target)) + "_" + utf16ToAnsi(event);
    const Value object = *target;
    finish(script::runProtected(e, [&] { publish(e, function); }) &&
           script::vm::runText(e, "function " + forwarder + "() { return _call('" + utf16ToAnsi(function) +
                                      "', arguments);}") &&
           script::runProtected(e, [&] {
             script::vm::setProperty(e, object, e.intern(event), e.global(e.internAnsi(forwarder)));
           }));
    result = Value::undefined();
  } else {
    std::vector<Value> block = argumentBlock(rest(0));
    finish(script::vm::callFunction(e, utf16ToAnsi(name), ArgBlock{block.data()}));
  }
  answerWith(e, result);
  return answer;
}

std::optional<std::u16string> invokeRequest(Engine& engine, std::u16string_view name,
                                            std::span<const Value> arguments, HandleIssuer* handles) {
  std::u16string request = u"<invoke name=\"" + escapeXml(name) + u"\" returntype=\"xml\"><arguments>";
  for (const Value& v : arguments) {
    const std::optional<std::u16string> element = writeXmlValue(engine, v, handles);
    if (!element) return std::nullopt;
    request += *element;
  }
  return request + u"</arguments></invoke>";
}

bool isPlainIdentifier(std::u16string_view text) {
  if (text.empty()) return false;
  for (char16_t c : text) {
    const bool ok = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
                    c == u'$';
    if (!ok) return false;
  }
  return true;
}

} // namespace plumex::moviehost
