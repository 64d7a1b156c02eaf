// plumextest.dll: the functions the DLL-call tests declare and call, with
// plain export names (stdcall names lose their @N at link time).

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>

#define EXPORT extern "C" __declspec(dllexport)

namespace {

struct Pair {
  int a;
  int b;
};
struct Triple {
  int a;
  int b;
  int c;
};
struct Quad {
  int a;
  int b;
  int c;
  int d;
};
struct Node {
  int value;
  Node* next;
};
struct Inner {
  short s;
  double d;
};
struct Outer {
  int a;
  Inner inner;
  char name[8];
  char* text;
  Node* node;
};

} // namespace

// Call types: the same sum with each clean-up rule.
EXPORT int __stdcall add_stdcall(int a, int b) { return a + b; }
EXPORT int __cdecl add_cdecl(int a, int b) { return a + b; }

// Nothing at all, for the call rate.
EXPORT void __stdcall empty_function() {}

// The argument words after the first two arguments, in hex, each followed
// by a space, written into `out` (at most size bytes with the terminator).
EXPORT int __cdecl record_words(char* out, int size, int count, ...) {
  va_list words;
  va_start(words, count);
  int used = 0;
  out[0] = '\0';
  for (int i = 0; i < count && used + 10 < size; ++i)
    used += std::snprintf(out + used, static_cast<std::size_t>(size - used), "%08x ", va_arg(words, unsigned));
  va_end(words);
  return count;
}

// Every kind written through a pointer.
EXPORT void __stdcall write_outputs(signed char* c, short* s, int* i, long long* ll, float* f, double* d,
                                    char* text, wchar_t* wide) {
  *c = -5;
  *s = -300;
  *i = -70000;
  *ll = 0x123456789LL;
  *f = 0.5f;
  *d = -2.25;
  std::strcpy(text, "written");
  std::wcscpy(wide, L"wide");
}

// n bytes of 'x' and no terminator.
EXPORT void __stdcall fill_without_terminator(char* buffer, int n) { std::memset(buffer, 'x', static_cast<std::size_t>(n)); }

// Structures by pointer: every member summed into one text.
EXPORT int __stdcall describe_outer(const Outer* o, char* out, int size) {
  return std::snprintf(out, static_cast<std::size_t>(size), "%d %d %g %s %s %d %d", o->a, o->inner.s, o->inner.d,
                       o->name, o->text ? o->text : "(null)", o->node ? o->node->value : -1,
                       o->node && o->node->next == o->node ? 1 : 0);
}
EXPORT int __stdcall is_self_linked(const Node* n) { return n && n->next == n ? 1 : 0; }

// Structures by value, and returned.
EXPORT int __stdcall pair_sum(Pair p) { return p.a * 10 + p.b; }
EXPORT int __stdcall triple_sum(Triple t) { return t.a * 100 + t.b * 10 + t.c; }
EXPORT Pair __stdcall make_pair(int a, int b) { return Pair{a, b}; }
EXPORT Quad __cdecl make_quad(int a) { return Quad{a, a + 1, a + 2, a + 3}; }

// Floating-point results.
EXPORT float __stdcall half_float(float x) { return x / 2; }
EXPORT double __stdcall half_double(double x) { return x / 2; }

// Faults. The null pointer comes through a volatile, so that the compiler
// cannot see it and put a trap in place of the write.
EXPORT void __stdcall write_through_null() {
  int* volatile target = nullptr;
  *target = 1;
}
EXPORT int __stdcall divide(int a, int b) { return a / b; }

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
