#include "tools/t7machine/Commands.h"

namespace t7::machine {

void initRegistry(const MachineFolder&, const InitOptions&) {}

int printRegistry(const MachineFolder&, std::ostream&) { throw CommandError{"reg: not built yet"}; }

}  // namespace t7::machine
