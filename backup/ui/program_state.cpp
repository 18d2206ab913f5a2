#include "backup/ui/program_state.h"

namespace kavrel {

ProgramState& Program() {
  static ProgramState state;
  return state;
}

}  // namespace kavrel
