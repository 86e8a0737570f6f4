// libFuzzer target for the web server store over applicationHost.config:
// any file is either refused and left exactly as it was, or read; then a
// virtual directory made an application in its first site is saved in a
// file that reads back with that application.
#include "platform/machine/ApplicationHostConfig.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "base/AppError.h"
#include "platform/machine/ApplicationHostStore.h"
#include "platform/machine/MachineFileSystem.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

std::string readAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// A machine folder of this process, removed when it ends.
struct ScratchMachine {
    ScratchMachine()
        : folder(std::filesystem::temp_directory_path() / ("t7-fuzz-apphost-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(folder.root() / "drive_d" / "Exam");
        std::filesystem::create_directories(folder.applicationHostConfig().parent_path());
    }
    ~ScratchMachine() {
        std::error_code ec;
        std::filesystem::remove_all(folder.root(), ec);
    }
    t7::MachineFolder folder;
};

const t7::MachineFolder& machine() {
    static const ScratchMachine scratch;
    return scratch.folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::filesystem::path file = machine().applicationHostConfig();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(size));

    t7::MachineFileSystem fileSystem(machine());
    t7::ApplicationHostStore store(file, fileSystem, [] { return std::vector<std::wstring>{L"SERVER01"}; });
    std::shared_ptr<t7::IWebObject> site;
    try {
        for (const auto& child : store.bind(L"IIS://localhost/W3svc")->children()) {
            if (child->Class() != t7::kWebServerClass) continue;
            child->ServerComment();
            child->ServerBindings();
            child->ADsPath();
            if (!site) site = child;
        }
        if (!site) return 0;
        auto directory =
            site->GetObject(t7::kWebVirtualDirClass, L"Root")->Create(t7::kWebVirtualDirClass, L"t7fz");
        directory->setPath(L"D:\\Exam");
        directory->AppCreate2(2);
        directory->setAccessRead(true);
        directory->setAccessScript(true);
        directory->SetInfo();
    } catch (const t7::AppError&) {
        // Refused before anything was saved: the file is as it was.
        if (!site) check(readAll(file) == bytes);
        return 0;
    }
    const t7::ApplicationHostConfig saved = t7::ApplicationHostConfig::load(file);
    bool found = false;
    for (pugi::xml_node candidate : saved.sites()) {
        if (t7::ApplicationHostConfig::findApplication(candidate, L"/t7fz")) found = true;
    }
    check(found);
    return 0;
}
