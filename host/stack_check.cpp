#include "stack_check.h"

// uint32_t MeasureCall(const void* fn, const uint32_t* args, int count, int32_t* moved,
//                      uint32_t* preserved)   (cdecl)
asm(R"(
    .text
    .globl _MeasureCall
_MeasureCall:
    pushl %ebp
    movl  %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl  $12, %esp              # -16(%ebp): ESP before pushes; -20/-24: scratch
    movl  %esp, -16(%ebp)
    movl  $0x5A5A5A5A, %ebx      # marker values the callee must give back
    movl  $0x3C3C3C3C, %esi
    movl  $0x69696969, %edi
    movl  12(%ebp), %edx         # args
    movl  16(%ebp), %ecx         # count
1:  testl %ecx, %ecx
    jz    2f
    pushl -4(%edx,%ecx,4)
    decl  %ecx
    jmp   1b
2:  call  *8(%ebp)
    movl  %esp, %ecx
    subl  -16(%ebp), %ecx
    movl  20(%ebp), %edx
    movl  %ecx, (%edx)           # *moved
    xorl  %ecx, %ecx
    cmpl  $0x5A5A5A5A, %ebx
    jne   3f
    cmpl  $0x3C3C3C3C, %esi
    jne   3f
    cmpl  $0x69696969, %edi
    jne   3f
    incl  %ecx
3:  movl  24(%ebp), %edx
    movl  %ecx, (%edx)           # *preserved (EBP is checked by reaching here at all)
    movl  -16(%ebp), %esp
    addl  $12, %esp
    popl  %edi
    popl  %esi
    popl  %ebx
    popl  %ebp
    ret
)");

extern "C" uint32_t MeasureCall(const void* fn, const uint32_t* args, int count, int32_t* moved,
                                uint32_t* preserved);

MeasuredCall CallMeasured(const void* function, const uint32_t* args, int count) {
  MeasuredCall call = {};
  uint32_t preserved = 0;
  call.result = MeasureCall(function, args, count, &call.stackMoved, &preserved);
  call.preserved = preserved != 0;
  return call;
}
