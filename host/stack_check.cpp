#include "stack_check.h"

#include <cstddef>

static_assert(offsetof(MeasuredCall, result) == 0 && offsetof(MeasuredCall, stackMoved) == 4 &&
                  offsetof(MeasuredCall, preserved) == 8,
              "the assembly below writes these offsets");

// void MeasureCall(const void* fn, const uint32_t* args, int count, MeasuredCall* out)  (cdecl)
//
// _measureStackTop holds the stack pointer from before the arguments were pushed; the
// enclosing call's value is kept on the stack and put back on return, so calls nest.
asm(R"(
    .data
    .p2align 2
_measureStackTop:
    .long 0
    .text
    .globl _MeasureCall
_MeasureCall:
    pushl %ebp
    movl  %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    pushl _measureStackTop
    movl  %esp, _measureStackTop
    movl  12(%ebp), %edx         # args
    movl  16(%ebp), %ecx         # count
1:  testl %ecx, %ecx
    jz    2f
    pushl -4(%edx,%ecx,4)
    decl  %ecx
    jmp   1b
2:  movl  8(%ebp), %eax
    movl  $0x5A5A5A5A, %ebx      # marker values the callee must give back
    movl  $0x3C3C3C3C, %esi
    movl  $0x69696969, %edi
    call  *%eax
    cld
    movl  %esp, %ecx
    movl  _measureStackTop, %esp # back on the known stack, whatever the callee did
    subl  %esp, %ecx             # how far ESP moved
    pushl %eax                   # result
    pushl %ecx                   # moved
    leal  24(%esp), %edx         # this function's frame pointer
    xorl  %eax, %eax
    cmpl  %edx, %ebp
    jne   3f
    cmpl  $0x5A5A5A5A, %ebx
    jne   3f
    cmpl  $0x3C3C3C3C, %esi
    jne   3f
    cmpl  $0x69696969, %edi
    jne   3f
    incl  %eax
3:  movl  %edx, %ebp
    movl  20(%ebp), %edx         # out
    movb  %al, 8(%edx)           # preserved
    popl  %ecx
    movl  %ecx, 4(%edx)          # stackMoved
    popl  %eax
    movl  %eax, (%edx)           # result
    popl  _measureStackTop
    popl  %edi
    popl  %esi
    popl  %ebx
    popl  %ebp
    ret
)");

extern "C" void MeasureCall(const void* fn, const uint32_t* args, int count, MeasuredCall* out);

MeasuredCall CallMeasured(const void* function, const uint32_t* args, int count) {
  MeasuredCall call = {};
  MeasureCall(function, args, count, &call);
  return call;
}
