// Calls a function with n 32-bit argument words and reports how far the stack pointer moved
// across the call: 0 when the callee popped exactly n words, as a stdcall function of that
// arity does; 4*n for a cdecl callee; other values for a wrong arity.
#pragma once

namespace drwtest {

struct ProbeResult {
  long result;
  long stackBytesLeft;  // bytes the callee left on the stack (negative: popped too many)
};

inline ProbeResult CallAndMeasureStack(const void* function, const long* args, long count) {
  long result, left = count;
  // edi keeps the stack pointer across the call (callee-saved); the arguments are pushed
  // last first, as the caller of a stdcall function does.
  __asm__ volatile(
      "movl %%esp, %%edi\n\t"
      "1:\n\t"
      "testl %%ecx, %%ecx\n\t"
      "jz 2f\n\t"
      "pushl -4(%%esi,%%ecx,4)\n\t"
      "decl %%ecx\n\t"
      "jmp 1b\n\t"
      "2:\n\t"
      "call *%%ebx\n\t"
      "movl %%edi, %%ecx\n\t"
      "subl %%esp, %%ecx\n\t"
      "movl %%edi, %%esp\n\t"
      : "=a"(result), "+c"(left)
      : "b"(function), "S"(args)
      : "edx", "edi", "memory", "cc");
  return {result, left};
}

}  // namespace drwtest
