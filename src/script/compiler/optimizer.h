#pragma once
// The fixed optimisation passes over a compilation's instruction list:
// peephole, jump threading, store-load elimination and dead code. None of
// them changes what a program computes.

#include "script/compiler/instruction.h"

namespace plumex::script::compiler {

void optimize(InstructionList& code);

// The passes one by one, in the order optimize() runs them.
void peephole(InstructionList& code);
void threadJumps(InstructionList& code);
void eliminateStoreLoads(InstructionList& code);
void removeDeadCode(InstructionList& code);

} // namespace plumex::script::compiler
