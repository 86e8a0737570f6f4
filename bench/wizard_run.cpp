// The whole wizard, silently, as the product's installer would start it:
// t7setup of this build on a new machine folder (made by t7machine, not
// timed), both pages, a new installation with all four scripts; then a
// second run on the same machine that keeps and upgrades the database.
// Prints the median wall time and the peak resident memory of t7setup for
// each path. Targets for the new installation: under 2 s median, under
// 100 MB peak.
//
// bench_wizard_run [RUNS]   (default 5)
#include <fcntl.h>
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

// Runs a program with `args` and the environment plus T7SETUP_MACHINE;
// standard output and error go to `output`.
Outcome run(const fs::path& program, const std::vector<std::string>& args, const fs::path& machine,
            const fs::path& output) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        if (std::string(*e).rfind("T7SETUP_MACHINE=", 0) != 0) env.emplace_back(*e);
    }
    env.push_back("T7SETUP_MACHINE=" + machine.string());
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

    std::vector<double> newTimes, upgradeTimes;
    long newPeak = 0, upgradePeak = 0;
    for (int i = 0; i < runs; ++i) {
        const fs::path machine = work / ("machine" + std::to_string(i));
        // On the machine's drive D:, where the database server may keep files.
        const fs::path exam = machine / "drive_d" / ("Exam" + std::to_string(i));
        const fs::path output = work / "output.txt";
        if (run(t7machine, {"init", machine.string(), "--sql-pwd", "Sa2026pwd", "--sa-password", "Sa2026pwd"},
                machine, output)
                .status != 0) {
            std::fprintf(stderr, "t7machine init failed; see %s\n", output.c_str());
            return 1;
        }
        writeFile(exam / "WebRoot" / "web.config",
                  "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<configuration>\n  <connectionStrings>\n"
                  "    <add name=\"Ostrel\" connectionString=\"server=(local);uid=sa;pwd=;database=T7\" />\n"
                  "  </connectionStrings>\n</configuration>\n");
        for (bool upgrade : {false, true}) {
            const fs::path log = work / "setup.log";
            const Outcome o =
                run(t7setup,
                    {"t7", exam.string(), "/s",
                     "/f1" + (work / (upgrade ? "upgrade.txt" : "new.txt")).string(), "/f2" + log.string()},
                    machine, output);
            if (o.status != 0) {
                std::fprintf(stderr, "%s run %d ended with %d; see %s\n", upgrade ? "upgrade" : "new", i,
                             o.status, log.c_str());
                return 1;
            }
            (upgrade ? upgradeTimes : newTimes).push_back(o.seconds);
            long& peak = upgrade ? upgradePeak : newPeak;
            peak = std::max(peak, o.peakKiB);
        }
    }
    std::printf("whole wizard, silent, %d runs each\n", runs);
    std::printf("new installation: median %.3f s, peak %.1f MB (targets: 2 s, 100 MB)\n", median(newTimes),
                static_cast<double>(newPeak) / 1024.0);
    std::printf("upgrade:          median %.3f s, peak %.1f MB\n", median(upgradeTimes),
                static_cast<double>(upgradePeak) / 1024.0);
    fs::remove_all(work);
    const bool met = median(newTimes) < 2.0 && newPeak < 100 * 1024;
    return met ? 0 : 1;
}
