// Handles of host objects: one number per object, never reused, held as
// collector roots while the movie has them, closed when released.

#include <gtest/gtest.h>

#include "moviehost/handle_table.h"
#include "script/builtins/builtins.h"
#include "script/values/native_cell.h"
#include "script/vm/engine_interface.h"

namespace plumex::moviehost {
namespace {

using script::Value;

class Handles : public ::testing::Test {
protected:
  Handles() {
    script::vm::EngineSetup setup;
    setup.registerClasses = script::builtins::registerPortableClasses;
    engine_ = script::vm::createEngine(setup);
  }
  // A new host object no script holds.
  Value hostObject() {
    std::vector<Value> none = {Value::integer(0)};
    EXPECT_TRUE(script::vm::construct(*engine_, "Date", script::ArgBlock{none.data()}));
    return engine_->result;
  }
  std::unique_ptr<script::Engine> engine_;
  HandleNumbers numbers_;
};

TEST_F(Handles, OneNumberPerObjectAndNeverReused) {
  HandleTable table(*engine_, numbers_);
  const Value a = hostObject();
  const std::int64_t na = table.handleFor(a);
  const Value b = hostObject();
  const std::int64_t nb = table.handleFor(b);
  EXPECT_GT(na, 0);
  EXPECT_NE(na, nb);
  EXPECT_EQ(table.handleFor(a), na);
  ASSERT_TRUE(table.find(Value::integer(na)));
  EXPECT_EQ(table.find(Value::integer(na))->asNative(), a.asNative());
  EXPECT_EQ(table.find(Value::number(static_cast<double>(nb)))->asNative(), b.asNative());  // a whole Float

  EXPECT_TRUE(table.release(Value::integer(na)));
  EXPECT_TRUE(a.asNative()->isClosed());
  EXPECT_FALSE(table.release(Value::integer(na)));  // twice
  EXPECT_FALSE(table.find(Value::integer(na)));
  // The same object given again gets a new number, never the old one.
  const std::int64_t again = table.handleFor(a);
  EXPECT_GT(again, nb);
}

TEST_F(Handles, ForgedAndForeignNumbersFindNothing) {
  HandleTable first(*engine_, numbers_);
  const std::int64_t n = first.handleFor(hostObject());
  HandleTable second(*engine_, numbers_);
  const std::int64_t m = second.handleFor(hostObject());
  EXPECT_NE(n, m);
  EXPECT_FALSE(second.find(Value::integer(n)));  // another table's number
  EXPECT_FALSE(first.release(Value::integer(m)));
  const Value forged[] = {Value::integer(0),  Value::integer(-1),        Value::integer(m + 100),
                          Value::number(1.5), Value::number(INFINITY),   Value::nan(),
                          Value::null(),      Value::boolean(true)};
  for (const Value& v : forged) {
    EXPECT_FALSE(first.find(v));
    EXPECT_FALSE(first.release(v));
  }
  EXPECT_EQ(first.size(), 1u);
}

TEST_F(Handles, HeldObjectsSurviveCollectionsAndTheTableClosesThemAtItsEnd) {
  Value a;
  {
    HandleTable table(*engine_, numbers_);
    a = hostObject();
    const std::int64_t n = table.handleFor(a);
    engine_->collectGarbage();
    engine_->collectGarbage();
    ASSERT_TRUE(table.find(n));
    EXPECT_TRUE(table.find(n)->asNative()->isLive());
  }
  // The table went first (as with its engine): what it held is closed.
  EXPECT_TRUE(a.asNative()->isClosed());
}

} // namespace
} // namespace plumex::moviehost
