// t7machine serve: the machine folder's database server over TDS.
#include <iostream>

#include "tools/serve/Serve.h"
#include "tools/t7machine/Commands.h"

namespace t7::machine {

int serve(const MachineFolder& machine, const std::vector<std::string>& args, std::ostream& out,
          std::ostream& err) {
    serve::ServeOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw CommandError{args[i] + " needs a value"};
            return args[++i];
        };
        if (args[i] == "--port")
            options.port = parsePort(value());
        else if (args[i] == "--browser")
            options.browser = true;
        else if (args[i] == "--browser-port")
            options.browserPort = parsePort(value());
        else
            throw CommandError{"unknown option '" + args[i] + "'"};
    }
    return serve::serve(
        machine, options,
        [&](uint16_t port, uint16_t browserPort) {
            out << "listening on 127.0.0.1:" << port << std::endl;
            if (options.browser) out << "browser on 127.0.0.1:" << browserPort << "/udp" << std::endl;
        },
        err);
}

}  // namespace t7::machine
