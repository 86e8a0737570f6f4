#pragma once
// The TDS listener of this build's t7machine ("t7machine serve DIR --port
// 0") on a free loopback port, started by a test and stopped with it; the
// ODBC database component reaches it through unixODBC and FreeTDS.
//
// The listener is built for POSIX systems only. The Windows test programs
// leave out the tests that need one, and the constructor raises
// std::runtime_error there; under Wine the program itself is run over ODBC
// to a listener of the build machine (tests/shell/WineOdbcRun.sh).
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace t7::test {

class TdsListener {
public:
    // Starts the listener on the machine folder `machine` (on `port`, 0: a
    // free one) and waits until it says where it listens. Raises
    // std::runtime_error when it cannot start.
    explicit TdsListener(const std::filesystem::path& machine, uint16_t port = 0);
    // Stops the listener (SIGTERM) and waits for it.
    ~TdsListener();
    TdsListener(const TdsListener&) = delete;
    TdsListener& operator=(const TdsListener&) = delete;

    uint16_t port() const { return m_port; }
    // The connection attributes that lead FreeTDS to it.
    std::wstring odbcAttributes() const { return odbcAttributesFor(m_port); }
    static std::wstring odbcAttributesFor(uint16_t port);
    // A loopback TCP port that nothing listens on at the time of the call.
    static uint16_t freePort();

private:
    pid_t m_pid = -1;
    uint16_t m_port = 0;
};

}  // namespace t7::test
