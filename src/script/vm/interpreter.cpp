// The interpreter: one dispatch loop over the slots of code records, with
// script-to-script calls kept inside the loop on the engine's value stack.
//
// Registers: pc (the next slot), sp (the first free value; the stack grows
// toward lower addresses, so the top value is sp[1]) and fp (the frame
// header). Frame slot k is fp[k + 1] (this, the count, the arguments),
// local slot k is fp[-4 - k]. Every function's depth was verified when it
// was loaded, and a call makes room for all of it at once, so pushes are
// never checked one by one.

#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/ansi_text.h"
#include "script/compiler/opcodes.h"
#include "script/values/array_record.h"
#include "script/values/conversions.h"
#include "script/values/factory.h"
#include "script/values/function_cell.h"
#include "script/values/native_cell.h"
#include "script/values/property_table.h"
#include "script/values/string_record.h"
#include "script/vm/fused_ops.h"
#include "script/vm/operators.h"
#include "script/vm/property_access.h"
#include "script/vm/vm_state.h"

namespace plumex::script::vm {

namespace {

using compiler::Op;

struct TryGuard {
  Value* sp;
  Value* fp;
  const std::int32_t* handler;
};

Value frameLink(const void* p) { return Value::pointer(Kind::FrameLink, const_cast<void*>(p)); }

Value frameInfo(std::int64_t inserted) {
  Value v = Value::make(Kind::FrameInfo);
  v.u.i = inserted;
  return v;
}

void warnName(Engine& engine, const char* before, Atom atom) {
  engine.warn(std::string(before) + engine.atomName(atom) + "\"");
}

CodeRecord& codeOf(const Value& function) { return *static_cast<CodeRecord*>(function.asFunction()->code()); }

// Writes a value of a payload-only kind with one 16-byte store. The next
// instruction reads the value back as a whole; two 8-byte stores would make
// that read wait until both reached the cache.
inline void put(Value* dst, Kind kind, std::int64_t payload) {
#if defined(__SSE2__)
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst),
                   _mm_set_epi64x(payload, static_cast<std::int64_t>(static_cast<std::uint32_t>(kind))));
#else
  dst->kind = kind;
  dst->reserved = 0;
  dst->u.i = payload;
#endif
}
inline void putInteger(Value* dst, std::int64_t i) { put(dst, Kind::Integer, i); }
inline void putNumber(Value* dst, double d) {
  if (d != d) {
    *dst = Value::nan();
    return;
  }
  std::int64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  put(dst, Kind::Float, bits);
}
// Integer or Float: the kinds the arithmetic fast paths take as doubles.
inline bool isPlainNumber(const Value& v) { return v.kind == Kind::Integer || v.kind == Kind::Float; }
inline double asDouble(const Value& v) {
  return v.kind == Kind::Integer ? static_cast<double>(v.u.i) : v.u.d;
}
inline void putBoolean(Value* dst, bool b) { put(dst, Kind::Boolean, b ? 1 : 0); }

} // namespace

VmState& vmState(Engine& engine) {
  if (!engine.vm.state) engine.vm.state = std::make_shared<VmState>();
  return *static_cast<VmState*>(engine.vm.state.get());
}

void askHostHook(Engine& engine, VmState& vm) {
  if (!vm.hook) return;
  if (const int n = vm.hook(2, vm.hookData)) {
    engine.setErrorText("Runtime error: hook break " + std::to_string(n));
    throw HookBreak();
  }
}

void runFunctionEntry(Engine& engine, Value* thisSlot) {
  const Value function = thisSlot[2 + thisSlot[1].integerValue()];
  execute(engine, codeOf(function), thisSlot);
}

void execute(Engine& engine, CodeRecord& entryCode, Value* thisSlot) {
  VmState& vm = vmState(engine);
  // Beneath this invocation, the one that called native code, which called
  // this: where it stood, for the frames of an error.
  struct DepthGuard {
    VmState& vm;
    explicit DepthGuard(VmState& v) : vm(v) {
      if (++vm.depth > 1) vm.outers.push_back({vm.pc, vm.fp, vm.nativeMethod, vm.nativeCallee});
    }
    // The invocation beneath goes on where it saved its registers.
    ~DepthGuard() {
      if (vm.depth-- > 1) {
        const VmState::Outer& outer = vm.outers.back();
        vm.pc = outer.pc;
        vm.fp = outer.fp;
        vm.nativeMethod = outer.nativeMethod;
        vm.nativeCallee = outer.nativeCallee;
        vm.outers.pop_back();
      }
    }
  } depthGuard(vm);
  // Script that native code runs (a toString, a callback) may run native
  // code that runs script again; each turn takes thread stack, so the
  // nesting is bounded well inside a 1 MiB stack.
  if (vm.depth > VmState::kMaxNesting) {
    engine.setStackPosition(thisSlot - 1);
    raiseError(engine, "stack overflow");
  }

  Value* const stackBase = engine.stackBase();
  const bool warnGlobals = (engine.flags() & 0x200) != 0;
  std::vector<TryGuard> guards;

  Value* fp = thisSlot - 1;
  Value* sp = fp - 4;
  const std::int32_t* pc = entryCode.code.data();

  // The registers stay in machine registers only while nothing takes their
  // address, so the helpers below are macros rather than lambdas.
#define SAVE()                      \
  do {                              \
    engine.setStackPosition(sp);    \
    vm.pc = pc;                     \
    vm.fp = fp;                     \
  } while (0)
#define CHECKPOINT()                          \
  do {                                        \
    if (engine.heap().collectionDue()) {      \
      SAVE();                                 \
      engine.collectGarbage();                \
      askHostHook(engine, vm);                \
    }                                         \
  } while (0)
  // Room for a frame of this code below newFp, with the reserve left free.
#define ENSURE_FRAME(code, newFp)                                                                    \
  do {                                                                                               \
    if ((newFp) - stackBase <                                                                        \
        static_cast<std::ptrdiff_t>((code).maxStack + kFrameHeaderValues + kStackReserve)) {        \
      SAVE();                                                                                        \
      raiseError(engine, "stack overflow");                                                          \
    }                                                                                                \
  } while (0)
  // The argument count of a call with the callee at sp[1]: it must describe
  // values within the caller's own part of the stack. An array literal
  // passes the negated count of its elements.
#define CHECK_ARGUMENT_COUNT()                                                                 \
  do {                                                                                         \
    const Value& count_ = sp[2];                                                               \
    const std::int64_t n_ = count_.u.i < 0 ? -count_.u.i : count_.u.i;                         \
    if (!count_.is(Kind::Integer) || n_ < 0 || n_ > (fp + kReturnSlot) - (sp + 3)) {           \
      SAVE();                                                                                  \
      raiseError(engine, "invalid argument count");                                            \
    }                                                                                          \
  } while (0)
  // Enters a script function whose `this` is at sp[1] (already set). A
  // script function takes the elements of an array literal as ordinary
  // arguments.
#define ENTER(function)                                  \
  do {                                                   \
    CodeRecord& code_ = codeOf(function);                \
    if (sp[2].u.i < 0) sp[2].u.i = -sp[2].u.i;           \
    ENSURE_FRAME(code_, sp);                             \
    Value* newFp_ = sp;                                  \
    newFp_[0] = frameLink(fp);                           \
    newFp_[kInfoSlot] = frameInfo(0);                    \
    newFp_[kWithSlot] = frameLink(nullptr);              \
    newFp_[kReturnSlot] = frameLink(pc);                 \
    fp = newFp_;                                         \
    sp = fp - 4;                                         \
    pc = code_.code.data();                              \
  } while (0)
  // Asks a class's method hook for the receiver at sp[1], with an output
  // slot pushed above it; the slot is gone again when the class does not
  // know the name.
#define ASK_METHOD_HOOK(cls, self, name, handled)                                      \
  do {                                                                                 \
    ClassRecord* cls_ = (cls);                                                         \
    void* self_ = (self);                                                              \
    handled = false;                                                                   \
    if (cls_ && cls_->method) {                                                        \
      sp[0] = Value::undefined();                                                      \
      --sp;                                                                            \
      SAVE();                                                                          \
      vm.nativeMethod = (name);                                                        \
      vm.nativeCallee = Value::undefined();                                            \
      handled = cls_->method(engine, *cls_, self_, (name), sp[1], ArgBlock{sp + 3});   \
      if (!handled) ++sp;                                                              \
    }                                                                                  \
  } while (0)

  ENSURE_FRAME(entryCode, fp);
  fp[0] = frameLink(nullptr);
  fp[kInfoSlot] = frameInfo(0);
  fp[kWithSlot] = frameLink(nullptr);
  fp[kReturnSlot] = frameLink(nullptr);

  for (;;) {
    try {
#if defined(__GNUC__)
      // Indexed by the opcode itself, CALLNAME (33) on; below 33 nothing is
      // ever loaded.
#define NONE8 &&unimplemented, &&unimplemented, &&unimplemented, &&unimplemented, \
              &&unimplemented, &&unimplemented, &&unimplemented, &&unimplemented
      static void* const kLabels[] = {
          NONE8, NONE8, NONE8, NONE8, &&unimplemented,
          &&L_CALLNAME, &&L_GETNAME, &&L_ADD2, &&L_INC,
          &&L_JTRAW, &&L_JFRAW, &&L_THROW, &&L_LEAVETRY,
          &&L_TRY, &&L_LEAVEWITH, &&L_WITH, &&L_GETSLOT,
          &&L_ADJUSTARGS, &&L_RESERVE, &&L_DELINDEX, &&L_DELPROP,
          &&L_NEW, &&L_TYPEOF, &&L_RETURN, &&L_CALL,
          &&L_JMP, &&L_CALLMETHOD, &&L_JTRUE, &&L_JFALSE,
          &&L_USHR, &&L_SHR, &&L_SHL, &&L_XOR,
          &&L_OR, &&L_NOT, &&L_AND, &&L_NEG,
          &&L_MOD, &&L_DIV, &&L_MUL, &&L_ADD,
          &&L_SUB, &&L_STRICTNE, &&L_STRICTEQ, &&L_GE,
          &&L_LE, &&L_GT, &&L_LT, &&L_NE,
          &&L_EQ, &&L_FORINNEXT, &&L_SETINDEX, &&L_GETINDEX,
          &&L_SETPROP, &&L_GETPROP, &&L_STLOCAL, &&L_LDLOCAL,
          &&L_STSLOT, &&L_LDSLOT, &&L_STGLOBAL, &&L_LDGLOBAL,
          &&L_PUSHINT, &&L_PUSH3, &&L_PUSH2, &&L_PUSH1,
          &&L_PUSH0, &&L_PUSHUNDEF, &&L_PUSHFALSE, &&L_PUSHTRUE,
          &&L_PUSHNULL, &&L_PUSHCONST, &&L_ROT, &&L_SWAP,
          &&L_SLIDE, &&L_POPN, &&L_POP, &&L_DUP,
          &&L_NOP, &&L_END, &&L_HALT, &&L_SETNAME,
          &&L_DELNAME, &&L_DELGLOBAL, &&L_DELLOCAL, &&L_DELSLOT,
          &&L_SLIDEW,
          // Fused runs, in FusedOp order.
          &&L_PROLOGUE, &&L_INCLOCAL, &&L_LDLOCAL2,
          &&L_ADD_LOCAL, &&L_SUB_LOCAL, &&L_MUL_LOCAL, &&L_LT_LOCAL, &&L_GT_LOCAL, &&L_LE_LOCAL, &&L_GE_LOCAL,
          &&L_ADD_SLOT, &&L_SUB_SLOT, &&L_MUL_SLOT, &&L_LT_SLOT, &&L_GT_SLOT, &&L_LE_SLOT, &&L_GE_SLOT,
          &&L_ADD_CONST, &&L_SUB_CONST, &&L_MUL_CONST, &&L_LT_CONST, &&L_GT_CONST, &&L_LE_CONST, &&L_GE_CONST,
          &&L_MOD_CONST,
          &&L_ADD_LL, &&L_SUB_LL, &&L_MUL_LL, &&L_LT_LL, &&L_GT_LL, &&L_LE_LL, &&L_GE_LL,
          &&L_LT_JF, &&L_GT_JF, &&L_LE_JF, &&L_GE_JF, &&L_EQ_JF, &&L_NE_JF, &&L_STRICTEQ_JF, &&L_STRICTNE_JF,
          &&L_LT_LOCAL_JF, &&L_GT_LOCAL_JF, &&L_LE_LOCAL_JF, &&L_GE_LOCAL_JF,
          &&L_LT_SLOT_JF, &&L_GT_SLOT_JF, &&L_LE_SLOT_JF, &&L_GE_SLOT_JF,
          &&L_LT_CONST_JF, &&L_GT_CONST_JF, &&L_LE_CONST_JF, &&L_GE_CONST_JF,
          &&L_LT_LL_JF, &&L_GT_LL_JF, &&L_LE_LL_JF, &&L_GE_LL_JF,
      };
#undef NONE8
      static_assert(sizeof(kLabels) / sizeof(kLabels[0]) == kLastFusedOp + 1);
// Loaded code holds only opcodes of the set and fused ones: the loader
// verified it.
#define DISPATCH() goto* kLabels[static_cast<std::uint32_t>(*pc++)]
#define CASE(op) L_##op:
#define FUSED(op) L_##op:
      DISPATCH();
#else
#define DISPATCH() continue
#define CASE(op) case static_cast<int>(Op::op): L_##op:
#define FUSED(op) case static_cast<int>(FusedOp::op): L_##op:
      for (;;) switch (*pc++) {
      default: goto unimplemented;
#endif

      CASE(NOP) { DISPATCH(); }

      // ---- Constants and stack shuffling --------------------------------
      CASE(PUSH0) { putInteger(sp--, 0); DISPATCH(); }
      CASE(PUSH1) { putInteger(sp--, 1); DISPATCH(); }
      CASE(PUSH2) { putInteger(sp--, 2); DISPATCH(); }
      CASE(PUSH3) { putInteger(sp--, 3); DISPATCH(); }
      CASE(PUSHINT) { putInteger(sp--, *pc++); DISPATCH(); }
      CASE(PUSHUNDEF) { *sp-- = Value::undefined(); DISPATCH(); }
      CASE(PUSHNULL) { *sp-- = Value::null(); DISPATCH(); }
      CASE(PUSHTRUE) { putBoolean(sp--, true); DISPATCH(); }
      CASE(PUSHFALSE) { putBoolean(sp--, false); DISPATCH(); }
      CASE(PUSHCONST) { *sp-- = engine.constants()[static_cast<std::size_t>(*pc++)]; DISPATCH(); }
      CASE(DUP) {
        sp[0] = sp[1];
        --sp;
        DISPATCH();
      }
      CASE(POP) { ++sp; DISPATCH(); }
      CASE(POPN) { sp += *pc++; DISPATCH(); }
      CASE(SLIDE)
      CASE(SLIDEW) {
        const Value top = sp[1];
        sp += *pc++;
        sp[1] = top;
        DISPATCH();
      }
      CASE(SWAP) {
        std::swap(sp[1], sp[2]);
        DISPATCH();
      }
      CASE(ROT) {
        const std::int32_t n = *pc++;
        if (n >= 2) {
          const Value top = sp[1];
          std::memmove(static_cast<void*>(sp + 1), sp + 2, sizeof(Value) * static_cast<std::size_t>(n - 1));
          sp[n] = top;
        } else if (n <= -2) {
          const Value deep = sp[-n];
          std::memmove(static_cast<void*>(sp + 2), sp + 1, sizeof(Value) * static_cast<std::size_t>(-n - 1));
          sp[1] = deep;
        }
        DISPATCH();
      }
      CASE(RESERVE) {
        for (std::int32_t n = *pc++; n > 0; --n) *sp-- = Value::undefined();
        DISPATCH();
      }

      // ---- Variables ----------------------------------------------------
      CASE(LDLOCAL) { *sp-- = fp[-4 - *pc++]; DISPATCH(); }
      CASE(STLOCAL) { fp[-4 - *pc++] = *++sp; DISPATCH(); }
      CASE(LDSLOT) { *sp-- = fp[1 + *pc++]; DISPATCH(); }
      CASE(STSLOT) { fp[1 + *pc++] = *++sp; DISPATCH(); }
      CASE(GETSLOT) {
        // Only the argument loop of the prologue reads slots by a computed
        // index; anything outside the frame reads Undefined.
        const Value& k = sp[1];
        const std::int64_t slots = fp[2].integerValue() + 2 + fp[kInfoSlot].u.i;
        sp[1] = k.is(Kind::Integer) && k.integerValue() >= 0 && k.integerValue() < slots
                    ? fp[1 + k.integerValue()]
                    : Value::undefined();
        DISPATCH();
      }
      CASE(LDGLOBAL) {
        const Atom name = *pc++;
        const Value& v = engine.global(name);
        if (v.is(Kind::Undefined) && warnGlobals) {
          SAVE();
          warnName(engine, "Warning: using undefined variable \"", name);
        }
        *sp-- = engine.global(name);
        DISPATCH();
      }
      CASE(STGLOBAL) { engine.global(*pc++) = *++sp; DISPATCH(); }
      CASE(GETNAME) {
        const Atom name = *pc++;
        SAVE();
        bool found = false;
        if (auto* list = static_cast<ValueList*>(fp[kWithSlot].u.p)) {
          for (std::size_t i = 0; i < list->values.size() && !found; ++i) {
            Value v;
            if (findProperty(engine, list->values[i], name, v)) {
              *sp-- = v;
              found = true;
            }
          }
        }
        if (!found) {
          const Value v = engine.global(name);
          if (v.is(Kind::Undefined) && warnGlobals) warnName(engine, "Warning: using undefined variable \"", name);
          *sp-- = v;
        }
        DISPATCH();
      }
      CASE(SETNAME) {
        const Atom name = *pc++;
        const Value v = *++sp;
        SAVE();
        bool stored = false;
        if (auto* list = static_cast<ValueList*>(fp[kWithSlot].u.p)) {
          for (std::size_t i = 0; i < list->values.size() && !stored; ++i)
            stored = setExistingProperty(engine, list->values[i], name, v);
        }
        if (!stored) engine.global(name) = v;
        CHECKPOINT();
        DISPATCH();
      }
      CASE(DELGLOBAL) {
        const Atom name = *pc++;
        SAVE();
        releaseVariable(engine, engine.global(name));
        sp[1] = Value::undefined();
        DISPATCH();
      }
      CASE(DELLOCAL) {
        SAVE();
        releaseVariable(engine, fp[-4 - *pc++]);
        sp[1] = Value::undefined();
        DISPATCH();
      }
      CASE(DELSLOT) {
        SAVE();
        releaseVariable(engine, fp[1 + *pc++]);
        sp[1] = Value::undefined();
        DISPATCH();
      }
      CASE(DELNAME) {
        const Atom name = *pc++;
        if (auto* list = static_cast<ValueList*>(fp[kWithSlot].u.p)) {
          for (const Value& o : list->values) {
            if (o.is(Kind::Object) && o.asObject()->findSlot(name) >= 0) {
              o.asObject()->remove(engine, name);
              break;
            }
          }
        }
        sp[1] = Value::undefined();
        DISPATCH();
      }

      // ---- Properties and indexing ----------------------------------------
      CASE(GETPROP) {
        const Atom name = *pc;
        const Value& o = sp[1];
        if (o.is(Kind::Object)) {
          const PropertyTable* t = o.asObject();
          VmState::PropertyHint& hint = vm.hints[(reinterpret_cast<std::uintptr_t>(pc) >> 2) % VmState::kHints];
          if (hint.pc == pc && hint.slot < t->count() && t->atomAt(hint.slot) == name) {
            sp[1] = t->valueAt(hint.slot);
            ++pc;
            DISPATCH();
          }
          const std::int32_t s = t->findSlot(name);
          if (s >= 0) {
            hint = {pc, static_cast<std::uint32_t>(s)};
            sp[1] = t->valueAt(static_cast<std::uint32_t>(s));
            ++pc;
            DISPATCH();
          }
        }
        ++pc;
        SAVE();
        sp[1] = getProperty(engine, sp[1], name);
        DISPATCH();
      }
      CASE(SETPROP) {
        const Atom name = *pc;
        const Value& o = sp[1];
        if (o.is(Kind::Object) && name != kAtomProto) {
          PropertyTable* t = o.asObject();
          VmState::PropertyHint& hint = vm.hints[(reinterpret_cast<std::uintptr_t>(pc) >> 2) % VmState::kHints];
          std::int32_t s = -1;
          if (hint.pc == pc && hint.slot < t->count() && t->atomAt(hint.slot) == name)
            s = static_cast<std::int32_t>(hint.slot);
          else if ((s = t->findSlot(name)) >= 0)
            hint = {pc, static_cast<std::uint32_t>(s)};
          if (s >= 0) {
            t->storeFound(static_cast<std::uint32_t>(s), sp[2]);
            sp += 2;
            ++pc;
            DISPATCH();
          }
        }
        ++pc;
        SAVE();
        setProperty(engine, sp[1], name, sp[2]);
        sp += 2;
        CHECKPOINT();
        DISPATCH();
      }
      CASE(GETINDEX) {
        const Value& o = sp[2];
        const Value& k = sp[1];
        if (o.is(Kind::Array) && k.is(Kind::Integer)) {
          const ArrayRecord& a = *o.asArray();
          const std::int64_t i = k.integerValue();
          if (i >= 0 && static_cast<std::uint64_t>(i) < a.length && i <= 0xFFFFFFFFll) {
            const Value* e = a.get(static_cast<std::uint64_t>(i));
            sp[2] = e ? *e : Value::undefined();
            ++sp;
            DISPATCH();
          }
        }
        SAVE();
        sp[2] = getIndex(engine, sp[2], sp[1]);
        ++sp;
        DISPATCH();
      }
      CASE(SETINDEX) {
        if (sp[2].is(Kind::Array) && sp[1].is(Kind::Integer)) {
          ArrayRecord& a = *sp[2].asArray();
          const std::int64_t i = sp[1].integerValue();
          // An element already inside the array: nothing grows, nothing
          // is allocated.
          if (i >= 0 && static_cast<std::uint64_t>(i) < a.length && a.storeDense(static_cast<std::uint64_t>(i), sp[3])) {
            sp += 3;
            DISPATCH();
          }
        }
        SAVE();
        setIndex(engine, sp[2], sp[1], sp[3]);
        sp += 3;
        CHECKPOINT();
        DISPATCH();
      }
      CASE(DELPROP) {
        deleteProperty(engine, sp[1], *pc++);
        sp[1] = Value::undefined();
        DISPATCH();
      }
      CASE(DELINDEX) {
        SAVE();
        deleteIndex(engine, sp[2], sp[1]);
        ++sp;
        sp[1] = Value::undefined();
        DISPATCH();
      }
      CASE(FORINNEXT) {
        SAVE();
        Value item;
        const bool found = forInItem(engine, sp[2], sp[1].integerValue(), item);
        sp[2] = item;
        sp[1] = Value::boolean(found);
        DISPATCH();
      }

      // ---- Arithmetic -----------------------------------------------------
#define BINARY(op, intStore, slow)                                              \
  CASE(op) {                                                                    \
    const Value& a = sp[2];                                                     \
    const Value& b = sp[1];                                                     \
    if (a.is(Kind::Integer) && b.is(Kind::Integer)) {                           \
      const std::int64_t x = a.integerValue();                                  \
      const std::int64_t y = b.integerValue();                                  \
      (void)x;                                                                  \
      (void)y;                                                                  \
      intStore;                                                                 \
    } else {                                                                    \
      SAVE();                                                                   \
      sp[2] = slow;                                                             \
    }                                                                           \
    ++sp;                                                                       \
    DISPATCH();                                                                 \
  }
  // Runs intPart with x and y for two Integers, floatPart with p and q for
  // two numbers of which one at least is a Float, and otherPart otherwise.
#define ON_NUMBERS(a, b, intPart, floatPart, otherPart)                       \
  if ((a).is(Kind::Integer) && (b).is(Kind::Integer)) {                       \
    const std::int64_t x = (a).integerValue();                                \
    const std::int64_t y = (b).integerValue();                                \
    intPart;                                                                  \
  } else if (isPlainNumber(a) && isPlainNumber(b)) {                          \
    const double p = asDouble(a);                                             \
    const double q = asDouble(b);                                             \
    floatPart;                                                                \
  } else {                                                                    \
    otherPart;                                                                \
  }
  // BINARY with a path for Floats.
#define NUMERIC(op, intStore, floatStore, slow)                                 \
  CASE(op) {                                                                    \
    const Value& a = sp[2];                                                     \
    const Value& b = sp[1];                                                     \
    ON_NUMBERS(a, b, intStore, floatStore, SAVE(); sp[2] = slow)                \
    ++sp;                                                                       \
    DISPATCH();                                                                 \
  }
      CASE(ADD) {
        const Value& a = sp[2];
        const Value& b = sp[1];
        if (a.is(Kind::Integer) && b.is(Kind::Integer)) {
          putInteger(sp + 2, static_cast<std::int64_t>(static_cast<std::uint64_t>(a.integerValue()) +
                                                      static_cast<std::uint64_t>(b.integerValue())));
          ++sp;
          DISPATCH();
        }
        if (isPlainNumber(a) && isPlainNumber(b)) {
          putNumber(sp + 2, asDouble(a) + asDouble(b));
          ++sp;
          DISPATCH();
        }
        SAVE();
        const bool strings = a.is(Kind::String) || b.is(Kind::String);
        sp[2] = add(engine, a, b);
        ++sp;
        if (strings) CHECKPOINT();
        DISPATCH();
      }
      NUMERIC(SUB, putInteger(sp + 2, static_cast<std::int64_t>(static_cast<std::uint64_t>(x) - static_cast<std::uint64_t>(y))),
              putNumber(sp + 2, p - q), subtract(engine, a, b))
      // An infinity times a zero gives NaN by IEEE rules as well.
      NUMERIC(MUL, putInteger(sp + 2, static_cast<std::int64_t>(static_cast<std::uint64_t>(x) * static_cast<std::uint64_t>(y))),
              putNumber(sp + 2, p * q), multiply(engine, a, b))
      BINARY(DIV, sp[2] = divide(engine, a, b), divide(engine, a, b))
      BINARY(MOD, (y == 0 ? (void)(sp[2] = Value::nan()) : putInteger(sp + 2, y == -1 ? 0 : x % y)), modulo(engine, a, b))
      BINARY(AND, putInteger(sp + 2, x & y), bitwise(engine, BitOp::And, a, b))
      BINARY(OR, putInteger(sp + 2, x | y), bitwise(engine, BitOp::Or, a, b))
      BINARY(XOR, putInteger(sp + 2, x ^ y), bitwise(engine, BitOp::Xor, a, b))
      BINARY(SHL, sp[2] = shiftLeft(engine, a, b), shiftLeft(engine, a, b))
      BINARY(SHR, sp[2] = shiftRight(engine, a, b), shiftRight(engine, a, b))
      BINARY(USHR, sp[2] = shiftRightUnsigned(engine, a, b), shiftRightUnsigned(engine, a, b))
      NUMERIC(LT, putBoolean(sp + 2, x < y), putBoolean(sp + 2, p < q), compare(engine, Relation::Less, a, b))
      NUMERIC(GT, putBoolean(sp + 2, x > y), putBoolean(sp + 2, p > q), compare(engine, Relation::Greater, a, b))
      NUMERIC(LE, putBoolean(sp + 2, x <= y), putBoolean(sp + 2, p <= q), compare(engine, Relation::LessEqual, a, b))
      NUMERIC(GE, putBoolean(sp + 2, x >= y), putBoolean(sp + 2, p >= q), compare(engine, Relation::GreaterEqual, a, b))
      BINARY(EQ, putBoolean(sp + 2, x == y), Value::boolean(looseEquals(engine, a, b)))
      BINARY(NE, putBoolean(sp + 2, x != y), Value::boolean(!looseEquals(engine, a, b)))
      BINARY(STRICTEQ, putBoolean(sp + 2, x == y), Value::boolean(strictEquals(a, b)))
      BINARY(STRICTNE, putBoolean(sp + 2, x != y), Value::boolean(!strictEquals(a, b)))
#undef BINARY
#undef NUMERIC
      CASE(NEG) {
        if (sp[1].is(Kind::Integer)) {
          sp[1].u.i = static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(sp[1].u.i));
        } else {
          SAVE();
          sp[1] = negate(engine, sp[1]);
        }
        DISPATCH();
      }
      CASE(NOT) { putBoolean(sp + 1, !truthy(sp[1])); DISPATCH(); }
      CASE(TYPEOF) {
        SAVE();
        sp[1] = typeOf(engine, sp[1]);
        CHECKPOINT();
        DISPATCH();
      }
      CASE(INC)
      CASE(ADD2) {
        // A counter the compiler keeps as an Integer; the payload of a
        // value that refers to the heap is never touched.
        const std::int64_t step = pc[-1] == static_cast<int>(Op::INC) ? 1 : 2;
        if (sp[1].refersToHeap()) {
          SAVE();
          raiseError(engine, "invalid operand");
        }
        sp[1].u.i = static_cast<std::int64_t>(static_cast<std::uint64_t>(sp[1].u.i) + static_cast<std::uint64_t>(step));
        DISPATCH();
      }

      // ---- Jumps ------------------------------------------------------------
  // Moves pc by a jump's offset; a backward jump counts toward asking the
  // host hook, so that a loop that never allocates can still be stopped.
#define TAKE_JUMP(offset)                                         \
  do {                                                            \
    pc += (offset);                                               \
    if ((offset) < 0 && vm.hook && --vm.hookCountdown == 0) {     \
      vm.hookCountdown = VmState::kHookInterval;                  \
      SAVE();                                                     \
      askHostHook(engine, vm);                                    \
    }                                                             \
  } while (0)
#define JUMP_IF(cond)                                             \
  {                                                               \
    const std::int32_t offset = *pc++;                            \
    const bool taken = (cond);                                    \
    ++sp;                                                         \
    if (taken) TAKE_JUMP(offset);                                 \
    DISPATCH();                                                   \
  }
      CASE(JMP) {
        const std::int32_t offset = *pc++;
        TAKE_JUMP(offset);
        DISPATCH();
      }
      CASE(JTRUE) JUMP_IF(truthy(sp[1]))
      CASE(JFALSE) JUMP_IF(!truthy(sp[1]))
      CASE(JTRAW) JUMP_IF(sp[1].u.i32 != 0)
      CASE(JFRAW) JUMP_IF(sp[1].u.i32 == 0)
#undef JUMP_IF

      // ---- Fused runs (fused_ops.h) ----------------------------------------
      // pc is at the slot after the fused opcode. A run that meets values
      // its fast path does not take goes on as its first instruction.
      FUSED(PROLOGUE) {
        // LDSLOT 1; ADD2; ADJUSTARGS n: ADJUSTARGS reads the count from the
        // frame and drops the value the other two leave.
        if (fp[2].refersToHeap()) goto L_LDSLOT;
        pc += 3;
        --sp;
        goto L_ADJUSTARGS;
      }
      FUSED(INCLOCAL) {
        Value& v = fp[-4 - pc[0]];
        if (!v.is(Kind::Integer)) goto L_LDLOCAL;
        v.u.i = static_cast<std::int64_t>(static_cast<std::uint64_t>(v.u.i) + 1);
        pc += 5;
        DISPATCH();
      }
      FUSED(LDLOCAL2) {
        sp[0] = fp[-4 - pc[0]];
        sp[-1] = fp[-4 - pc[2]];
        sp -= 2;
        pc += 3;
        DISPATCH();
      }
      // An arithmetic or comparison run: the operands a and b, the result
      // stored at out; then sp and pc move past the run.
#define FUSED_ARITH(name, first, A, B, OUT, spStep, pcStep, intStore, floatStore) \
  FUSED(name) {                                                                   \
    const Value& a = (A);                                                         \
    const Value& b = (B);                                                         \
    Value* const out = (OUT);                                                     \
    ON_NUMBERS(a, b, intStore, floatStore, goto L_##first)                        \
    sp += (spStep);                                                               \
    pc += (pcStep);                                                               \
    DISPATCH();                                                                   \
  }
#define WRAPPED(expr) putInteger(out, static_cast<std::int64_t>(expr))
#define U(v) static_cast<std::uint64_t>(v)
#define FUSED_ARITHS(suffix, first, A, B, OUT, spStep, pcStep)                                                       \
  FUSED_ARITH(ADD_##suffix, first, A, B, OUT, spStep, pcStep, WRAPPED(U(x) + U(y)), putNumber(out, p + q))           \
  FUSED_ARITH(SUB_##suffix, first, A, B, OUT, spStep, pcStep, WRAPPED(U(x) - U(y)), putNumber(out, p - q))           \
  FUSED_ARITH(MUL_##suffix, first, A, B, OUT, spStep, pcStep, WRAPPED(U(x) * U(y)), putNumber(out, p * q))           \
  FUSED_ARITH(LT_##suffix, first, A, B, OUT, spStep, pcStep, putBoolean(out, x < y), putBoolean(out, p < q))         \
  FUSED_ARITH(GT_##suffix, first, A, B, OUT, spStep, pcStep, putBoolean(out, x > y), putBoolean(out, p > q))         \
  FUSED_ARITH(LE_##suffix, first, A, B, OUT, spStep, pcStep, putBoolean(out, x <= y), putBoolean(out, p <= q))       \
  FUSED_ARITH(GE_##suffix, first, A, B, OUT, spStep, pcStep, putBoolean(out, x >= y), putBoolean(out, p >= q))
#define LOCAL(k) fp[-4 - (k)]
#define FRAME_SLOT(k) fp[1 + (k)]
#define CONSTANT(k) engine.constants()[static_cast<std::size_t>(k)]
      FUSED_ARITHS(LOCAL, LDLOCAL, sp[1], LOCAL(pc[0]), sp + 1, 0, 2)
      FUSED_ARITHS(SLOT, LDSLOT, sp[1], FRAME_SLOT(pc[0]), sp + 1, 0, 2)
      FUSED_ARITHS(CONST, PUSHCONST, sp[1], CONSTANT(pc[0]), sp + 1, 0, 2)
      FUSED_ARITHS(LL, LDLOCAL, LOCAL(pc[0]), LOCAL(pc[2]), sp, -1, 4)
      FUSED_ARITH(MOD_CONST, PUSHCONST, sp[1], CONSTANT(pc[0]), sp + 1, 0, 2,
                  (y == 0 ? (void)(*out = Value::nan()) : putInteger(out, y == -1 ? 0 : x % y)),
                  (void)p; (void)q; goto L_PUSHCONST)
#undef FUSED_ARITHS
#undef U
#undef WRAPPED
#undef FUSED_ARITH
      // A comparison and the JFRAW after it; the offset is in slot jumpAt
      // (counted from pc), and the jump counts from the end of the run.
#define FUSED_JUMP(name, first, A, B, spStep, jumpAt, intTest, floatTest) \
  FUSED(name) {                                                           \
    const Value& a = (A);                                                 \
    const Value& b = (B);                                                 \
    bool holds;                                                           \
    ON_NUMBERS(a, b, holds = (intTest), floatTest, goto L_##first)        \
    sp += (spStep);                                                       \
    const std::int32_t offset = pc[jumpAt];                               \
    pc += (jumpAt) + 1;                                                   \
    if (!holds) TAKE_JUMP(offset);                                        \
    DISPATCH();                                                           \
  }
#define FUSED_JUMPS(suffix, first, A, B, spStep, jumpAt)                                      \
  FUSED_JUMP(LT_##suffix##JF, first, A, B, spStep, jumpAt, x < y, holds = p < q)             \
  FUSED_JUMP(GT_##suffix##JF, first, A, B, spStep, jumpAt, x > y, holds = p > q)             \
  FUSED_JUMP(LE_##suffix##JF, first, A, B, spStep, jumpAt, x <= y, holds = p <= q)           \
  FUSED_JUMP(GE_##suffix##JF, first, A, B, spStep, jumpAt, x >= y, holds = p >= q)
#define EQUALITY_JUMP(name, first, test) \
  FUSED_JUMP(name, first, sp[2], sp[1], 2, 1, test, (void)p; (void)q; goto L_##first)
      FUSED_JUMP(LT_JF, LT, sp[2], sp[1], 2, 1, x < y, holds = p < q)
      FUSED_JUMP(GT_JF, GT, sp[2], sp[1], 2, 1, x > y, holds = p > q)
      FUSED_JUMP(LE_JF, LE, sp[2], sp[1], 2, 1, x <= y, holds = p <= q)
      FUSED_JUMP(GE_JF, GE, sp[2], sp[1], 2, 1, x >= y, holds = p >= q)
      EQUALITY_JUMP(EQ_JF, EQ, x == y)
      EQUALITY_JUMP(NE_JF, NE, x != y)
      EQUALITY_JUMP(STRICTEQ_JF, STRICTEQ, x == y)
      EQUALITY_JUMP(STRICTNE_JF, STRICTNE, x != y)
      FUSED_JUMPS(LOCAL_, LDLOCAL, sp[1], LOCAL(pc[0]), 1, 3)
      FUSED_JUMPS(SLOT_, LDSLOT, sp[1], FRAME_SLOT(pc[0]), 1, 3)
      FUSED_JUMPS(CONST_, PUSHCONST, sp[1], CONSTANT(pc[0]), 1, 3)
      FUSED_JUMPS(LL_, LDLOCAL, LOCAL(pc[0]), LOCAL(pc[2]), 0, 5)
#undef EQUALITY_JUMP
#undef FUSED_JUMPS
#undef ON_NUMBERS
#undef LOCAL
#undef FRAME_SLOT
#undef CONSTANT
#undef FUSED_JUMP
#undef TAKE_JUMP

      // ---- with ---------------------------------------------------------------
      CASE(WITH) {
        auto* list = static_cast<ValueList*>(fp[kWithSlot].u.p);
        if (!list) {
          SAVE();
          list = engine.heap().make<ValueList>();
          fp[kWithSlot] = frameLink(list);
        }
        list->values.push_back(sp[1]);
        ++sp;
        DISPATCH();
      }
      CASE(LEAVEWITH) {
        const std::int32_t n = *pc++;
        if (auto* list = static_cast<ValueList*>(fp[kWithSlot].u.p)) {
          const std::size_t drop = std::min<std::size_t>(list->values.size(), static_cast<std::size_t>(std::max(n, 0)));
          list->values.resize(list->values.size() - drop);
        }
        DISPATCH();
      }

      // ---- Exceptions -----------------------------------------------------------
      CASE(TRY) {
        const std::int32_t offset = *pc++;
        guards.push_back({sp, fp, pc + offset});
        DISPATCH();
      }
      CASE(LEAVETRY) {
        const std::int32_t n = *pc++;
        guards.resize(guards.size() - std::min<std::size_t>(guards.size(), static_cast<std::size_t>(std::max(n, 0))));
        DISPATCH();
      }
      CASE(THROW) {
        const Value thrown = sp[1];
        if (!guards.empty()) {
          const TryGuard g = guards.back();
          guards.pop_back();
          sp = g.sp;
          fp = g.fp;
          *sp-- = thrown;
          pc = g.handler;
          DISPATCH();
        }
        ++sp;
        SAVE();
        engine.push(thrown);
        const Value text = toStringValue(engine, thrown);
        std::string ansi = utf16ToAnsi(text.asString()->view());
        if (ansi.size() > kErrorTextLimit) ansi.resize(kErrorTextLimit);
        raiseError(engine, ansi);
      }

      // ---- Calls ------------------------------------------------------------------
      CASE(CALL) {
        const Value f = sp[1];
        CHECK_ARGUMENT_COUNT();
        sp[1] = Value::null();
        if (f.is(Kind::Function)) {
          ENTER(f);
          DISPATCH();
        }
        sp[0] = Value::undefined();
        --sp;
        if (f.is(Kind::Native) && f.asNative()->classRecord()->call && !f.asNative()->isClosed()) {
          NativeCell& cell = *f.asNative();
          SAVE();
          vm.nativeMethod = -1;
          vm.nativeCallee = f;
          cell.classRecord()->call(engine, *cell.classRecord(), cell.instance(), sp[1], ArgBlock{sp + 3});
          CHECKPOINT();
        } else {
          SAVE();
          engine.warn("Warning: call a undefined function");
        }
        DISPATCH();
      }
      CASE(CALLMETHOD) {
        const Atom name = *pc++;
        const Value receiver = sp[1];
        CHECK_ARGUMENT_COUNT();
        if (receiver.is(Kind::Object)) {
          const PropertyTable* t = receiver.asObject();
          VmState::PropertyHint& hint = vm.hints[(reinterpret_cast<std::uintptr_t>(pc - 1) >> 2) % VmState::kHints];
          if (hint.pc == pc - 1 && hint.slot < t->count() && t->atomAt(hint.slot) == name &&
              t->valueAt(hint.slot).is(Kind::Function)) {
            const Value method = t->valueAt(hint.slot);
            ENTER(method);
            DISPATCH();
          }
          if (const std::int32_t s = t->findSlot(name); s >= 0) hint = {pc - 1, static_cast<std::uint32_t>(s)};
          Value method;
          if (t->get(name, method) && method.is(Kind::Function)) {
            ENTER(method);
            DISPATCH();
          }
          bool handled;
          ASK_METHOD_HOOK(engine.classForKind(Kind::Object), static_cast<void*>(sp + 1), name, handled);
          if (handled) {
            CHECKPOINT();
            DISPATCH();
          }
        } else {
          ClassRecord* cls = classOf(engine, receiver);
          void* self = receiver.is(Kind::Native) ? receiver.asNative()->instance() : static_cast<void*>(sp + 1);
          bool handled;
          ASK_METHOD_HOOK(cls, self, name, handled);
          if (handled) {
            CHECKPOINT();
            DISPATCH();
          }
          Value method;
          PropertyTable* t = methodTable(engine, receiver);
          if (t && t->get(name, method) && method.is(Kind::Function)) {
            ENTER(method);
            DISPATCH();
          }
        }
        sp[0] = Value::undefined();
        --sp;
        SAVE();
        warnName(engine, "Warning: unknown method \"", name);
        DISPATCH();
      }
      CASE(CALLNAME) {
        const Atom name = *pc++;
        const Value fallback = sp[1];
        CHECK_ARGUMENT_COUNT();
        if (auto* list = static_cast<ValueList*>(fp[kWithSlot].u.p)) {
          // Outermost `with` first; the list may change under a call, so
          // each object is copied out before it is asked.
          for (std::size_t i = 0; i < list->values.size(); ++i) {
            const Value o = list->values[i];
            Value method;
            if (o.is(Kind::Object)) {
              if (o.asObject()->get(name, method) && method.is(Kind::Function)) {
                sp[1] = o;
                ENTER(method);
                goto call_name_done;
              }
              continue;
            }
            sp[1] = o;
            ClassRecord* cls = classOf(engine, o);
            void* self = o.is(Kind::Native) ? o.asNative()->instance() : static_cast<void*>(sp + 1);
            bool handled;
            ASK_METHOD_HOOK(cls, self, name, handled);
            if (handled) {
              CHECKPOINT();
              goto call_name_done;
            }
            if (!o.is(Kind::Native)) {
              PropertyTable* t = methodTable(engine, o);
              if (t && t->get(name, method) && method.is(Kind::Function)) {
                ENTER(method);
                goto call_name_done;
              }
            }
          }
        }
        sp[1] = Value::null();
        if (fallback.is(Kind::Function)) {
          ENTER(fallback);
        } else {
          sp[0] = Value::undefined();
          --sp;
          SAVE();
          if (fallback.is(Kind::Native) && fallback.asNative()->classRecord()->call &&
              !fallback.asNative()->isClosed()) {
            NativeCell& cell = *fallback.asNative();
            cell.classRecord()->call(engine, *cell.classRecord(), cell.instance(), sp[1], ArgBlock{sp + 3});
            CHECKPOINT();
          } else {
            engine.warn("Warning: call a undefined function");
          }
        }
      call_name_done:
        DISPATCH();
      }
      CASE(NEW) {
        const Value c = sp[1];
        CHECK_ARGUMENT_COUNT();
        if (c.is(Kind::Function)) {
          SAVE();
          FunctionCell& f = *c.asFunction();
          if (!f.table()) {
            ClassRecord* objectClass = engine.classForKind(Kind::Object);
            f.setTable(objectClass && objectClass->prototype ? newTableOver(engine, objectClass->prototype)
                                                             : newTable(engine));
          }
          // Instances get the room earlier instances of this function grew to.
          const std::uint32_t room = f.table()->instanceRoom();
          sp[1] = Value::object(newTableOver(engine, f.table(), room > 0 ? room - 1 : kTableRoom));
          ENTER(c);
          DISPATCH();
        }
        ClassRecord* cls = classOf(engine, c);
        sp[0] = Value::undefined();
        --sp;
        SAVE();
        if (cls && cls->construct && !(c.is(Kind::Native) && c.asNative()->isClosed())) {
          cls->construct(engine, *cls, ArgBlock{sp + 3}, sp[1]);
          sp[2] = sp[1];
          CHECKPOINT();
        } else {
          engine.warn("Warning: invalid constructor");
          sp[2] = Value::null();
        }
        DISPATCH();
      }
      CASE(ADJUSTARGS) {
        const std::int32_t n = *pc++;
        ++sp;
        const std::int64_t m = fp[2].integerValue() + 2;
        if (m < n) {
          // Missing arguments: the frame moves down to make their slots.
          const std::int64_t d = n - m;
          Value* from = sp + 1;
          const std::size_t count = static_cast<std::size_t>((fp + m) - from + 1);
          std::memmove(static_cast<void*>(from - d), from, count * sizeof(Value));
          fp -= d;
          sp -= d;
          for (std::int64_t k = m; k < n; ++k) fp[1 + k] = Value::undefined();
          fp[kInfoSlot].u.i = d;
        }
        DISPATCH();
      }
      CASE(RETURN) {
        const Value v = sp[1];
        Value* caller = static_cast<Value*>(fp[0].u.p);
        if (!caller) {
          SAVE();
          engine.setStackPosition(sp + 1);
          engine.result = v;
          goto leave;
        }
        // A frame that ADJUSTARGS moved down goes back where the caller
        // left it: NEW reads its object from the `this` slot.
        const std::int64_t moved = fp[kInfoSlot].u.i;
        Value* base = fp + moved;
        if (moved) base[1] = fp[1];
        pc = static_cast<const std::int32_t*>(fp[kReturnSlot].u.p);
        *base = v;
        sp = base - 1;
        fp = caller;
        DISPATCH();
      }
      CASE(END) {
        engine.result = sp[1];
        SAVE();
        goto leave;
      }
      CASE(HALT) { goto unimplemented; }

#if !defined(__GNUC__)
      }
#endif
    unimplemented:
      SAVE();
      raiseError(engine, "Unimplemented Quorv Script bytecode");
    leave:
      // Finalisers of what died during the run get their chance when the
      // outermost entry ends, not after every callback from native code.
      if (vm.depth == 1) engine.collectAtExit();
      return;
    } catch (const HookBreak&) {
      throw;
    } catch (const ScriptError&) {
      if (guards.empty()) throw;
    } catch (const std::bad_alloc&) {
      engine.setErrorText("Runtime error: Out of memory");
      if (guards.empty()) throw ScriptError();
    }
    // A runtime error inside a try: its handler receives the error text.
    const TryGuard g = guards.back();
    guards.pop_back();
    sp = g.sp;
    fp = g.fp;
    pc = g.handler;
    engine.setStackPosition(sp);
    const Value text = makeString(engine, engine.errorText());
    engine.clearErrorText();
    *sp-- = text;
  }
#undef SAVE
#undef CHECKPOINT
#undef ENSURE_FRAME
#undef CHECK_ARGUMENT_COUNT
#undef ENTER
#undef ASK_METHOD_HOOK
#undef DISPATCH
#undef CASE
#undef FUSED
}

} // namespace plumex::script::vm
