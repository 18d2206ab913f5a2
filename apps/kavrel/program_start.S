/* Kavrel's start routine. Written here so that its frame is exactly what
   the crash guard's installer expects: the installer, the 11th module
   initialiser, leaves the main exception record and the unlink stub's
   address on this routine's stack, three words below its return address.
   The routine keeps no register and no stack slot of its own across the
   calls, so the three words stay where they are for the whole message loop,
   and the final ret enters the unlink stub, which takes the record off and
   returns to this routine's caller. */
        .text
        .globl  _kavrel_ProgramStart
        .def    _kavrel_ProgramStart; .scl 2; .type 32; .endef
_kavrel_ProgramStart:
        call    _kavrel_PrepareProgram
        .irp    slot, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14
        movl    _kavrel_ModuleInitialisers + 4 * \slot, %eax
        testl   %eax, %eax
        je      1f
        call    *%eax
1:
        .endr
        call    _kavrel_RunMainWindow
        xorl    %eax, %eax
        ret
