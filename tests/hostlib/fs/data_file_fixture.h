#pragma once
// An engine with the built-in classes, DataFile and INI, a global show(v)
// that reports String(v), and a scratch folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "binding/class_binding.h"
#include "hostlib/fs/data_file_class.h"
#include "hostlib/fs/ini_class.h"
#include "platform/files.h"
#include "script/builtins/builtins.h"
#include "script/values/conversions.h"
#include "script/values/factory.h"
#include "script/vm/engine_interface.h"

namespace plumex::hostlib::fs::testing {

class DataFileScript : public ::testing::Test {
protected:
  DataFileScript() : engine_(script::vm::createEngine(setup())), e(*engine_) {
    e.setWarningSink([](void* data, std::string_view text) {
      static_cast<std::vector<std::string>*>(data)->emplace_back(text);
    }, &lines_);
  }

  void SetUp() override {
    // Parameterised tests have "/" in their names.
    std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(test.begin(), test.end(), '/', '-');
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir_ = (std::filesystem::path(::testing::TempDir()) /
            ("plumex-datafile-" + test +
             "-" + std::to_string(stamp)))
               .string() +
           kPathSeparator;
    ASSERT_TRUE(makeDirectory(dir_));
  }
  void TearDown() override { removeTree(dir_); }

  static script::vm::EngineSetup setup() {
    script::vm::EngineSetup s;
    s.registerClasses = [](script::Engine& engine) {
      script::builtins::registerPortableClasses(engine);
      registerDataFileClass(engine);
      registerIniClass(engine);
      binding::registerFunction(engine, "show", [](script::Engine& en, script::ClassRecord&, void*,
                                                   script::Value& result, script::ArgBlock args) {
        en.warn(args.count() > 0 ? script::toAnsi(script::toStringValue(en, args[0])) : "(nothing)");
        result = script::Value::undefined();
      });
    };
    return s;
  }

  // The lines the script showed or was warned about, joined by " | "; a
  // failed run ends with its error text.
  std::string run(std::string_view source) {
    lines_.clear();
    if (!script::vm::runText(e, source)) lines_.push_back("error: " + e.errorText());
    std::string out;
    for (const std::string& line : lines_) out += (out.empty() ? "" : " | ") + line;
    return out;
  }

  std::string path(std::string_view name) const { return dir_ + std::string(name); }
  // A path as a script string literal.
  std::string literal(std::string_view name) const {
    std::string out = "\"";
    for (char c : path(name)) {
      if (c == '\\' || c == '"') out += '\\';
      out += c;
    }
    return out + "\"";
  }
  std::string read(std::string_view name) const {
    std::ifstream f(path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
  void write(std::string_view name, std::string_view bytes) const {
    std::ofstream f(path(name), std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  std::vector<std::string> listing() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::unique_ptr<script::Engine> engine_;
  script::Engine& e;
  std::string dir_;

private:
  std::vector<std::string> lines_;
};

} // namespace plumex::hostlib::fs::testing
