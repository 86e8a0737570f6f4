// Walking a server's databases as the database page does: Count, then the
// Name of every Item by position, on a fresh connection. Measured at 500,
// 1000 and 2000 databases; the time should grow linearly and stay under a
// second at 2000.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/AppError.h"
#include "base/Text.h"
#include "platform/machine/MachineDatabaseComponent.h"
#include "platform/machine/MachineFolder.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Median of `runs` walks, each on a new connection.
double walk(t7::dmo::Application& app, int32_t expected, int runs) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        auto server = app.NewSQLServer();
        server->Connect(L"(local)", L"sa", L"");
        auto start = Clock::now();
        auto databases = server->Databases();
        int32_t count = databases->Count();
        size_t characters = 0;
        for (int32_t i = 1; i <= count; ++i) characters += databases->Item(i)->Name().size();
        times.push_back(seconds(Clock::now() - start));
        if (count != expected || characters == 0) {
            std::fprintf(stderr, "expected %d databases, found %d\n", expected, count);
            std::exit(1);
        }
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main() {
    auto folder = std::filesystem::temp_directory_path() / ("t7-bench-count-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    t7::MachineFolder machine(folder);
    t7::MachineApplication app(t7::MachineDatabaseOptions{machine.sqlServerFolder(), L"BENCH", {}, {}});

    int status = 0;
    try {
        auto admin = app.NewSQLServer();
        admin->Connect(L"(local)", L"sa", L"");
        // The server's own databases (master and the like) count too.
        int32_t base = admin->Databases()->Count();
        int created = 0;
        double previous = 0;
        std::printf("%10s %12s %12s %10s\n", "databases", "create (s)", "walk (ms)", "growth");
        for (int target : {500, 1000, 2000}) {
            auto start = Clock::now();
            std::wstring script;
            for (; created < target; ++created) {
                script += L"CREATE DATABASE bench_" + std::to_wstring(created) + L"\r\nGO\r\n";
            }
            admin->ExecuteImmediate(script);
            double create = seconds(Clock::now() - start);
            double time = walk(app, base + target, 21);
            std::printf("%10d %12.2f %12.3f %10s\n", target, create, time * 1000,
                        previous > 0 ? std::to_string(time / previous).substr(0, 4).c_str() : "-");
            previous = time;
        }
        std::printf("target: under 1000 ms at 2000 databases, growth near 2 per doubling\n");
    } catch (const t7::AppError& e) {
        std::fprintf(stderr, "failed: %d %s\n", e.number(), e.what());
        status = 1;
    }
    std::filesystem::remove_all(folder);
    return status;
}
