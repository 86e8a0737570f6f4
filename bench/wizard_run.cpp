// The whole wizard, silently, as the product's installer would start it:
// t7setup of this build on a new machine folder (made by t7machine, not
// timed), both pages, a new installation with all four scripts; then a
// second run on the same machine that keeps and upgrades the database.
// Prints the median wall time and the peak resident memory of t7setup for
// each path. Targets for the new installation: under 2 s median, under
// 100 MB peak. Each path runs twice: on the embedded server in process,
// and over ODBC (unixODBC, FreeTDS) to `t7machine serve` on the same kind
// of machine folder, the listener started before and stopped after the
// timed runs; the ODBC run's target is at most twice the in-process time.
//
// bench_wizard_run [RUNS]   (default 5)
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const char* const kNewAnswers =
    "click frmIIS.cmdOK\n"
    "answer OK\n"
    "click frmNamePWD.cmdOk\n"
    "type frmNamePWD.txtOstrelUser=admin\n"
    "type frmNamePWD.txtOstrelPwd=Exam2026\n"
    "type frmNamePWD.txtOstrelPwdConfirm=Exam2026\n"
    "click frmNamePWD.cmdOk\n"
    "answer OK\n";

const char* const kUpgradeAnswers =
    "click frmIIS.cmdOK\n"
    "answer OK\n"
    "click frmNamePWD.cmdOk\n"
    "click frmNamePWD.optOldDB\n"
    "select frmNamePWD.lstOldDB=T7\n"
    "click frmNamePWD.cmdOk\n"
    "type frmNamePWD.txtOstrelUser=admin\n"
    "type frmNamePWD.txtOstrelPwd=Exam2026\n"
    "type frmNamePWD.txtOstrelPwdConfirm=Exam2026\n"
    "click frmNamePWD.cmdOk\n"
    "answer OK\n";

struct Outcome {
    int status = -1;
    double seconds = 0;
    long peakKiB = 0;
};

// Runs a program with `args` and the environment plus T7SETUP_MACHINE and
// `extraEnv` (replacing what the environment has of the T7SETUP_ names);
// standard output and error go to `output`.
Outcome run(const fs::path& program, const std::vector<std::string>& args, const fs::path& machine,
            const fs::path& output, const std::vector<std::string>& extraEnv = {}) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        if (std::string(*e).rfind("T7SETUP_", 0) != 0) env.emplace_back(*e);
    }
    env.push_back("T7SETUP_MACHINE=" + machine.string());
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> envp, argv;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string name = program.string();
    std::vector<std::string> argCopy = args;
    argv.push_back(name.data());
    for (std::string& a : argCopy) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    Outcome outcome;
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, name.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return outcome;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    outcome.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.peakKiB = usage.ru_maxrss;
    return outcome;
}

// `t7machine serve MACHINE --port 0` in the background; its port is read
// from the line it prints once it listens.
struct Listener {
    pid_t pid = -1;
    int port = 0;
};

Listener startListener(const fs::path& t7machine, const fs::path& machine) {
    Listener listener;
    int out[2];
    if (pipe(out) != 0) return listener;
    std::string tool = t7machine.string(), command = "serve", dir = machine.string(), flag = "--port",
                zero = "0";
    char* argv[] = {tool.data(), command.data(), dir.data(), flag.data(), zero.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const int spawned = posix_spawn(&listener.pid, tool.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string line;
    char c = 0;
    while (spawned == 0 && read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    if (spawned != 0) listener.pid = -1;
    const size_t colon = line.rfind(':');
    if (colon != std::string::npos) listener.port = std::atoi(line.c_str() + colon + 1);
    return listener;
}

void stopListener(const Listener& listener) {
    if (listener.pid <= 0) return;
    kill(listener.pid, SIGTERM);
    waitpid(listener.pid, nullptr, 0);
}

void writeFile(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const fs::path build = fs::read_symlink("/proc/self/exe").parent_path().parent_path();
    const fs::path t7setup = build / "shell" / "t7setup";
    const fs::path t7machine = build / "tools" / "t7machine";
    if (!fs::exists(t7setup) || !fs::exists(t7machine)) {
        std::fprintf(stderr, "build t7setup and t7machine first (%s)\n", build.c_str());
        return 2;
    }
    const fs::path work = fs::temp_directory_path() / ("t7setup-bench-" + std::to_string(getpid()));
    fs::remove_all(work);
    writeFile(work / "new.txt", kNewAnswers);
    writeFile(work / "upgrade.txt", kUpgradeAnswers);

    // Times of the new installation and the upgrade, in process and over
    // ODBC, with the peak memory of t7setup.
    struct Path {
        std::vector<double> times;
        long peakKiB = 0;
    };
    Path paths[2][2];  // [over ODBC][upgrade]
    for (int i = 0; i < runs; ++i) {
        for (bool overOdbc : {false, true}) {
            const std::string tag = (overOdbc ? "odbc" : "engine") + std::to_string(i);
            const fs::path machine = work / ("machine-" + tag);
            // On the machine's drive D:, where the database server may keep files.
            const fs::path exam = machine / "drive_d" / ("Exam-" + tag);
            const fs::path output = work / "output.txt";
            writeFile(
                exam / "WebRoot" / "web.config",
                "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<configuration>\n  <connectionStrings>\n"
                "    <add name=\"Ostrel\" connectionString=\"server=(local);uid=sa;pwd=;database=T7\" />\n"
                "  </connectionStrings>\n</configuration>\n");
            if (run(t7machine,
                    {"init", machine.string(), "--sql-pwd", "Sa2026pwd", "--sa-password", "Sa2026pwd"},
                    machine, output)
                    .status != 0) {
                std::fprintf(stderr, "t7machine init failed; see %s\n", output.c_str());
                return 1;
            }
            Listener listener;
            std::vector<std::string> env{"T7SETUP_DATABASE=engine"};
            if (overOdbc) {
                listener = startListener(t7machine, machine);
                if (listener.port == 0) {
                    stopListener(listener);
                    std::fprintf(stderr, "t7machine serve did not start\n");
                    return 1;
                }
                env = {"T7SETUP_DATABASE=odbc", "T7SETUP_ODBC=Driver={FreeTDS};Port=" +
                                                    std::to_string(listener.port) + ";TDS_Version=7.4"};
            }
            for (bool upgrade : {false, true}) {
                const fs::path log = work / "setup.log";
                const Outcome o = run(
                    t7setup,
                    {"t7", exam.string(), "/s",
                     "/f1" + (work / (upgrade ? "upgrade.txt" : "new.txt")).string(), "/f2" + log.string()},
                    machine, output, env);
                if (o.status != 0) {
                    stopListener(listener);
                    std::fprintf(stderr, "%s run %d (%s) ended with %d; see %s\n",
                                 upgrade ? "upgrade" : "new", i, overOdbc ? "ODBC" : "in process", o.status,
                                 log.c_str());
                    return 1;
                }
                Path& path = paths[overOdbc][upgrade];
                path.times.push_back(o.seconds);
                path.peakKiB = std::max(path.peakKiB, o.peakKiB);
            }
            stopListener(listener);
        }
    }
    std::printf(
        "whole wizard, silent, %d runs each     in process            over ODBC (FreeTDS, t7machine serve)\n",
        runs);
    for (bool upgrade : {false, true}) {
        const Path& local = paths[0][upgrade];
        const Path& odbc = paths[1][upgrade];
        std::printf("%s median %.3f s, peak %5.1f MB   median %.3f s, peak %5.1f MB, %.2fx\n",
                    upgrade ? "upgrade:         " : "new installation:", median(local.times),
                    static_cast<double>(local.peakKiB) / 1024.0, median(odbc.times),
                    static_cast<double>(odbc.peakKiB) / 1024.0,
                    median(local.times) > 0 ? median(odbc.times) / median(local.times) : 0.0);
    }
    std::printf(
        "targets: new installation in process under 2 s and 100 MB; over ODBC at most 2x in process\n");
    const std::vector<double>& newTimes = paths[0][0].times;
    const long newPeak = paths[0][0].peakKiB;
    const bool odbcMet = median(paths[1][0].times) <= 2.0 * median(newTimes);
    fs::remove_all(work);
    const bool met = median(newTimes) < 2.0 && newPeak < 100 * 1024 && odbcMet;
    return met ? 0 : 1;
}
