// Throughput of MD5::Md5_File_Calc against `openssl md5` on the same 200 MB
// file, in one run. Prints both figures and their ratio (ours / openssl).
// Usage: bench_md5 [size in MB] [scratch folder]
#include "digest/MD5.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "base/Text.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Runs `openssl md5 -r FILE` and returns its digest in upper case.
std::string opensslDigest(const std::filesystem::path& file) {
    std::string command = "openssl md5 -r '" + file.string() + "'";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {};
    char line[256] = {};
    std::string out = std::fgets(line, sizeof line, pipe) ? line : "";
    pclose(pipe);
    out = out.substr(0, out.find(' '));
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
    const std::filesystem::path folder = argc > 2 ? argv[2] : std::filesystem::temp_directory_path();
    const std::filesystem::path file = folder / ("t7-bench-md5-" + std::to_string(::getpid()) + ".bin");
    const size_t bytes = megabytes << 20;

    {
        std::ofstream out(file, std::ios::binary);
        std::mt19937_64 random(200);
        std::vector<uint64_t> chunk(1 << 17);
        for (size_t written = 0; written < bytes; written += chunk.size() * 8) {
            for (auto& word : chunk) word = random();
            out.write(reinterpret_cast<const char*>(chunk.data()),
                      static_cast<std::streamsize>(std::min(chunk.size() * 8, bytes - written)));
        }
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", file.c_str());
            return 2;
        }
    }

    // Best of three for each, after one warm-up run that also checks that
    // both give the same digest. The file is in the page cache for both.
    t7::MD5 md5;
    const std::string ours = t7::toUtf8(md5.Md5_File_Calc(t7::fromUtf8(file.string())));
    const std::string theirs = opensslDigest(file);
    int status = 0;
    if (ours.empty() || ours != theirs) {
        std::fprintf(stderr, "digests differ: Md5_File_Calc %s, openssl %s\n", ours.c_str(), theirs.c_str());
        status = 1;
    }
    double oursBest = 1e9, theirsBest = 1e9;
    for (int run = 0; run < 3; ++run) {
        auto start = Clock::now();
        md5.Md5_File_Calc(t7::fromUtf8(file.string()));
        oursBest = std::min(oursBest, seconds(Clock::now() - start));
        start = Clock::now();
        opensslDigest(file);
        theirsBest = std::min(theirsBest, seconds(Clock::now() - start));
    }
    std::filesystem::remove(file);

    const double mb = static_cast<double>(bytes) / (1 << 20);
    std::printf("file: %zu MB\n", megabytes);
    std::printf("Md5_File_Calc: %.1f MB/s (%.3f s)\n", mb / oursBest, oursBest);
    std::printf("openssl md5:   %.1f MB/s (%.3f s)\n", mb / theirsBest, theirsBest);
    std::printf("ratio: %.2f\n", theirsBest / oursBest);
    return status;
}
