// t7machine: creates and inspects machine folders, the stand-ins for an
// examination server on machines without Windows.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "tools/t7machine/Commands.h"

namespace {

const char* kUsage =
    "usage:\n"
    "  t7machine init DIR [--no-iis] [--sql-pwd TEXT] [--site NAME:ip:port:host]...\n"
    "                     [--sa-password TEXT] [--service-stopped] [--policy on|off]\n"
    "                     [--database NAME[=SCRIPT]]... [--tds-port N]\n"
    "  t7machine reg DIR\n"
    "  t7machine sites DIR\n"
    "  t7machine sql DIR [-U LOGIN] [-P PASSWORD] [DATABASE] \"T-SQL\"\n"
    "  t7machine service DIR start|stop|status\n"
    "  t7machine serve DIR [--port N] [--browser] [--browser-port N]\n";

using t7::machine::CommandError;

t7::machine::InitOptions parseInitOptions(const std::vector<std::string>& args) {
    t7::machine::InitOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw CommandError{a + " needs a value"};
            return args[++i];
        };
        if (a == "--no-iis") {
            options.webServer = false;
        } else if (a == "--sql-pwd") {
            options.sqlPwd = value();
        } else if (a == "--site") {
            options.sites.push_back(value());
        } else if (a == "--sa-password") {
            options.saPassword = value();
        } else if (a == "--service-stopped") {
            options.serviceStopped = true;
        } else if (a == "--policy") {
            const std::string& v = value();
            if (v != "on" && v != "off") throw CommandError{"--policy takes on or off, not '" + v + "'"};
            options.passwordPolicy = v == "on";
        } else if (a == "--database") {
            options.databases.push_back(value());
        } else if (a == "--tds-port") {
            options.tdsPort = t7::machine::parsePort(value());
        } else {
            throw CommandError{"unknown option '" + a + "'"};
        }
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 2) {
        std::cerr << kUsage;
        return 2;
    }
    const std::string command = args[0];
    t7::MachineFolder machine(std::filesystem::absolute(args[1]));
    std::vector<std::string> rest(args.begin() + 2, args.end());
    try {
        if (command == "init") {
            auto options = parseInitOptions(rest);
            std::filesystem::create_directories(machine.root());
            t7::machine::initRegistry(machine, options);
            t7::machine::initWebServer(machine, options);
            t7::machine::initDatabaseServer(machine, options);
            std::cout << "machine folder ready: " << machine.root().string() << "\n";
            return 0;
        }
        if (!std::filesystem::is_directory(machine.root())) {
            throw CommandError{"no machine folder at " + machine.root().string()};
        }
        if (command == "reg" && rest.empty()) return t7::machine::printRegistry(machine, std::cout);
        if (command == "sites" && rest.empty()) return t7::machine::printSites(machine, std::cout);
        if (command == "sql") return t7::machine::runSql(machine, rest, std::cout, std::cerr);
        if (command == "service" && rest.size() == 1)
            return t7::machine::service(machine, rest[0], std::cout);
        if (command == "serve") return t7::machine::serve(machine, rest, std::cout, std::cerr);
    } catch (const CommandError& e) {
        std::cerr << "t7machine: " << e.message << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "t7machine: " << e.what() << "\n";
        return 1;
    }
    std::cerr << kUsage;
    return 2;
}
