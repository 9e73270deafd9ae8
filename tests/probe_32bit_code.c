/* Exits 0 when this machine runs 32-bit x86 code inside a 64-bit Linux
 * process, the way Wine's WoW64 runs a 32-bit Windows program: a far call
 * into the kernel's 32-bit user code segment (selector 0x23) and back.
 * Exits 1, saying so, when the call faults: some hypervisors give their
 * guests no 32-bit code segment, and then no 32-bit program can run, under
 * any Wine. Built and run natively by tests/run_wine10_tests.sh. */
#define _GNU_SOURCE
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

static void on_fault(int signal_number) {
  static const char text[] =
      "no 32-bit code runs here: a far call into the 32-bit user code segment (0x23) faulted\n";
  (void)signal_number;
  (void)!write(2, text, sizeof text - 1);
  _exit(1);
}

extern char probe_back[];

int main(void) {
  signal(SIGSEGV, on_fault);
  signal(SIGBUS, on_fault);
  /* Both pieces of code must lie below 4 GB: 32-bit code sees only that. */
  unsigned char *code = mmap(NULL, 4096, PROT_READ | PROT_WRITE | PROT_EXEC,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
  if (code == MAP_FAILED) {
    perror("mmap below 4 GB");
    return 2;
  }
  /* At 0, 32-bit code: a far return (pops a 32-bit offset and selector)
   * to the 64-bit code at 8, which jumps back here. */
  uint64_t back = (uint64_t)(uintptr_t)probe_back;
  code[0] = 0xcb;                      /* lret */
  code[8] = 0x48, code[9] = 0xb8;      /* movabs $back, %rax */
  memcpy(code + 10, &back, sizeof back);
  code[18] = 0xff, code[19] = 0xe0;    /* jmp *%rax */
  __asm__ volatile(
      "mov %%rsp, %%r12\n\t"
      "and $-16, %%rsp\n\t"
      "sub $8, %%rsp\n\t"
      "lea 8(%0), %%rax\n\t"
      "movl %%eax, (%%rsp)\n\t"         /* the 32-bit far return's frame: */
      "movl $0x33, 4(%%rsp)\n\t"        /* 64-bit code at code + 8 */
      "pushq $0x23\n\t"
      "push %0\n\t"
      "lretq\n\t"                       /* into the 32-bit segment */
      ".globl probe_back\n"
      "probe_back:\n\t"
      "mov %%r12, %%rsp\n\t"
      :
      : "r"(code)
      : "rax", "r12", "memory");
  return 0;
}
