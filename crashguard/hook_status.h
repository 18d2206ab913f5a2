// What a step of the inline hook engine reports: Ok, or the one thing that
// failed. The hook record's own operations still answer 1 or 0.
#pragma once

namespace crashguard {

enum class HookStatus {
  Ok,
  ModuleNotLoaded,    // the module named for a hook is not in the process
  ExportNotFound,     // the module has no such export
  NotExecutable,      // the target or the replacement is not executable code
  StillHooked,        // the object already holds a hook
  UnsupportedEntry,   // a branch of 8 or 16 bits, or one into the bytes to move
  EntryTooShort,      // the flow leaves the function before the jump would fit
  UnknownInstruction, // an instruction the decoder does not take (or an invalid one)
  UnreadableEntry,    // the bytes to move may not be read (execute-only, guard or no-access memory)
  CodeTooLarge,       // more code than a code slot holds
  NoMemory,           // no executable page could be had
  ProtectionRefused,  // the entry could not be made writable
  NotHooked,          // nothing to remove: the object holds no hook, or not the one installed now
  EntryChanged,       // the entry no longer jumps to this hook: a later hook's jump, other code, or none
  UnknownMode,        // a removal mode other than restore or pass-through
};

}  // namespace crashguard
