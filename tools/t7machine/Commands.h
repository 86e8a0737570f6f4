#pragma once
// The parts of t7machine. Each area of the machine folder (registry, web
// server, database server) has its own file with its init step and its
// commands.
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "platform/machine/MachineFolder.h"

namespace t7::machine {

struct InitOptions {
    bool webServer = true;               // --no-iis leaves it out
    std::optional<std::string> sqlPwd;   // --sql-pwd TEXT
    std::vector<std::string> sites;      // --site "NAME:ip:port:host"
    std::string saPassword;              // --sa-password TEXT
    bool serviceStopped = false;         // --service-stopped
    bool passwordPolicy = true;          // --policy on|off
    std::vector<std::string> databases;  // --database NAME[=SCRIPT]
    uint16_t tdsPort = 1433;             // --tds-port N (0: any free one)
};

// Raised for a bad command line or a failing step; main prints it and
// exits with status 1.
struct CommandError {
    std::string message;
};

void initRegistry(const MachineFolder& machine, const InitOptions& options);
void initWebServer(const MachineFolder& machine, const InitOptions& options);
void initDatabaseServer(const MachineFolder& machine, const InitOptions& options);

// t7machine reg DIR
int printRegistry(const MachineFolder& machine, std::ostream& out);
// t7machine sites DIR
int printSites(const MachineFolder& machine, std::ostream& out);
// t7machine sql DIR [-U LOGIN] [-P PASSWORD] [DATABASE] "T-SQL": runs the
// batches (split at GO lines) as LOGIN (default sa, empty password); prints
// result sets tab separated with a header line; on a server error prints
// "Msg NUMBER: MESSAGE" to `err` and returns 1.
int runSql(const MachineFolder& machine, const std::vector<std::string>& args, std::ostream& out,
           std::ostream& err);
// A TCP port number 0-65535; raises CommandError for anything else.
uint16_t parsePort(const std::string& text);
// t7machine serve DIR [--port N] [--browser] [--browser-port N]: serves
// the database server over TDS on 127.0.0.1 until SIGTERM or SIGINT; the
// first line out is "listening on 127.0.0.1:PORT".
int serve(const MachineFolder& machine, const std::vector<std::string>& args, std::ostream& out,
          std::ostream& err);
// t7machine service DIR start|stop|status
int service(const MachineFolder& machine, const std::string& action, std::ostream& out);

}  // namespace t7::machine
