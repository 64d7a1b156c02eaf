#pragma once
// An engine with the built-in classes and `Encryption`, running script
// text, with a scratch folder for files.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "hostlib/crypto/encryption_class.h"
#include "platform/ansi_text.h"
#include "scratch.h"
#include "script/builtins/builtins.h"
#include "script/values/conversions.h"
#include "script/values/factory.h"
#include "script/values/string_record.h"
#include "script/vm/engine_interface.h"

namespace plumex::hostlib::crypto::testing {

class EncryptionScript : public ScratchTest {
protected:
  EncryptionScript() : engine_(script::vm::createEngine(setup())), e(*engine_) {
    e.setWarningSink([](void* data, std::string_view text) {
      static_cast<std::vector<std::string>*>(data)->emplace_back(text);
    }, &warnings);
  }

  static script::vm::EngineSetup setup() {
    script::vm::EngineSetup s;
    s.registerClasses = [](script::Engine& engine) {
      script::builtins::registerPortableClasses(engine);
      registerEncryptionClass(engine);
    };
    return s;
  }

  // The value of the script's last expression: a String as its UTF-16
  // text, anything else as its kind in angle brackets (and its text).
  std::u16string run(std::string_view source) {
    if (!script::vm::runText(e, source)) return u"error: " + ansiToUtf16(e.errorText());
    const script::Value& v = e.result;
    if (v.is(script::Kind::String)) return std::u16string(v.asString()->view());
    if (v.is(script::Kind::Null)) return u"<null>";
    if (v.is(script::Kind::Undefined)) return u"<undefined>";
    const char* kind = v.is(script::Kind::Boolean) ? "<boolean> " : "<other> ";
    return ansiToUtf16(kind) + std::u16string(script::toStringValue(e, v).asString()->view());
  }

  // A script string literal of an ANSI text, such as a path.
  static std::string literal(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
      if (c == '\\' || c == '"') out += '\\';
      out += c;
    }
    return out + "\"";
  }

  std::unique_ptr<script::Engine> engine_;
  script::Engine& e;
  std::vector<std::string> warnings;
};

} // namespace plumex::hostlib::crypto::testing
