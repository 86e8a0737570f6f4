#include "tools/serve/Serve.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "base/Text.h"
#include "platform/machine/MachineFileSystem.h"
#include "sqlengine/Engine.h"
#include "sqlengine/tds/posix/Listener.h"

namespace t7::serve {

namespace {

sqlengine::tds::Listener* g_listener = nullptr;

extern "C" void onSignal(int) {
    if (g_listener) g_listener->stop();
}

}  // namespace

int serve(const MachineFolder& machine, const ServeOptions& options,
          const std::function<void(uint16_t, uint16_t)>& listening, std::ostream& err) {
    auto files = std::make_shared<MachineFileSystem>(machine);
    auto server = sqlengine::Server::open(
        machine.sqlServerFolder(), [files](const std::string& p) { return files->nativePath(fromUtf8(p)); });
    sqlengine::tds::ListenerOptions o;
    o.port = options.port;
    o.browser = options.browser;
    o.browserPort = options.browserPort;
    o.log = &err;
    sqlengine::tds::Listener listener(*server, o);
    try {
        listener.bind();
    } catch (const std::exception& e) {
        err << e.what() << "\n";
        return 1;
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    g_listener = &listener;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    listening(listener.port(), listener.browserPort());
    listener.run();
    g_listener = nullptr;
    return 0;
}

namespace {

// A process that has exited but is not yet reaped counts as gone.
bool alive(int pid) {
    if (::kill(pid, 0) != 0) return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    size_t paren = line.rfind(')');
    return paren == std::string::npos || paren + 2 >= line.size() || line[paren + 2] != 'Z';
}

}  // namespace

std::optional<int> runningListener(const MachineFolder& machine) {
    std::ifstream in(machine.listenerPidFile());
    int pid = 0;
    if (!(in >> pid) || pid <= 0 || !alive(pid)) return std::nullopt;
    return pid;
}

uint16_t startInBackground(const MachineFolder& machine) {
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) throw std::runtime_error("cannot create a pipe");
    uint16_t port = recordedPort(machine);
    pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("cannot start the listener process");
    if (pid == 0) {
        ::close(ready[0]);
        ::setsid();
        int null = ::open("/dev/null", O_RDONLY);
        int log = ::open(machine.listenerLogFile().c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        ::dup2(null, 0);
        ::dup2(log >= 0 ? log : null, 1);
        ::dup2(log >= 0 ? log : null, 2);
        std::ostringstream err;
        int status = serve(
            machine, {port},
            [&](uint16_t bound, uint16_t) {
                std::string line = "listening " + std::to_string(bound) + "\n";
                ssize_t ignored = ::write(ready[1], line.data(), line.size());
                (void)ignored;
                ::close(ready[1]);
                std::cerr << "listening on 127.0.0.1:" << bound << std::endl;
            },
            std::cerr);
        if (status != 0) {
            std::string line = "failed\n";
            ssize_t ignored = ::write(ready[1], line.data(), line.size());
            (void)ignored;
        }
        std::cerr.flush();
        ::_exit(status);
    }
    ::close(ready[1]);
    std::string answer;
    char buf[128];
    ssize_t n;
    while ((n = ::read(ready[0], buf, sizeof buf)) > 0) answer.append(buf, static_cast<size_t>(n));
    ::close(ready[0]);
    if (answer.rfind("listening ", 0) != 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        std::ifstream log(machine.listenerLogFile());
        std::string line, last;
        while (std::getline(log, line))
            if (!line.empty()) last = line;
        throw std::runtime_error(last.empty() ? "the listener did not start" : last);
    }
    std::ofstream(machine.listenerPidFile()) << pid << "\n";
    return static_cast<uint16_t>(std::stoi(answer.substr(10)));
}

bool stopBackground(const MachineFolder& machine) {
    std::optional<int> pid = runningListener(machine);
    std::error_code ec;
    if (!pid) {
        std::filesystem::remove(machine.listenerPidFile(), ec);
        return false;
    }
    ::kill(*pid, SIGTERM);
    // It is not our child when another net started it: wait for it to go.
    for (int i = 0; i < 400 && alive(*pid); ++i) {
        ::waitpid(*pid, nullptr, WNOHANG);
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    std::filesystem::remove(machine.listenerPidFile(), ec);
    return true;
}

}  // namespace t7::serve
