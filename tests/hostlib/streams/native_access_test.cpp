// StringStream as native code uses it: made from bytes, read back, told by
// its class record whatever the globals hold, and charged to the heap.

#include "stream_fixture.h"

namespace plumex::hostlib::streams {
namespace {

using namespace testing;
using script::Value;

class NativeAccess : public StreamScript {
protected:
  void setGlobal(std::string_view name, const Value& v) {
    const script::Atom atom = e.internAnsi(name);
    e.global(atom) = v;
  }
};

TEST_F(NativeAccess, BytesInAndOut) {
  Value v;
  ASSERT_TRUE(script::runProtected(e, [&] { v = makeStringStream(e, {'a', 0, 0xFF}); }));
  setGlobal("made", v);
  EXPECT_EQ(run("show(made.get()); show(made.getPos); show(made.putPos); made.write('z'); show(made);"),
            "97 | 1 | 3 | <bytes 61 00 ff 7a>");
  const auto content = stringStreamContent(e.global(e.internAnsi("made")));
  ASSERT_TRUE(content);
  EXPECT_EQ(Bytes(content->begin(), content->end()), Bytes({'a', 0, 0xFF, 'z'}));
}

TEST_F(NativeAccess, OnlyOpenStringStreamsHaveContent) {
  run("var empty = new StringStream(); var closed = new StringStream(); closed.close(); var file = new FileStream();");
  auto global = [&](std::string_view name) { return e.global(e.internAnsi(name)); };
  ASSERT_TRUE(stringStreamContent(global("empty")));
  EXPECT_TRUE(stringStreamContent(global("empty"))->empty());
  EXPECT_FALSE(stringStreamContent(global("closed")));
  EXPECT_FALSE(stringStreamContent(global("file")));
  EXPECT_FALSE(stringStreamContent(global("StringStream")));
  EXPECT_FALSE(stringStreamContent(Value::integer(1)));
  EXPECT_FALSE(stringStreamContent(script::makeString(e, "text")));
}

TEST_F(NativeAccess, TheClassIsItsRecordNotTheGlobalOfItsName) {
  // A stream is still read as one, and a file not as one, after the
  // globals changed places; native code still makes StringStreams.
  EXPECT_EQ(run("var S = StringStream; StringStream = FileStream; var a = new S(); a.write('xy');"
                "var b = new S(); b.write(a, new StringStream()); show(b.length);"
                "var f = new FileStream(); f.write(a); f.pos = 0; show(f.read(5)); StringStream = null;"
                "show(a.read(1)); show(a.compress().uncompress());"),
            "2 | <bytes 78 79> | <bytes 78> | <bytes 78 79>");
  e.collectGarbage();
  Value v;
  ASSERT_TRUE(script::runProtected(e, [&] { v = makeStringStream(e, {1, 2}); }));
  ASSERT_TRUE(stringStreamContent(v));
  EXPECT_EQ(stringStreamContent(v)->size(), 2u);
}

TEST(NativeAccessWithoutTheClass, MakingAStreamGivesNull) {
  const auto e = script::Engine::create();
  Value v;
  ASSERT_TRUE(script::runProtected(*e, [&] { v = makeStringStream(*e, {1}); }));
  EXPECT_TRUE(v.is(script::Kind::Null));
}

TEST_F(NativeAccess, BuffersCountTowardsCollections) {
  const std::size_t before = e.heap().stats().allocatedSince;
  ASSERT_TRUE(script::runProtected(e, [&] { makeStringStream(e, Bytes(1 << 20)); }));
  EXPECT_GE(e.heap().stats().allocatedSince - before, std::size_t{1} << 20);
  // Streams a script drops are collected as their buffers pile up.
  const std::uint64_t collections = e.heap().stats().collections;
  EXPECT_EQ(run("var i, s; for (i = 0; i < 40; i++) { s = new StringStream(); s.length = 1048576; s.putPos = 1048576;"
                "s.write('x'); } show(s.length);"),
            "1048577");
  EXPECT_GE(e.heap().stats().collections - collections, 5u);
}

} // namespace
} // namespace plumex::hostlib::streams
