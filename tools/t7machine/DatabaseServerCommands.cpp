// The database server of a machine folder: its init step, `sql` and
// `service`. These talk to the embedded server directly, as an
// administrator's tool would; scripts go through the same batch splitter as
// the wizard's.
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>

#include "base/Text.h"
#include "database/BatchSplitter.h"
#include "sqlengine/Engine.h"
#include "tools/t7machine/Commands.h"

namespace t7::machine {
namespace {

// FILENAME clauses name Windows paths; drive X: lies in <machine>/drive_x,
// and a folder that does not exist as written is looked up ignoring case.
std::filesystem::path mapClientPath(const MachineFolder& machine, const std::string& clientPath) {
    std::wstring path = fromUtf8(clientPath);
    if (path.size() < 2 || path[1] != L':' || !std::iswalpha(path[0])) return clientPath;
    std::filesystem::path native = machine.driveFolder(static_cast<char>(path[0]));
    size_t pos = 2;
    while (pos <= path.size()) {
        size_t end = path.find_first_of(L"\\/", pos);
        if (end == std::wstring::npos) end = path.size();
        std::wstring part = path.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == L".") continue;
        std::filesystem::path next = native / toUtf8(part);
        std::error_code ec;
        if (!std::filesystem::exists(next, ec) && std::filesystem::is_directory(native, ec)) {
            for (const auto& entry : std::filesystem::directory_iterator(native, ec)) {
                if (equalsIgnoreCase(fromUtf8(entry.path().filename().string()), part)) {
                    next = entry.path();
                    break;
                }
            }
        }
        native = next;
    }
    return native;
}

std::unique_ptr<sqlengine::Server> openServer(const MachineFolder& machine) {
    return sqlengine::Server::open(machine.sqlServerFolder(),
                                   [machine](const std::string& p) { return mapClientPath(machine, p); });
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
        for (const std::string& spec : options.databases) {
            size_t eq = spec.find('=');
            std::string name = spec.substr(0, eq);
            if (name.empty()) throw CommandError{"--database needs a name: '" + spec + "'"};
            std::string script;
            if (eq != std::string::npos) script = readScript(spec.substr(eq + 1));
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
