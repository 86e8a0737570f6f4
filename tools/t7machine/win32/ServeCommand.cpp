// t7machine serve on Windows: the TDS listener is built for POSIX systems
// only; a Windows machine has SQL Server itself.
#include <ostream>

#include "tools/t7machine/Commands.h"

namespace t7::machine {

int serve(const MachineFolder&, const std::vector<std::string>&, std::ostream&, std::ostream& err) {
    err << "t7machine: serve is not available on Windows\n";
    return 1;
}

}  // namespace t7::machine
