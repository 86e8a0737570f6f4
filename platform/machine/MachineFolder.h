#pragma once
// The machine folder: on a machine without Windows, a folder stands for the
// examination server. Every file of it has one place, given here.
#include <filesystem>

namespace t7 {

class MachineFolder {
public:
    explicit MachineFolder(std::filesystem::path root) : m_root(std::move(root)) {}

    // $T7SETUP_MACHINE, else $XDG_DATA_HOME/t7setup/machine, else
    // ~/.local/share/t7setup/machine.
    static MachineFolder fromEnvironment();

    const std::filesystem::path& root() const { return m_root; }
    // The registry hive, in the registry editor's export format.
    std::filesystem::path registryFile() const { return m_root / "registry.reg"; }
    // Held by the running wizard (see shell/WizardLock.h).
    std::filesystem::path wizardLockFile() const { return m_root / "wizard.lock"; }
    // The system directory, "C:\WINDOWS\system32" of the machine.
    std::filesystem::path systemDirectory() const { return m_root / "Windows" / "System32"; }
    std::filesystem::path inetsrvFolder() const { return systemDirectory() / "inetsrv"; }
    std::filesystem::path applicationHostConfig() const {
        return inetsrvFolder() / "config" / "applicationHost.config";
    }
    // The embedded database server: master catalog, default data folder.
    std::filesystem::path sqlServerFolder() const { return m_root / "sqlserver"; }
    // The database server's TCP port for TDS clients ("1433"; "0": any
    // free one), and the process id of its listener while it runs.
    std::filesystem::path tdsPortFile() const { return sqlServerFolder() / "tcp-port"; }
    std::filesystem::path listenerPidFile() const { return sqlServerFolder() / "listener.pid"; }
    std::filesystem::path listenerLogFile() const { return sqlServerFolder() / "listener.log"; }
    // Where drive X: of a Windows path lies: <machine>/drive_x.
    std::filesystem::path driveFolder(char letter) const;

private:
    std::filesystem::path m_root;
};

}  // namespace t7
