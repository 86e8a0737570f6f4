#include "tools/t7machine/Commands.h"

namespace t7::machine {

void initDatabaseServer(const MachineFolder&, const InitOptions&) {}

int runSql(const MachineFolder&, const std::vector<std::string>&, std::ostream&, std::ostream&) {
    throw CommandError{"sql: not built yet"};
}

int service(const MachineFolder&, const std::string&, std::ostream&) {
    throw CommandError{"service: not built yet"};
}

}  // namespace t7::machine
