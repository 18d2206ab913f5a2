/* Exception-registration records planted into a caller's frame.
   Nothing here keeps state on the stack below ESP across a call: the
   planting reads its arguments from its own dead frame, and nothing can
   write there between the frame's release and the last read. */

        .text

/* PlantSehFrame(handler, adjustment, restoreRegisters, returnStub, resumeValue)
   Leaves its own frame and its caller's, links {previous head, handler} on
   the resumer's stack, pushes the return stub when there is one, and
   continues where the caller would have returned, with EAX = resumeValue.
   With restoreRegisters, a one-argument wrapper that saved ESI, EDI and EBX
   sits between resumer and caller and is unwound too. */
        .globl  _crashguard_PlantSehFrame
        .def    _crashguard_PlantSehFrame; .scl 2; .type 32; .endef
_crashguard_PlantSehFrame:
        pushl   %ebp
        movl    %esp, %ebp
        movl    %ebp, %ecx              /* our frame: the arguments are read from it */
        movl    %ebp, %esp
        popl    %ebp
        addl    $4, %esp                /* our return address into the caller */
        movl    %ebp, %esp              /* the caller's frame */
        popl    %ebp
        popl    %edx                    /* where the resumer continues */
        addl    12(%ecx), %esp          /* the caller's stack arguments */
        cmpl    $0, 16(%ecx)
        je      1f
        popl    %ebx
        popl    %edi
        popl    %esi
        popl    %edx                    /* the wrapper's return address */
        addl    12(%ecx), %esp          /* the wrapper's own argument */
1:
        pushl   8(%ecx)                 /* handler */
        pushl   %fs:0
        movl    %esp, %fs:0
        movl    24(%ecx), %eax          /* read before the stub can land on its slot */
        cmpl    $0, 20(%ecx)
        je      2f
        pushl   20(%ecx)
2:
        jmp     *%edx

/* PlantThreadSehFrame(ignored): the record of a guarded thread, in the
   frame of the thread-start thunk, below the GuardNewThread wrapper. */
        .globl  _crashguard_PlantThreadSehFrame
        .def    _crashguard_PlantThreadSehFrame; .scl 2; .type 32; .endef
_crashguard_PlantThreadSehFrame:
        pushl   %ebp
        movl    %esp, %ebp
        pushl   $0
        pushl   $0
        pushl   $1
        pushl   $4
        pushl   $_crashguard_SehHandlerEntry@16
        call    _crashguard_PlantSehFrame

/* GuardNewThread(block), stdcall: keeps EBX, ESI and EDI for the thunk and
   returns into it with the thread's record planted in the thunk's frame. */
        .globl  _crashguard_GuardNewThread@4
        .def    _crashguard_GuardNewThread@4; .scl 2; .type 32; .endef
_crashguard_GuardNewThread@4:
        pushl   %esi
        pushl   %edi
        pushl   %ebx
        pushl   16(%esp)
        call    _crashguard_PlantThreadSehFrame

/* InstallCrashGuard(): a module initialiser, called straight from the start
   routine's frame. When the guard is new for this module, the start
   routine's return slot leads through the return-hook thunk while this
   runs, and the main record ends up in the start routine's frame with the
   unlink stub above it. Uses no register the caller keeps. */
        .globl  _crashguard_InstallCrashGuard
        .def    _crashguard_InstallCrashGuard; .scl 2; .type 32; .endef
_crashguard_InstallCrashGuard:
        pushl   %ebp
        movl    %esp, %ebp
        call    _crashguard_BeginInstall
        testl   %eax, %eax
        je      1f
        pushl   $0
        pushl   $_crashguard_kInstallMarker
        call    _crashguard_PushCallStackEntry
        addl    $8, %esp
        call    _crashguard_FinishInstall       /* the unlink stub's address */
        testl   %eax, %eax                      /* none: no record that could not come off */
        je      1f
        pushl   $0
        pushl   %eax
        pushl   $0
        pushl   $0
        pushl   $_crashguard_SehHandlerEntry@16
        call    _crashguard_PlantSehFrame
1:
        xorl    %eax, %eax
        movl    %ebp, %esp
        popl    %ebp
        ret
