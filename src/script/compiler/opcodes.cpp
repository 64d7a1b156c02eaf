#include "script/compiler/opcodes.h"

namespace plumex::script::compiler {

namespace {

using OC = OperandClass;
constexpr std::int8_t kVar = 0;  // the operand decides: see stackEffect()

constexpr OpInfo kTable[kLastOpcode - kFirstOpcode + 1] = {
    {"CALLNAME", OC::Name, 1},    // 33
    {"GETNAME", OC::Name, 1},     // 34
    {"ADD2", OC::None, 0},        // 35
    {"INC", OC::None, 0},         // 36
    {"JTRAW", OC::Jump, -1},      // 37
    {"JFRAW", OC::Jump, -1},      // 38
    {"THROW", OC::None, -1},      // 39
    {"LEAVETRY", OC::Byte, 0},    // 40
    {"TRY", OC::Jump, 0},         // 41
    {"LEAVEWITH", OC::Byte, 0},   // 42
    {"WITH", OC::None, -1},       // 43
    {"GETSLOT", OC::None, 0},     // 44
    {"ADJUSTARGS", OC::Byte, -1}, // 45
    {"RESERVE", OC::Short, kVar}, // 46
    {"DELINDEX", OC::None, -1},   // 47
    {"DELPROP", OC::Name, 0},     // 48
    {"NEW", OC::None, 1},         // 49
    {"TYPEOF", OC::None, 0},      // 50
    {"RETURN", OC::None, -1},     // 51
    {"CALL", OC::None, 1},        // 52
    {"JMP", OC::Jump, 0},         // 53
    {"CALLMETHOD", OC::Name, 1},  // 54
    {"JTRUE", OC::Jump, -1},      // 55
    {"JFALSE", OC::Jump, -1},     // 56
    {"USHR", OC::None, -1},       // 57
    {"SHR", OC::None, -1},        // 58
    {"SHL", OC::None, -1},        // 59
    {"XOR", OC::None, -1},        // 60
    {"OR", OC::None, -1},         // 61
    {"NOT", OC::None, 0},         // 62
    {"AND", OC::None, -1},        // 63
    {"NEG", OC::None, 0},         // 64
    {"MOD", OC::None, -1},        // 65
    {"DIV", OC::None, -1},        // 66
    {"MUL", OC::None, -1},        // 67
    {"ADD", OC::None, -1},        // 68
    {"SUB", OC::None, -1},        // 69
    {"STRICTNE", OC::None, -1},   // 70
    {"STRICTEQ", OC::None, -1},   // 71
    {"GE", OC::None, -1},         // 72
    {"LE", OC::None, -1},         // 73
    {"GT", OC::None, -1},         // 74
    {"LT", OC::None, -1},         // 75
    {"NE", OC::None, -1},         // 76
    {"EQ", OC::None, -1},         // 77
    {"FORINNEXT", OC::None, 0},   // 78
    {"SETINDEX", OC::None, -3},   // 79
    {"GETINDEX", OC::None, -1},   // 80
    {"SETPROP", OC::Name, -2},    // 81
    {"GETPROP", OC::Name, 0},     // 82
    {"STLOCAL", OC::Short, -1},   // 83
    {"LDLOCAL", OC::Short, 1},    // 84
    {"STSLOT", OC::Byte, -1},     // 85
    {"LDSLOT", OC::Byte, 1},      // 86
    {"STGLOBAL", OC::Name, -1},   // 87
    {"LDGLOBAL", OC::Name, 1},    // 88
    {"PUSHINT", OC::Int, 1},      // 89
    {"PUSH3", OC::None, 1},       // 90
    {"PUSH2", OC::None, 1},       // 91
    {"PUSH1", OC::None, 1},       // 92
    {"PUSH0", OC::None, 1},       // 93
    {"PUSHUNDEF", OC::None, 1},   // 94
    {"PUSHFALSE", OC::None, 1},   // 95
    {"PUSHTRUE", OC::None, 1},    // 96
    {"PUSHNULL", OC::None, 1},    // 97
    {"PUSHCONST", OC::Const, 1},  // 98
    {"ROT", OC::Byte, 0},         // 99
    {"SWAP", OC::None, 0},        // 100
    {"SLIDE", OC::Byte, kVar},    // 101
    {"POPN", OC::Byte, kVar},     // 102
    {"POP", OC::None, -1},        // 103
    {"DUP", OC::None, 1},         // 104
    {"NOP", OC::None, 0},         // 105
    {"END", OC::None, -1},        // 106
    {"HALT", OC::None, 0},        // 107
    {"SETNAME", OC::Name, -1},    // 108
    {"DELNAME", OC::Name, 0},     // 109
    {"DELGLOBAL", OC::Name, 0},   // 110
    {"DELLOCAL", OC::Short, 0},   // 111
    {"DELSLOT", OC::Byte, 0},     // 112
    {"SLIDEW", OC::Int, kVar},    // 113
};

} // namespace

bool isOpcode(int op) { return op >= kFirstOpcode && op <= kLastOpcode; }

const OpInfo* opInfo(int op) { return isOpcode(op) ? &kTable[op - kFirstOpcode] : nullptr; }

const char* mnemonic(Op op) { return opInfo(op).mnemonic; }

int operandSize(OperandClass c) {
  switch (c) {
  case OperandClass::None: return 0;
  case OperandClass::Byte: return 1;
  case OperandClass::Short: return 2;
  default: return 4;
  }
}

int stackEffect(Op op, std::int64_t operand) {
  switch (op) {
  case Op::RESERVE: return static_cast<int>(operand);
  case Op::SLIDE:
  case Op::POPN:
  case Op::SLIDEW: return -static_cast<int>(operand);
  default: return opInfo(op).effect;
  }
}

} // namespace plumex::script::compiler
