// Reading and rewriting a large registry.reg: a hive of 100,000 keys (about
// 10 MB) side by side below one key, the worst case for finding a key by
// name. Times parsing, formatting, and one value written through the
// machine folder's registry hive (a whole read and a whole rewrite).
// Prints wall and processor time (the processor time is what counts on a
// busy machine). Exits 1 when the write takes a second or more of both.
// Usage: bench_registry_hive [keys] [scratch folder]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/machine/MachineRegistryHive.h"
#include "platform/machine/RegFile.h"

namespace {

using Clock = std::chrono::steady_clock;

// Wall and processor seconds of one step.
struct Timer {
    Clock::time_point wall = Clock::now();
    std::clock_t cpu = std::clock();
    double wallSeconds() const { return std::chrono::duration<double>(Clock::now() - wall).count(); }
    double cpuSeconds() const { return static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC; }
};

struct Figure {
    double wall = 0;
    double cpu = 0;
};

Figure stop(const Timer& timer) {
    return {timer.wallSeconds(), timer.cpuSeconds()};
}

std::vector<uint8_t> utf16z(const std::u16string& text) {
    std::vector<uint8_t> bytes = t7::regfile::toUtf16leBytes(text);
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

std::u16string numbered(const char* prefix, int i) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%06d", prefix, i);
    return std::u16string(name, name + std::string(name).size());
}

}  // namespace

int main(int argc, char** argv) {
    const int keys = argc > 1 ? std::atoi(argv[1]) : 100000;
    const std::filesystem::path folder =
        (argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path()) /
        ("t7-bench-registry-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::filesystem::path file = folder / "registry.reg";

    t7::regfile::Document doc;
    bool created = false;
    for (int i = 0; i < keys; ++i) {
        t7::regfile::Key* key =
            doc.create({u"HKEY_LOCAL_MACHINE", u"Software", u"Bench", numbered("Key", i)}, created);
        key->values.push_back({u"Value", 1, utf16z(numbered("data ", i))});
    }
    const std::string bytes = doc.format();
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));

    Timer timer;
    auto parsed = t7::regfile::Document::parse(bytes);
    const Figure parseTime = stop(timer);
    if (!parsed) {
        std::fprintf(stderr, "the benchmark's hive does not parse\n");
        return 2;
    }
    timer = Timer();
    const std::string again = parsed->format();
    const Figure formatTime = stop(timer);

    t7::MachineRegistryHive hive(file);
    t7::RegKeyHandle key = 0;
    timer = Timer();
    int32_t rc =
        hive.openKey(t7::rootHandle(t7::RegistryRoot::LocalMachine), "Software\\Bench\\Key050000", key);
    const Figure openTime = stop(timer);
    const std::string data = "changed";
    timer = Timer();
    if (rc == t7::reg::Success) {
        rc = hive.setValue(key, "Value", t7::reg::Sz, reinterpret_cast<const uint8_t*>(data.c_str()),
                           static_cast<uint32_t>(data.size() + 1));
    }
    const Figure writeTime = stop(timer);
    hive.closeKey(key);
    std::filesystem::remove_all(folder);

    std::printf("registry.reg with %d keys below one key, %.1f MB\n", keys, bytes.size() / 1e6);
    std::printf("                 wall      processor\n");
    auto row = [](const char* what, Figure f, const char* note) {
        std::printf("%-16s %.3f s   %.3f s%s\n", what, f.wall, f.cpu, note);
    };
    row("parse", parseTime, "");
    row("format", formatTime, again == bytes ? "" : " (differs from the input!)");
    row("hive openKey", openTime, " (one read)");
    row("hive setValue", writeTime, " (one read and one rewrite)");
    if (rc != t7::reg::Success || again != bytes) return 2;
    return std::min(writeTime.wall, writeTime.cpu) < 1.0 ? 0 : 1;
}
