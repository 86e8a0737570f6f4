// The TDS port recorded in a machine folder.
#include <fstream>

#include "tools/serve/Serve.h"

namespace t7::serve {

uint16_t recordedPort(const MachineFolder& machine) {
    std::ifstream in(machine.tdsPortFile());
    long port = 1433;
    if (in >> port && port >= 0 && port <= 65535) return static_cast<uint16_t>(port);
    return 1433;
}

void recordPort(const MachineFolder& machine, uint16_t port) {
    std::ofstream(machine.tdsPortFile()) << port << "\n";
}

}  // namespace t7::serve
