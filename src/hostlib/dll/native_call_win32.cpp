// The call of a DLL function with argument words assembled at run time
// (i686, cdecl entry):
//
//   void plumex_dll_invoke(struct NativeCall* call);
//
//   struct NativeCall {           offsets
//     uint32_t procedure;          0
//     const uint32_t* words;       4   words[0] ends up at the lowest address
//     uint32_t wordCount;          8
//     uint32_t readsFloat;        12   nonzero: the result is in ST0
//     uint32_t eax, edx;          16, 20
//     double   floating;          24
//     uint32_t exceptionCode;     32
//     uint32_t faulted;           36
//   };
//
// The stack pointer is restored from ESI (callee-saved) after every call,
// whatever the callee removed, so a wrong call type cannot unbalance it.
// ST0 is popped when the result is read there, and every x87 register is
// freed afterwards: a double left by a function declared otherwise would
// otherwise stay on the x87 stack and poison later float results.
//
// An exception registration (fs:0) covers the call. Its record, on this
// routine's stack, is: next, handler, recovery address, this frame's EBP.
// The handler (plumex_dll_fault_handler, C) resumes at the recovery
// address with ESP at the record, EBP restored and the code in EAX.

#include "hostlib/dll/native_call_win32.h"

#include <windows.h>

#include <cstddef>

namespace plumex::hostlib::dll {
static_assert(offsetof(NativeCall, words) == 4 && offsetof(NativeCall, wordCount) == 8 &&
              offsetof(NativeCall, readsFloat) == 12 && offsetof(NativeCall, eax) == 16 &&
              offsetof(NativeCall, edx) == 20 && offsetof(NativeCall, floating) == 24 &&
              offsetof(NativeCall, exceptionCode) == 32 && offsetof(NativeCall, faulted) == 36);
} // namespace plumex::hostlib::dll

extern "C" {
// Takes a NativeCall.
void plumex_dll_invoke(void* call);

// The routine's exception registration: resume at its recovery address,
// with its frame and stack as they were before the words were pushed.
// Unwinding passes through without stopping.
EXCEPTION_DISPOSITION __cdecl plumex_dll_fault_handler(EXCEPTION_RECORD* record, void* establisher, CONTEXT* context,
                                                       void*) {
  constexpr DWORD kUnwinding = 0x2 | 0x4;  // unwinding, exit unwind
  if (record->ExceptionFlags & kUnwinding) return ExceptionContinueSearch;
  const auto* registration = static_cast<const DWORD*>(establisher);
  context->Eip = registration[2];
  context->Ebp = registration[3];
  context->Esp = reinterpret_cast<DWORD>(establisher);
  context->Eax = record->ExceptionCode;
  return ExceptionContinueExecution;
}
}

asm(
    "        .text\n"
    "        .globl  _plumex_dll_invoke\n"
    "        .def    _plumex_dll_invoke; .scl 2; .type 32; .endef\n"
    "_plumex_dll_invoke:\n"
    "        pushl   %ebp\n"
    "        movl    %esp, %ebp\n"
    "        pushl   %ebx\n"
    "        pushl   %esi\n"
    "        pushl   %edi\n"
    "        movl    8(%ebp), %ebx           # the NativeCall, kept in EBX\n"
    "\n"
    "        pushl   %ebp                    # record: this frame's EBP\n"
    "        pushl   $Lplumex_dll_recover               # record: where the handler resumes\n"
    "        pushl   $_plumex_dll_fault_handler\n"
    "        pushl   %fs:0                   # record: the previous registration\n"
    "        movl    %esp, %fs:0\n"
    "        movl    %esp, %esi              # ESP to restore after the call\n"
    "\n"
    "        movl    8(%ebx), %ecx           # push the words, last first\n"
    "        movl    4(%ebx), %edx\n"
    "1:      testl   %ecx, %ecx\n"
    "        jz      2f\n"
    "        pushl   -4(%edx,%ecx,4)\n"
    "        decl    %ecx\n"
    "        jmp     1b\n"
    "2:      cld\n"
    "        call    *(%ebx)\n"
    "        movl    %esi, %esp\n"
    "        movl    8(%ebp), %ebx           # EBX again, in case the callee broke it\n"
    "        movl    %eax, 16(%ebx)\n"
    "        movl    %edx, 20(%ebx)\n"
    "        cmpl    $0, 12(%ebx)\n"
    "        je      3f\n"
    "        fstpl   24(%ebx)\n"
    "3:      jmp     Lplumex_dll_unregister\n"
    "\n"
    "Lplumex_dll_recover:                               # ESP = the record, EBP restored\n"
    "        cld\n"
    "        movl    8(%ebp), %ebx\n"
    "        movl    %eax, 32(%ebx)\n"
    "        movl    $1, 36(%ebx)\n"
    "\n"
    "Lplumex_dll_unregister:\n"
    "        ffree   %st(0)\n"
    "        ffree   %st(1)\n"
    "        ffree   %st(2)\n"
    "        ffree   %st(3)\n"
    "        ffree   %st(4)\n"
    "        ffree   %st(5)\n"
    "        ffree   %st(6)\n"
    "        ffree   %st(7)\n"
    "        movl    (%esp), %ecx\n"
    "        movl    %ecx, %fs:0\n"
    "        leal    -12(%ebp), %esp\n"
    "        popl    %edi\n"
    "        popl    %esi\n"
    "        popl    %ebx\n"
    "        popl    %ebp\n"
    "        ret\n"
    "        .text\n");

namespace plumex::hostlib::dll {

void invokeNative(NativeCall& call) { plumex_dll_invoke(&call); }

} // namespace plumex::hostlib::dll
