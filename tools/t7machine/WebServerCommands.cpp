#include "tools/t7machine/Commands.h"

namespace t7::machine {

void initWebServer(const MachineFolder&, const InitOptions&) {}

int printSites(const MachineFolder&, std::ostream&) { throw CommandError{"sites: not built yet"}; }

}  // namespace t7::machine
