/*
 * lx_start: the start-up of a handheld program on the console's kernel, in
 * place of the C library's own (the programs link with -nostartfiles).
 *
 * The kernel enters _start with the stack pointer at the arguments:
 *
 *     sp -> argc, argv[0] .. argv[argc-1], NULL, envp[0] .. , NULL
 *
 * and the registers otherwise undefined; the bss is already zero. From
 * there: set up environ, run the static constructors, call main and leave
 * through exit (atexit handlers, static destructors, stdio flushed, _exit).
 * (The audio ring's initial free room is one such constructor: without them
 * the handheld tests hear no sound.)
 */
#include <stdlib.h>

extern char** environ;
extern int main(int argc, char** argv, char** envp);
extern void __libc_init_array(void);

/* ---- Globals -------------------------------------------------------------
 * Lifetime: whole run. */
void* __dso_handle = 0;            /* the program's own handle for __cxa_atexit; no shared objects */
char* program_invocation_name = 0; /* argv[0] (glibc's name for it); null when the kernel gave none */

/* The C library's constructor and destructor runs call these around the
 * init and fini arrays; everything we need is in the arrays. */
void _init(void)
{
}

void _fini(void)
{
}

/* Called by _start with the kernel's initial stack pointer; never returns. */
void lx_startC(long* sp) __attribute__((noreturn, used));

void lx_startC(long* sp)
{
    int argc = (int)sp[0];
    char** argv = (char**)(sp + 1);
    char** envp = argv + argc + 1;
    environ = envp;
    program_invocation_name = argc > 0 ? argv[0] : 0;
    /* preinit and init arrays; the C library's own entry there registers
     * __libc_fini_array with atexit */
    __libc_init_array();
    exit(main(argc, argv, envp));
}

void _start(void) __attribute__((naked, noreturn));

void _start(void)
{
    __asm__ volatile("mov r0, sp\n\t"     /* r0 = the kernel's stack: argc, argv, envp */
                     "bic sp, sp, #7\n\t" /* calls need an 8-byte aligned stack */
                     "mov fp, #0\n\t"     /* no caller frame: end of a backtrace */
                     "bl lx_startC\n\t");
}
