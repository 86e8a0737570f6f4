// Reading and rewriting a large registry.reg: a hive of 100,000 keys (about
// 10 MB) side by side below one key, the worst case for finding a key by
// name. Times parsing, formatting, and one value written through the
// machine folder's registry hive (a whole read and a whole rewrite).
// Exits 1 when that write takes a second or more.
// Usage: bench_registry_hive [keys] [scratch folder]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/machine/MachineRegistryHive.h"
#include "platform/machine/RegFile.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
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

    auto start = Clock::now();
    auto parsed = t7::regfile::Document::parse(bytes);
    const double parseSeconds = seconds(Clock::now() - start);
    if (!parsed) {
        std::fprintf(stderr, "the benchmark's hive does not parse\n");
        return 2;
    }
    start = Clock::now();
    const std::string again = parsed->format();
    const double formatSeconds = seconds(Clock::now() - start);

    t7::MachineRegistryHive hive(file);
    t7::RegKeyHandle key = 0;
    start = Clock::now();
    int32_t rc = hive.openKey(t7::rootHandle(t7::RegistryRoot::LocalMachine), "Software\\Bench\\Key050000", key);
    const double openSeconds = seconds(Clock::now() - start);
    const std::string data = "changed";
    start = Clock::now();
    if (rc == t7::reg::Success) {
        rc = hive.setValue(key, "Value", t7::reg::Sz, reinterpret_cast<const uint8_t*>(data.c_str()),
                           static_cast<uint32_t>(data.size() + 1));
    }
    const double writeSeconds = seconds(Clock::now() - start);
    hive.closeKey(key);
    std::filesystem::remove_all(folder);

    std::printf("registry.reg with %d keys below one key, %.1f MB\n", keys, bytes.size() / 1e6);
    std::printf("parse            %.3f s\n", parseSeconds);
    std::printf("format           %.3f s%s\n", formatSeconds, again == bytes ? "" : " (differs from the input!)");
    std::printf("hive openKey     %.3f s (one read)\n", openSeconds);
    std::printf("hive setValue    %.3f s (one read and one rewrite)\n", writeSeconds);
    if (rc != t7::reg::Success || again != bytes) return 2;
    return writeSeconds < 1.0 ? 0 : 1;
}
