#pragma once
// The database work of the database page frmNamePWD: its load step (server
// list, installation paths, the "sa" password and the trial connection, the
// background service start) and the three OK steps (server, database choice,
// administrator), with the page's error trap. frmNamePWD shows the steps;
// this class plugs into it through frmNamePWDHooks (see hooks()).
//
// Everything runs on the page's thread inside the load step and the click
// handlers. All server work goes through the database component; m_oServer
// is the server object of the latest connection attempt.
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "database/DatabaseComponent.h"
#include "database/frmNamePWD.h"

namespace t7 {

class CRegistry;
class IFileSystem;
class ICommandRunner;
class IClock;

struct DatabasePageServices {
    // Required: the database component, the settings store and the file
    // system (data folder, leftover files, web.config).
    dmo::Application* component = nullptr;
    CRegistry* registry = nullptr;
    IFileSystem* fileSystem = nullptr;
    // Starts "net start mssqlserver" in the background. Unset: not started.
    ICommandRunner* commandRunner = nullptr;
    // The argument list, entry 0 empty. Unset: only entry 0.
    std::function<std::vector<std::wstring>()> SplitCommandLine;
    // Where ShowError keeps ErrorLog.TXT, and its clock. Without a clock
    // unexpected errors are shown but not logged.
    std::filesystem::path programFolder;
    const IClock* clock = nullptr;
    // The local date and time as "yyyyMMddhhmmss" (24-hour). Unset: the
    // system's local time.
    std::function<std::wstring()> timeStamp;
};

class DatabasePage {
public:
    explicit DatabasePage(DatabasePageServices services);

    // Hooks that run this object's steps on the page; they keep it alive.
    static frmNamePWDHooks hooks(const std::shared_ptr<DatabasePage>& page);

    // Server objects of the page.
    std::shared_ptr<dmo::SQLServer> m_oServer;
    std::shared_ptr<dmo::Database> m_oDB;
    std::shared_ptr<dmo::Database> m_oLogDB;

    // Load step: ListSQLServers, the page placed where frmIIS is, the
    // installation and data folders, FindSaPassword, the page shown, then
    // the background service start. Failures before the service start pass
    // to whoever opened the page; the service start never fails.
    void Form_Load(frmNamePWD& page);
    void ListSQLServers(frmNamePWD& page);
    void FindSaPassword(frmNamePWD& page);

    // A new server object in m_oServer, connected with a login wait of 3
    // seconds; on any failure StartAndConnectServer. True when the
    // connection is usable. Never raises.
    bool ConnectServer(const std::wstring& server, const std::wstring& login, const std::wstring& password);
    // A new server object in m_oServer that starts the service and then
    // connects. Never raises; false on any failure.
    bool StartAndConnectServer(const std::wstring& server, const std::wstring& login,
                               const std::wstring& password);

    // The OK steps, each under the page's error trap: a failure is shown
    // (and logged unless the server rejected a password by its policy), the
    // mouse pointer goes back to the default and the page keeps its step.
    void serverStep(frmNamePWD& page);
    void choiceStep(frmNamePWD& page);
    void adminStep(frmNamePWD& page);

    // The steps' parts; they raise AppError to the trap.
    void ScanExamDatabases(frmNamePWD& page);
    void ChooseExamDatabase(frmNamePWD& page);
    // Creates a database named `name`, or `name` followed by the time stamp
    // when the server has a database of that name in any letter case. On the
    // local server its file goes to the page's data folder, where leftover
    // files of that name are first moved aside. Reconnects afterwards.
    // Returns the database object and its final name.
    std::pair<std::shared_ptr<dmo::Database>, std::wstring> CreateDatabase(frmNamePWD& page,
                                                                           const std::wstring& name);
    void CreateExamDatabase(frmNamePWD& page);
    void UpdateExamDatabase(frmNamePWD& page);
    // Runs a script on m_oDB.
    void ExecuteScript(const std::wstring& script);
    // The server login `name` with `password`, and a db_owner user of that
    // name in the examination and log databases. Login failures raise; a
    // user that cannot be made is reported in a warning box and the error
    // log, and the other database is still tried. Returns true.
    bool CreateDBLogin(frmNamePWD& page, const std::wstring& name, const std::wstring& password);

    // True when `server` is this machine: ".", "(local)" or an entry of
    // IPArray, compared exactly.
    static bool isLocalServer(const std::wstring& server, const std::vector<std::wstring>& ipArray);
    // Lower-case MD5 of the code page 936 bytes of `text`.
    static std::wstring GetMD5Lower(const std::wstring& text);
    // The local date and time as "yyyyMMddhhmmss".
    static std::wstring localTimeStamp();

private:
    template <class Step>
    void trapped(frmNamePWD& page, Step&& step);
    void reportError(frmNamePWD& page, int32_t number, const std::wstring& description);
    // Appends an error to ErrorLog.TXT; `quiet` leaves out the log's own box.
    void logError(frmNamePWD& page, const std::wstring& module, int32_t number,
                  const std::wstring& description, bool quiet);
    void runLogScript();
    void moveAside(const std::wstring& file, const std::wstring& stamp);
    std::wstring timeStamp() const;

    DatabasePageServices m_services;
};

}  // namespace t7
