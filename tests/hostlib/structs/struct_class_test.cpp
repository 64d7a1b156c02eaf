// Struct and StructArray as scripts use them: member conversions, array
// elements, views sharing memory, pointer members, the alignment setting,
// and what the classes give for bad arguments.

#include "struct_fixture.h"

namespace plumex::hostlib::structs {
namespace {

using namespace testing;

// Structures the cases use, as the compiler writes them.
constexpr std::string_view kDeclarations =
    "struct { char a; unsigned char b; short c; unsigned short d; int e; unsigned int f;"
    "  int64 g; unsigned int64 h; Boolean i; float j; double k; } All;"
    "struct { short x; double y; } Pt;"
    "struct { int id; Pt p; Pt pts[2]; } Shape;"
    "struct { char name[16]; int n; } Rec;"
    "struct { int* ip; Boolean* bp; float* fp; double* dp; Pt* sp; pointer any; String text; char* names[2]; } Ptrs;"
    "struct { int align; short structSize; } Odd;"
    "struct { Pt* link; int* ip; Pt inner; char text[4]; } Holder;";

class StructClass : public StructScript {
protected:
  void SetUp() override { ASSERT_EQ(run(kDeclarations), ""); }
  void expectAll(std::initializer_list<Case> cases) {
    for (const Case& c : cases) EXPECT_EQ(run(c.script), c.shows) << c.script;
  }
};

TEST_F(StructClass, MembersConvertAsTheirTypesSay) {
  expectAll({
      {"var s = new Struct(All); s.a = 200; s.b = 300; s.c = 70000; s.d = -1; s.e = 4294967301; s.f = -1;"
       "s.g = 9223372036854775807; s.h = -2; s.i = 5; s.j = 16777217; s.k = 0.5;"
       "show(s.a); show(s.b); show(s.c); show(s.d); show(s.e); show(s.f); show(s.g); show(s.h); show(s.i);"
       "show(s.j == 16777216); show(s.k);",
       "-56 | 44 | 4464 | 65535 | 5 | 4294967295 | 9223372036854775807 | -2 | true | true | 0.5f"},
      // Integer members take only what converts to an Integer.
      {"var s = new Struct(All); s.e = 9; s.e = 1.5; show(s.e); s.e = 'abc'; show(s.e); s.e = '12'; show(s.e);"
       "s.e = true; show(s.e); s.e = null; show(s.e); s.i = 7; s.i = 0.5; show(s.i); s.i = 0; show(s.i);",
       "9 | 9 | 12 | 1 | 0 | true | false"},
      // Floating members take Integers and Floats, and 0 for the rest.
      {"var s = new Struct(All); s.j = 7; show(s.j); s.j = 2.5; s.j = NaN; show(s.j); s.k = 3; s.k = 'x'; show(s.k);"
       "s.j = 1e300; show(s.j); s.k = -1e300; show(s.k);",
       "7f | 0f | 0f | 1.#INFf | -1e+300f"},
      {"var s = new Struct(All); show(s.a); show(s.i); show(s.k); show(s.structSize);",
       "0 | false | 0f | 48"},
  });
}

TEST_F(StructClass, ArrayMembersAreStructArrays) {
  expectAll({
      {"var r = new Struct(Rec); show(r.name); show(typeof r.name); r.name[0] = 65; show(r.name); r.name[1] = 'B';"
       "show(r.name[1]); r.name[1] = 66; show(r.name);",
       "<> | 'object' | <A> | 0 | <AB>"},
      // Out of range: Undefined, and nothing written (n follows name).
      {"var r = new Struct(Rec); r.name[16] = 1; r.name[-1] = 1; show(r.n); show(r.name[16]); show(r.name[-1]);"
       "show(r.name[15]);",
       "0 | undefined | undefined | 0"},
      // Integer keys name elements; a String key is a property name, as
      // for every native object, and other keys are refused.
      {"var r = new Struct(Rec); r.name[0] = 65; show(r.name['0']); r.name[0.0] = 66; show(r.name[0]); show(r.name.length);",
       "undefined | Warning: invalid index for operator [] | 65 | undefined"},
      // The text stops at the member's end; by its name the member writes
      // element 0.
      {"var r = new Struct(Rec); var i; for (i = 0; i < 16; i++) r.name[i] = 97 + i; r.n = 0x5A5A; show(r.name);"
       "r.name = 72; show(r.name[0]);",
       "<abcdefghijklmnop> | 72"},
      {"var p = new Struct(Ptrs); p.names[1] = 'b'; show(p.names[1]); show(p.names[0]); p.names[2] = 'c'; show(p.names[2]);",
       "'b' | undefined | undefined"},
  });
}

TEST_F(StructClass, ViewsShareTheStructuresMemory) {
  expectAll({
      {"var s = new Struct(Shape); var v = s.p; v.x = 7; show(s.p.x); s.pts[1].y = 2.5; show(s.pts[1].y);"
       "var a = s.pts; show(a[0].y); a[1].x = 3; show(s.pts[1].x); show(s.p.structSize); show(s.structSize);",
       "7 | 2.5f | 0f | 3 | 16 | 56"},
      // Writing a structure member as a whole does nothing.
      {"var s = new Struct(Shape); s.p.x = 1; s.p = 5; show(s.p.x); s.pts = 9; show(s.pts[0].x);", "1 | 0"},
      // A view keeps the memory after the structure is gone.
      {"var s = new Struct(Shape); var v = s.pts; s.pts[1].x = 11; s = null;", ""},
  });
  e.collectGarbage();
  EXPECT_EQ(run("show(v[1].x); v[1].x = 12; show(v[1].x);"), "11 | 12");
}

TEST_F(StructClass, PointerMembersKeepValuesOfTheKindsTheyTake) {
  expectAll({
      {"var p = new Struct(Ptrs); p.ip = 5; p.ip = 1.5; show(p.ip); p.ip = 'x'; p.ip = new Object(); show(p.ip);"
       "p.ip = true; p.ip = new Struct(Pt); show(p.ip); p.ip = null; show(p.ip); var st = new StringStream();"
       "st.write('zz'); p.ip = st; show(p.ip);",
       "5 | 'x' | true | true | <zz>"},
      {"var p = new Struct(Ptrs); p.bp = 1; show(p.bp); p.bp = false; p.bp = 1; show(p.bp);", "undefined | false"},
      {"var p = new Struct(Ptrs); p.fp = 7; show(p.fp); p.fp = 2.5; p.fp = 3; show(p.fp); p.dp = 0.25; show(p.dp);",
       "undefined | 2.5f | 0.25f"},
      {"var p = new Struct(Ptrs); p.sp = new StringStream(); show(p.sp); var q = new Struct(Pt); q.x = 9; p.sp = q;"
       "show(p.sp.x); p.sp = 5; show(p.sp == q);",
       "undefined | 9 | true"},
      {"var p = new Struct(Ptrs); p.any = null; show(p.any); p.any = p; show(p.any == p); p.text = 'hello';"
       "show(p.text); p.text = 2.5; show(p.text);",
       "null | true | 'hello' | 'hello'"},
  });
}

TEST_F(StructClass, TheClassesThemselves) {
  expectAll({
      {"show(Struct); show(StructArray); show(new Struct(Pt)); show(String(new Struct(Rec).name));",
       "<[object Struct]> | <[object StructArray]> | <[object Struct]> | ''"},
      {"show(Struct()); show(new Struct(5)); show(Struct('<bad')); show(Struct(Pt).structSize);"
       "show(new Struct(Pt, 1).structSize); show(Struct.structSize);",
       "null | null | null | 16 | 16 | undefined"},
      {"show(StructArray()); show(new StructArray(Rec));", "null | null"},
      // Natively no address is readable.
      {"show(Struct.fromPointer(Pt, 0)); show(new Struct(Pt).fromPointer(Pt, 4096)); show(Struct.fromPointer(Pt));"
       "show(Struct.fromPointer(5, 0)); show(Struct.fromPointer('<bad', 0));",
       "null | null | null | null | null"},
  });
}

TEST_F(StructClass, AlignmentAppliesToLayoutsMadeAfterwards) {
  expectAll({
      {"show(Struct.align); Struct.align = 3; show(Struct.align); Struct.align = 16; show(Struct.align);"
       "Struct.align = 4.0; Struct.align = '8'; Struct.align = 0; Struct.align = -8; show(Struct.align);",
       "8 | 8 | 16 | 16"},
      {"var a = new Struct(Pt); Struct.align = 4; var b = new Struct(Pt); show(a.structSize); show(b.structSize);"
       "show(a.align); a.align = 1; show(Struct.align); show(new Struct(Pt).structSize);",
       "16 | 12 | 4 | 1 | 10"},
      // A structure's own members of those names come first.
      {"Struct.align = 8; var o = new Struct(Odd); o.align = 3; o.structSize = 9; show(o.align); show(o.structSize);"
       "show(Struct.align);",
       "3 | 9 | 8"},
  });
}

TEST_F(StructClass, EveryEngineOfTheProcessSharesTheAlignment) {
  auto other = script::vm::createEngine(setup(settings_));
  ASSERT_TRUE(other);
  ASSERT_EQ(run("Struct.align = 2;"), "");
  ASSERT_TRUE(script::vm::runText(*other, "Struct.align = Struct.align * 8;"));
  EXPECT_EQ(run("show(Struct.align);"), "16");
}

TEST_F(StructClass, TheClassesAreTheirRecordsNotTheGlobalsOfTheirNames) {
  expectAll({
      {"var S = Struct; Struct = StringStream; StructArray = null; var h = new S(Holder);"
       "h.link = new StringStream(); show(h.link); h.link = new S(Pt); h.link.x = 4; show(h.link.x);"
       "h.inner.x = 5; show(h.inner.x); h.text[0] = 65; show(h.text); h.ip = new S(Pt); show(h.ip);",
       "undefined | 4 | 5 | <A> | undefined"},
  });
  e.collectGarbage();
  EXPECT_EQ(run("h.text[1] = 66; show(h.text); show(h.inner.x);"), "<AB> | 5");
}

TEST_F(StructClass, AStructureDroppedWhileAMemberIsConverted) {
  // valueOf deletes the structure being written: its object is released
  // at once, and the write must still land in memory that exists.
  expectAll({
      {"var s = new Struct(Shape); var v = s.p; var o = new Object();"
       "o.valueOf = function() { delete v; delete s; return 5; }; v.x = o; show(typeof v); show(typeof s);",
       "Warning: using undefined variable \"v\" | 'undefined' | Warning: using undefined variable \"s\" | 'undefined'"},
      {"var r = new Struct(Rec); var a = r.name; var o = new Object();"
       "o.valueOf = function() { delete a; delete r; return 66; }; a[0] = o; show(typeof a);",
       "Warning: using undefined variable \"a\" | 'undefined'"},
  });
}

TEST_F(StructClass, ValuesHeldOnlyByPointerMembersSurviveCollections) {
  ASSERT_EQ(run("struct { int* ip; pointer next; int* st; } Link;"
                "var s = new Struct(Link); s.ip = 'ab' + 1; var n = new Struct(Link); n.ip = 'cd' + 2; s.next = n;"
                "n = null; var st = new StringStream(); st.write('zz'); s.st = st; st = null;"
                "var inner = new Struct(Shape); var keep = inner.p; inner = null;"),
            "");
  e.collectGarbage();
  e.collectGarbage();
  EXPECT_EQ(run("show(s.ip); show(s.next.ip); show(s.st); keep.x = 3; show(keep.x);"), "'ab1' | 'cd2' | <zz> | 3");
  // Dropped, the structure goes with what its members held.
  const std::size_t cells = e.heap().stats().cells;
  ASSERT_EQ(run("s = null; keep = null;"), "");
  e.collectGarbage();
  EXPECT_LT(e.heap().stats().cells, cells);
}

} // namespace
} // namespace plumex::hostlib::structs
