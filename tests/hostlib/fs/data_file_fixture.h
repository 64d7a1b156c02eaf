#pragma once
// An engine with the built-in classes, DataFile and INI, a global show(v)
// that reports String(v), and a scratch folder.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "hostlib/fs/data_file_class.h"
#include "hostlib/fs/ini_class.h"
#include "scratch_folder.h"
#include "script/builtins/builtins.h"
#include "script_session.h"

namespace plumex::hostlib::fs::testing {

inline std::string textOf(script::Engine& e, const script::Value& v) {
  return script::toAnsi(script::toStringValue(e, v));
}

class DataFileScript : public ::testing::Test {
protected:
  DataFileScript() : session_(registerClasses), e(session_.engine()) {}

  void SetUp() override {
    ASSERT_TRUE(scratch_.make("plumex-datafile"));
    dir_ = scratch_.dir();
  }
  void TearDown() override { scratch_.remove(); }

  static void registerClasses(script::Engine& engine) {
    script::builtins::registerPortableClasses(engine);
    registerDataFileClass(engine);
    registerIniClass(engine);
    test::registerShow<textOf>(engine);
  }

  std::string run(std::string_view source) { return session_.run(source); }
  std::string path(std::string_view name) const { return scratch_.path(name); }
  std::string literal(std::string_view name) const { return scratch_.literal(name); }
  std::string read(std::string_view name) const { return scratch_.read(name); }
  void write(std::string_view name, std::string_view bytes) const { scratch_.write(name, bytes); }
  std::vector<std::string> listing() const { return scratch_.listing(); }

  test::ScriptSession session_;
  script::Engine& e;
  test::ScratchFolder scratch_;
  std::string dir_;
};

} // namespace plumex::hostlib::fs::testing
