#pragma once
// The database management component over the embedded server of a machine
// folder (sqlengine/). The server answers only to this machine's names: an
// entry of the local names (the address list with the machine name), the
// machine name, ".", "(local)", "localhost" and "127.0.0.1", letter case
// ignored. Any other name fails as an unreachable server does (server error
// 17), and so does a connection to a stopped service.
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "database/DatabaseComponent.h"

namespace t7 {

class IFileSystem;

// Maps a path as the wizard writes it ("D:\Exam\Data\T7.mdf") to the native
// path of the file (inside the machine folder).
using ClientPathMapper = std::function<std::filesystem::path(const std::wstring& clientPath)>;

// A mapper over a file system service; `fileSystem` must outlive it.
ClientPathMapper fileSystemPathMapper(const IFileSystem& fileSystem);

struct MachineDatabaseOptions {
    // The server's folder: MachineFolder::sqlServerFolder().
    std::filesystem::path serverFolder;
    // The machine's name; ListAvailableSQLServers returns it.
    std::wstring machineName;
    // Further names of this machine, read at each connection attempt (the
    // process's IPArray: its addresses, then the machine name).
    std::function<std::vector<std::wstring>()> localNames;
    // Paths of FILENAME clauses; without one the text is used as it is.
    ClientPathMapper mapPath;
};

class MachineApplication : public dmo::Application {
public:
    explicit MachineApplication(MachineDatabaseOptions options);

    dmo::NameList ListAvailableSQLServers() override;
    std::shared_ptr<dmo::SQLServer> NewSQLServer() override;
    std::shared_ptr<dmo::Login> NewLogin() override;

private:
    std::shared_ptr<const MachineDatabaseOptions> m_options;
};

// True when `server` names this machine under `options` (see above).
bool isLocalServerName(const MachineDatabaseOptions& options, const std::wstring& server);

}  // namespace t7
