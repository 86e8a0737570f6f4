#include "support/TdsListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace t7::test {
namespace {

std::filesystem::path machineTool() {
    const char* binary = std::getenv("T7_BINARY_DIR");
    const std::filesystem::path build =
        binary && *binary ? std::filesystem::path(binary)
                          : std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path();
    return build / "tools" / "t7machine";
}

}  // namespace

TdsListener::TdsListener(const std::filesystem::path& machine, uint16_t port) {
    const std::string tool = machineTool().string();
    std::vector<std::string> args{tool, "serve", machine.string(), "--port", std::to_string(port)};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2];
    if (::pipe(out) != 0) throw std::runtime_error("cannot make a pipe for t7machine serve");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const int spawned = posix_spawn(&m_pid, tool.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        throw std::runtime_error("cannot start " + tool);
    }
    // The first line says where it listens: "listening on 127.0.0.1:PORT".
    std::string line;
    char c = 0;
    while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
    ::close(out[0]);
    const std::string prefix = "listening on 127.0.0.1:";
    const size_t at = line.find(prefix);
    if (at != std::string::npos) m_port = static_cast<uint16_t>(std::atoi(line.c_str() + at + prefix.size()));
    if (m_port == 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
        throw std::runtime_error("t7machine serve did not start: \"" + line + "\"");
    }
}

TdsListener::~TdsListener() {
    ::kill(m_pid, SIGTERM);
    ::waitpid(m_pid, nullptr, 0);
}

std::wstring TdsListener::odbcAttributesFor(uint16_t port) {
    return L"Driver={FreeTDS};Port=" + std::to_wstring(port) + L";TDS_Version=7.4";
}

uint16_t TdsListener::freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                       ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0;
    ::close(fd);
    if (!bound) throw std::runtime_error("cannot find a free loopback port");
    return ntohs(a.sin_port);
}

}  // namespace t7::test
