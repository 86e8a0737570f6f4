#pragma once
// Serving a machine folder's database server over TDS, for `t7machine
// serve` in the foreground and `net start mssqlserver` in the background.
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "platform/machine/MachineFolder.h"

namespace t7::serve {

struct ServeOptions {
    uint16_t port = 1433;
    bool browser = false;
    uint16_t browserPort = 1434;
};

// Listens on 127.0.0.1 until SIGTERM or SIGINT, then closes the
// connections and returns 0. `listening` is told the bound port (and the
// browser's) once clients can connect. A port that cannot be bound is
// reported on `err` and returns 1.
int serve(const MachineFolder& machine, const ServeOptions& options,
          const std::function<void(uint16_t port, uint16_t browserPort)>& listening, std::ostream& err);

// The TDS port recorded in the machine folder (1433 when none is).
uint16_t recordedPort(const MachineFolder& machine);
void recordPort(const MachineFolder& machine, uint16_t port);

// Starts the listener as a background process on the recorded port and
// records its process id; returns the port it listens on, or raises
// std::runtime_error saying why it could not start.
uint16_t startInBackground(const MachineFolder& machine);
// The process id of the running background listener, if any.
std::optional<int> runningListener(const MachineFolder& machine);
// Ends the background listener (SIGTERM, waiting for it to exit); false
// when none ran.
bool stopBackground(const MachineFolder& machine);

}  // namespace t7::serve
