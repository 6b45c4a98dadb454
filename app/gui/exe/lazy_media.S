// Stand-ins for the FFmpeg and SDL functions of the window program. Loading those
// libraries and the hundred codec libraries behind them took about half of the time
// to the first window, and most starts never play or probe a file before the window
// is up. Each stand-in jumps through its slot; the first call finds the real function
// (lazy_media.cpp loads the libraries then), stores it in the slot and goes on to it
// with the caller's registers and stack as they were, so any signature works.
#if defined(__x86_64__) && defined(__linux__)

#define LAZY(name)                  \
    .text;                          \
    .globl name;                    \
    .hidden name;                   \
    .type name, @function;          \
name:                               \
    jmp *name##_slot(%rip);         \
name##_first:                       \
    lea name##_slot(%rip), %r11;    \
    jmp lazy_media_first_call;      \
    .size name, . - name;           \
    .section .rodata;               \
name##_name:                        \
    .asciz #name;                   \
    .data;                          \
    .balign 8;                      \
name##_slot:                        \
    .quad name##_first;             \
    .quad name##_name;

    .text
// %r11: the slot {target, name}. Keeps the argument registers (and %al of a
// variadic call) across the lookup.
lazy_media_first_call:
    push %rdi
    push %rsi
    push %rdx
    push %rcx
    push %r8
    push %r9
    push %rax
    sub $128, %rsp
    movdqu %xmm0, 0(%rsp)
    movdqu %xmm1, 16(%rsp)
    movdqu %xmm2, 32(%rsp)
    movdqu %xmm3, 48(%rsp)
    movdqu %xmm4, 64(%rsp)
    movdqu %xmm5, 80(%rsp)
    movdqu %xmm6, 96(%rsp)
    movdqu %xmm7, 112(%rsp)
    mov %r11, %rdi
    call quorin_lazy_media_bind
    mov %rax, %r11
    movdqu 0(%rsp), %xmm0
    movdqu 16(%rsp), %xmm1
    movdqu 32(%rsp), %xmm2
    movdqu 48(%rsp), %xmm3
    movdqu 64(%rsp), %xmm4
    movdqu 80(%rsp), %xmm5
    movdqu 96(%rsp), %xmm6
    movdqu 112(%rsp), %xmm7
    add $128, %rsp
    pop %rax
    pop %r9
    pop %r8
    pop %rcx
    pop %rdx
    pop %rsi
    pop %rdi
    jmp *%r11

#include "lazy_media_symbols.inc"

#endif

    .section .note.GNU-stack, "", @progbits
