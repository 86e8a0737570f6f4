// The database server of a machine folder: its init step, `sql` and
// `service`. These talk to the embedded server directly, as an
// administrator's tool would; scripts go through the same batch splitter as
// the wizard's.
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>

#include "base/Text.h"
#include "database/BatchSplitter.h"
#include "platform/machine/MachineFileSystem.h"
#include "sqlengine/Engine.h"
#include "tools/serve/Serve.h"
#include "tools/t7machine/Commands.h"

namespace t7::machine {
namespace {

// FILENAME clauses name Windows paths; they lie in the machine folder as
// the wizard's own files do.
std::unique_ptr<sqlengine::Server> openServer(const MachineFolder& machine) {
    auto files = std::make_shared<MachineFileSystem>(machine);
    return sqlengine::Server::open(machine.sqlServerFolder(),
                                   [files](const std::string& p) { return files->nativePath(fromUtf8(p)); });
}

std::string sqlError(const sqlengine::SqlError& e) {
    return "Msg " + std::to_string(e.number()) + ": " + e.message();
}

std::string bracketed(const std::string& name) {
    std::string out = "[";
    for (char c : name) {
        out += c;
        if (c == ']') out += ']';
    }
    return out + "]";
}

std::string literal(const std::string& text) {
    std::string out = "N'";
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

std::string readScript(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw CommandError{"cannot read script " + file.string()};
    std::ostringstream text;
    text << in.rdbuf();
    std::string bytes = text.str();
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);
    return bytes;
}

// Runs `script` batch by batch; the first failing batch raises.
void runScript(sqlengine::Session& session, const std::string& script,
               const std::function<void(const sqlengine::BatchResult&)>& onResult = {}) {
    for (const std::wstring& batch : splitBatches(fromUtf8(script))) {
        sqlengine::BatchResult result = session.executeBatch(toUtf8(batch));
        if (onResult) onResult(result);
    }
}

// Prints messages, then each result set as a header line and rows, tab
// separated; result sets after the first one begin with an empty line.
void printResult(const sqlengine::BatchResult& result, std::ostream& out, bool& printedSet) {
    for (const std::string& message : result.messages) out << message << "\n";
    for (const sqlengine::ResultSet& set : result.resultSets) {
        if (printedSet) out << "\n";
        printedSet = true;
        for (size_t i = 0; i < set.columns.size(); ++i) out << (i ? "\t" : "") << set.columns[i];
        out << "\n";
        for (const auto& row : set.rows) {
            for (size_t i = 0; i < row.size(); ++i) out << (i ? "\t" : "") << (row[i] ? *row[i] : "NULL");
            out << "\n";
        }
    }
}

}  // namespace

void initDatabaseServer(const MachineFolder& machine, const InitOptions& options) {
    auto server = openServer(machine);
    server->setRunning(true);
    // The administrator chooses the passwords here; the policy applies to
    // what the wizard and its operators set later.
    server->setPasswordPolicy(false);
    try {
        std::unique_ptr<sqlengine::Session> session;
        try {
            session = server->connect("sa", "");
        } catch (const sqlengine::SqlError&) {
            // A folder initialised before keeps its administrator password.
            session = server->connect("sa", options.saPassword);
        }
        if (!options.saPassword.empty()) {
            session->executeBatch("ALTER LOGIN [sa] WITH PASSWORD = " + literal(options.saPassword));
        }
        for (const std::string& entry : options.databases) {
            size_t eq = entry.find('=');
            std::string name = entry.substr(0, eq);
            if (name.empty()) throw CommandError{"--database needs a name: '" + entry + "'"};
            std::string script;
            if (eq != std::string::npos) script = readScript(entry.substr(eq + 1));
            session->useDatabase("master");
            session->executeBatch("CREATE DATABASE " + bracketed(name));
            if (eq != std::string::npos) {
                session->useDatabase(name);
                runScript(*session, script);
            }
        }
    } catch (const sqlengine::SqlError& e) {
        server->setPasswordPolicy(options.passwordPolicy);
        throw CommandError{"database server: " + sqlError(e)};
    } catch (...) {
        server->setPasswordPolicy(options.passwordPolicy);
        throw;
    }
    server->setPasswordPolicy(options.passwordPolicy);
    server->setRunning(!options.serviceStopped);
    serve::recordPort(machine, options.tdsPort);
}

int runSql(const MachineFolder& machine, const std::vector<std::string>& args, std::ostream& out,
           std::ostream& err) {
    std::string login = "sa", password;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        if ((args[i] == "-U" || args[i] == "-P") && i + 1 < args.size()) {
            (args[i] == "-U" ? login : password) = args[i + 1];
            ++i;
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.empty() || positional.size() > 2) {
        throw CommandError{"sql takes [-U LOGIN] [-P PASSWORD] [DATABASE] \"T-SQL\""};
    }
    try {
        auto server = openServer(machine);
        auto session = server->connect(login, password);
        if (positional.size() == 2) session->useDatabase(positional[0]);
        bool printedSet = false;
        runScript(*session, positional.back(),
                  [&](const sqlengine::BatchResult& result) { printResult(result, out, printedSet); });
        return 0;
    } catch (const sqlengine::SqlError& e) {
        err << sqlError(e) << "\n";
        return 1;
    }
}

uint16_t parsePort(const std::string& text) {
    size_t used = 0;
    int port = -1;
    try {
        port = std::stoi(text, &used);
    } catch (const std::exception&) {
    }
    if (used != text.size() || port < 0 || port > 65535)
        throw CommandError{"a port is a number from 0 to 65535, not '" + text + "'"};
    return static_cast<uint16_t>(port);
}

int service(const MachineFolder& machine, const std::string& action, std::ostream& out) {
    if (action != "start" && action != "stop" && action != "status") {
        throw CommandError{"service takes start, stop or status, not '" + action + "'"};
    }
    auto server = openServer(machine);
    if (action != "status") server->setRunning(action == "start");
    out << (server->isRunning() ? "running" : "stopped") << "\n";
    return 0;
}

}  // namespace t7::machine
