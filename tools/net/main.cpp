// net: the service commands of the machine folder's database server, as the
// wizard runs them ("net start mssqlserver"). The machine folder is the one
// the wizard uses: $T7SETUP_MACHINE and so on. Starting the service starts
// its TDS listener in the background on the port the machine folder
// records; stopping it ends the listener.
//   net start [SERVICE]   starts the service, or lists the started ones
//   net stop SERVICE      stops it
// Exit status 0 on success, 2 on failure, as the Windows command has.
#include <algorithm>
#include <cctype>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>

#include "platform/machine/MachineFolder.h"
#include "sqlengine/Engine.h"
#include "tools/serve/Serve.h"

namespace {

const char* kServiceName = "mssqlserver";
const char* kDisplayName = "SQL Server (MSSQLSERVER)";

int fail(const std::string& message, int helpNumber) {
    std::cerr << message << "\n\nMore help is available by typing NET HELPMSG " << helpNumber << ".\n\n";
    return 2;
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::cerr << "The syntax of this command is:\n\nNET START [service]\nNET STOP service\n";
        return 1;
    }
    const std::string verb = lower(argv[1]);
    if (verb != "start" && verb != "stop") {
        std::cerr << "The syntax of this command is:\n\nNET START [service]\nNET STOP service\n";
        return 1;
    }
    try {
        t7::MachineFolder machine = t7::MachineFolder::fromEnvironment();
        if (!std::filesystem::is_directory(machine.root())) {
            std::cerr << "System error 1060 has occurred.\n\n"
                         "The specified service does not exist as an installed service.\n\n";
            return 2;
        }
        auto server = sqlengine::Server::open(machine.sqlServerFolder());
        if (argc == 2) {
            if (verb == "stop") return fail("The syntax of this command is:\n\nNET STOP service", 3505);
            std::cout << "These Windows services are started:\n\n";
            if (server->isRunning()) std::cout << "   " << kDisplayName << "\n";
            std::cout << "\nThe command completed successfully.\n\n";
            return 0;
        }
        if (lower(argv[2]) != kServiceName) return fail("The service name is invalid.", 2185);
        if (verb == "start") {
            if (server->isRunning()) return fail("The requested service has already been started.", 2182);
            std::cout << "The " << kDisplayName << " service is starting.\n";
            try {
                t7::serve::startInBackground(machine);
            } catch (const std::exception& e) {
                return fail(
                    "The " + std::string(kDisplayName) + " service could not be started.\n\n" + e.what(),
                    3534);
            }
            server->setRunning(true);
            std::cout << "The " << kDisplayName << " service was started successfully.\n\n";
        } else {
            if (!server->isRunning())
                return fail("The " + std::string(kDisplayName) + " service is not started.", 3521);
            std::cout << "The " << kDisplayName << " service is stopping.\n";
            t7::serve::stopBackground(machine);
            server->setRunning(false);
            std::cout << "The " << kDisplayName << " service was stopped successfully.\n\n";
        }
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "net: " << e.what() << "\n";
        return 2;
    }
}
