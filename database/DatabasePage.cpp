#include "database/DatabasePage.h"

#include <cstdio>
#include <ctime>
#include <new>
#include <stdexcept>

#include "base/AppError.h"
#include "base/FileSystem.h"
#include "base/ScrambleString.h"
#include "base/Text.h"
#include "database/CommandRunner.h"
#include "database/EntryRules.h"
#include "database/SqlText.h"
#include "database/WebConfig.h"
#include "database/frmDBAPwd.h"
#include "digest/MD5.h"
#include "errorlog/ErrorReporter.h"
#include "resources/ScriptResources.h"
#include "settings/CRegistry.h"

namespace t7 {

namespace {

constexpr int32_t kLoginWaitSeconds = 3;

void setKey(CRegistry& registry, const wchar_t* section, const wchar_t* key, const std::wstring& value) {
    registry.SetKeyValue(L"Ostrel", section, key, value, RegistryRoot::LocalMachine);
}

// The stored scripts are padded with NULs to a multiple of four bytes; the
// padding is not part of the script.
std::wstring scriptText(std::wstring_view resourceName) {
    std::wstring text = LoadScriptText(resourceName);
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

// The log database's name; the server compares database names without
// regard to case.
constexpr const wchar_t* kLogDatabase = L"OstrelLog";

bool isLogDatabase(const std::wstring& name) {
    return equalsIgnoreCase(name, kLogDatabase);
}

// The first message of `checks` that is not empty, shown like the page's
// other entry checks; true when one was shown.
bool refused(FormsRuntime& runtime, std::initializer_list<std::wstring> checks) {
    for (const std::wstring& message : checks) {
        if (!message.empty()) {
            runtime.msgBox(message);
            return true;
        }
    }
    return false;
}

}  // namespace

DatabasePage::DatabasePage(DatabasePageServices services) : m_services(std::move(services)) {
    if (!m_services.component || !m_services.registry || !m_services.fileSystem) {
        throw std::invalid_argument(
            "DatabasePage needs the database component, the registry and the file system");
    }
}

frmNamePWDHooks DatabasePage::hooks(const std::shared_ptr<DatabasePage>& page) {
    frmNamePWDHooks h;
    h.load = [page](frmNamePWD& form) { page->Form_Load(form); };
    h.serverStep = [page](frmNamePWD& form) { page->serverStep(form); };
    h.choiceStep = [page](frmNamePWD& form) { page->choiceStep(form); };
    h.adminStep = [page](frmNamePWD& form) { page->adminStep(form); };
    return h;
}

// ---------------------------------------------------------------- load step

void DatabasePage::Form_Load(frmNamePWD& page) {
    // The old-database list is usable only while its option is chosen.
    auto listFollowsChoice = [&page] {
        page.control(L"lstOldDB").setEnabled(page.control(L"optOldDB").value());
    };
    page.onClick(L"optNewDB", listFollowsChoice);
    page.onClick(L"optOldDB", listFollowsChoice);

    ListSQLServers(page);
    if (const Form* iis = page.runtime().findForm(L"frmIIS")) {
        page.setLeft(iis->left());
        page.setTop(iis->top());
    }
    const std::vector<std::wstring> args =
        m_services.SplitCommandLine ? m_services.SplitCommandLine() : std::vector<std::wstring>{L""};
    if (args.size() >= 3) page.m_strInstallPath = args[2];
    page.m_strDataPath = page.m_strInstallPath + L"\\Data";
    FindSaPassword(page);

    page.show();
    page.runtime().processPendingMessages();
    page.setMousePointer(MousePointer::Hourglass);
    // The service start is a courtesy: the trial connection has already
    // started a stopped local server, so its outcome is never looked at.
    if (m_services.commandRunner) {
        try {
            m_services.commandRunner->start(L"net start mssqlserver");
        } catch (const std::exception&) {
        }
    }
    page.runtime().processPendingMessages();
    page.setMousePointer(MousePointer::Default);
}

void DatabasePage::ListSQLServers(frmNamePWD& page) {
    const dmo::NameList servers = m_services.component->ListAvailableSQLServers();
    Control& list = page.control(L"cboSQLServerList");
    for (int32_t i = 1; i <= servers.Count(); ++i) list.addItem(servers.Item(i));
}

void DatabasePage::FindSaPassword(frmNamePWD& page) {
    page.m_strDBName = L"T7";
    Control& user = page.control(L"txtSqlUser");
    Control& password = page.control(L"txtSqlPwd");
    user.setText(L"sa");
    password.setText(L"");
    const std::wstring stored =
        m_services.registry->GetKeyValue(L"Ostrel", L"Install", L"sqlPwd", RegistryRoot::LocalMachine);
    password.setText(stored.compare(0, 7, L"fail to") != 0 ? stored : L"");
    // Fires the change handler: the trial connection goes to the address
    // chosen for the web site.
    page.control(L"cboSQLServerList").setText(page.values().SelectedIP);

    const bool ok = ConnectServer(page.m_strServer, L"sa", password.text());
    Control& hint = page.control(L"lblBottom");
    hint.setVisible(true);
    if (ok) {
        hint.setCaption(password.text().empty() ? L"已经找到默认管理员，请按确认"
                                                : L"已经找到了您安装的MSDE的密码，请按确认");
        user.setEnabled(false);
        password.setEnabled(false);
    } else {
        hint.setCaption(L"  请给出安装SQL Server时设置的系统管理员的密码。");
    }
    page.control(L"frameSQL").move(1800, 1320);
    page.control(L"frameSQL").setVisible(true);
}

bool DatabasePage::ConnectServer(const std::wstring& server, const std::wstring& login,
                                 const std::wstring& password) {
    try {
        m_oServer = m_services.component->NewSQLServer();
        m_oServer->SetLoginTimeout(kLoginWaitSeconds);
        m_oServer->Connect(server, login, password);
        return m_oServer->IsConnected();
    } catch (const std::exception&) {
        return StartAndConnectServer(server, login, password);
    }
}

bool DatabasePage::StartAndConnectServer(const std::wstring& server, const std::wstring& login,
                                         const std::wstring& password) {
    try {
        m_oServer = m_services.component->NewSQLServer();
        m_oServer->Start(true, server, login, password);
        return m_oServer->IsConnected();
    } catch (const std::exception&) {
        return false;
    }
}

// ---------------------------------------------------------------- error trap

template <class Step>
void DatabasePage::trapped(frmNamePWD& page, Step&& step) {
    try {
        step();
    } catch (const AppError& e) {
        reportError(page, e.number(), e.description());
    } catch (const std::bad_alloc&) {
        reportError(page, 7, L"Out of memory");
    } catch (const std::exception& e) {
        reportError(page, errnum::InvalidProcedureCall, fromUtf8(e.what()));
    }
}

void DatabasePage::reportError(frmNamePWD& page, int32_t number, const std::wstring& description) {
    FormsRuntime& runtime = page.runtime();
    if (std::to_wstring(number) == L"-2147206386") {
        runtime.msgBox(L"密码有效性验证失败。该密码不够复杂，不符合 Windows 策略要求。\r\n密码长度至少6位！",
                       MsgButtons::Ok, MsgIcon::Exclamation, L"错误");
    } else {
        runtime.msgBox(L"错误号：" + std::to_wstring(number) + L"\r\n" + description, MsgButtons::Ok,
                       MsgIcon::Exclamation, L"错误");
        logError(page, L"cmdOK_Click", number, description, false);
        // A password the policy rejects is an entry to correct, not a
        // failure of the setup.
        ++page.values().failuresReported;
    }
    if (page.isLoaded()) page.setMousePointer(MousePointer::Default);
}

void DatabasePage::logError(frmNamePWD& page, const std::wstring& module, int32_t number,
                            const std::wstring& description, bool quiet) {
    if (!m_services.clock) return;
    ErrorReporter reporter(m_services.programFolder, *m_services.clock, page.runtime());
    reporter.ShowError(module, L"", number, description, quiet);
}

// ---------------------------------------------------------------- server step

void DatabasePage::serverStep(frmNamePWD& page) {
    trapped(page, [&] {
        Control& user = page.control(L"txtSqlUser");
        Control& password = page.control(L"txtSqlPwd");
        // The server's address goes into the registry, the login into the
        // server's catalog.
        if (refused(page.runtime(),
                    {entryrules::textMessage(L"服务器地址", page.m_strServer, entryrules::kLoginLength),
                     entryrules::textMessage(L"用户名", user.text(), entryrules::kLoginLength),
                     entryrules::textMessage(L"密码", password.text(), entryrules::kLoginLength)})) {
            return;
        }
        if (!ConnectServer(page.m_strServer, user.text(), password.text())) {
            page.runtime().msgBox(
                L"SQL SERVER数据库连接失败！\r\n请确认SQL "
                L"Server服务已经开启！\r\n并确认您输入的管理员密码正确！",
                MsgButtons::Ok, MsgIcon::Exclamation, L"InstallShield");
            return;
        }
        // A disabled, empty password box: the load step connected as "sa"
        // without a password.
        if (password.text().empty() && !password.enabled()) {
            frmDBAPwd& dialog = page.dbaPwd();
            dialog.showModal();
            const std::wstring oldPassword = password.text();
            const std::wstring newPassword = dialog.m_strPWD;
            m_oServer->Logins()->Item(L"sa")->SetPassword(oldPassword, newPassword);
            password.setText(newPassword);
        }
        page.m_strSaUser = user.text();
        page.m_strSaPwd = password.text();
        ScanExamDatabases(page);
    });
}

void DatabasePage::ScanExamDatabases(frmNamePWD& page) {
    bool foundLog = false;
    Control& list = page.control(L"lstOldDB");
    const int32_t count = m_oServer->Databases()->Count();
    // The count was a 16-bit number.
    if (count > 32767) throw AppError(errnum::Overflow, L"Overflow");
    for (int32_t i = 1; i <= count; ++i) {
        const std::wstring name = m_oServer->Databases()->Item(i)->Name();
        // The log database is never offered for the examination scripts.
        if (isLogDatabase(name)) {
            foundLog = true;
            m_oLogDB = m_oServer->Databases()->Item(i);
            continue;
        }
        if (name.compare(0, 2, L"T7") == 0) list.addItem(name);
        if (name.compare(0, 6, L"Ostrel") == 0) list.addItem(name);
    }
    if (!foundLog) m_oLogDB = CreateDatabase(page, kLogDatabase).first;
    if (list.listCount() == 0) {
        CreateExamDatabase(page);
        return;
    }
    list.setListIndex(0);
    page.ShowDBChoice();
}

// ---------------------------------------------------------------- choice step

void DatabasePage::choiceStep(frmNamePWD& page) {
    trapped(page, [&] { ChooseExamDatabase(page); });
}

void DatabasePage::ChooseExamDatabase(frmNamePWD& page) {
    if (page.control(L"optNewDB").value()) {
        CreateExamDatabase(page);
        return;
    }
    page.m_bOldData = true;
    const Control& list = page.control(L"lstOldDB");
    page.m_strDBName = list.listIndex() >= 0 ? list.list()[static_cast<size_t>(list.listIndex())] : L"";
    if (isLogDatabase(page.m_strDBName)) {
        throw AppError(errnum::InvalidProcedureCall,
                       L"The log database " + page.m_strDBName + L" cannot be the examination database");
    }
    m_oDB = m_oServer->Databases()->Item(page.m_strDBName);
    UpdateExamDatabase(page);
    page.ShowAdminSetting();
}

// ---------------------------------------------------------------- databases and scripts

bool DatabasePage::isLocalServer(const std::wstring& server, const std::vector<std::wstring>& ipArray) {
    if (server == L"." || server == L"(local)") return true;
    for (const std::wstring& entry : ipArray) {
        if (entry == server) return true;
    }
    return false;
}

std::pair<std::shared_ptr<dmo::Database>, std::wstring> DatabasePage::CreateDatabase(
    frmNamePWD& page, const std::wstring& name) {
    std::wstring candidate = name;
    // The server compares database names without regard to case, so a
    // name taken in another case is taken.
    const int32_t count = m_oServer->Databases()->Count();
    for (int32_t i = 1; i <= count; ++i) {
        if (equalsIgnoreCase(m_oServer->Databases()->Item(i)->Name(), candidate)) {
            candidate += timeStamp();
            break;
        }
    }

    std::wstring statement;
    if (!isLocalServer(page.m_strServer, page.values().IPArray)) {
        statement = sqltext::createDatabase(candidate);
    } else {
        IFileSystem& fs = *m_services.fileSystem;
        if (!fs.folderExists(page.m_strDataPath)) fs.createFolder(page.m_strDataPath);
        // Files left in the data folder may be the only copy of an earlier
        // examination database: they are kept under another name.
        const std::wstring base = page.m_strDataPath + L"\\" + candidate;
        if (fs.fileExists(base + L".mdf") || fs.fileExists(base + L"_log.ldf")) moveAside(base, timeStamp());
        statement = sqltext::createDatabaseWithFile(candidate, page.m_strDataPath);
    }
    m_oServer->ExecuteImmediate(statement, dmo::ExecDefault);
    // The server object lists the new database only after connecting again.
    m_oServer->Close();
    m_oServer->Connect(page.m_strServer, page.m_strSaUser, page.m_strSaPwd);
    return {m_oServer->Databases()->Item(candidate), candidate};
}

void DatabasePage::moveAside(const std::wstring& base, const std::wstring& stamp) {
    IFileSystem& fs = *m_services.fileSystem;
    // <name>_<stamp>.mdf with <name>_<stamp>_log.ldf, so the pair stays
    // recognisable; a counter keeps two moves within a second apart.
    std::wstring target = base + L"_" + stamp;
    for (int n = 2; fs.fileExists(target + L".mdf") || fs.fileExists(target + L"_log.ldf"); ++n) {
        target = base + L"_" + stamp + L"-" + std::to_wstring(n);
    }
    if (fs.fileExists(base + L".mdf")) fs.moveFile(base + L".mdf", target + L".mdf");
    if (fs.fileExists(base + L"_log.ldf")) fs.moveFile(base + L"_log.ldf", target + L"_log.ldf");
}

void DatabasePage::CreateExamDatabase(frmNamePWD& page) {
    page.setMousePointer(MousePointer::Hourglass);
    try {
        auto [database, name] = CreateDatabase(page, page.m_strDBName);
        m_oDB = database;
        page.m_strDBName = name;
        ExecuteScript(scriptText(L"T7SQL"));
        ExecuteScript(scriptText(L"T7DATA"));
        runLogScript();
    } catch (...) {
        page.setMousePointer(MousePointer::Default);
        throw;
    }
    page.setMousePointer(MousePointer::Default);
    page.ShowAdminSetting();
}

void DatabasePage::UpdateExamDatabase(frmNamePWD&) {
    ExecuteScript(scriptText(L"T7UPDATE"));
    ExecuteScript(scriptText(L"T7Data"));
    runLogScript();
}

void DatabasePage::ExecuteScript(const std::wstring& script) {
    if (!m_oDB) throw AppError(91, L"Object variable or With block variable not set");
    m_oDB->ExecuteImmediate(script, dmo::ExecDefault);
}

void DatabasePage::runLogScript() {
    m_oServer->Databases()->Item(L"OstrelLOG")->ExecuteImmediate(scriptText(L"OSTRELLOG"), dmo::ExecDefault);
}

// ---------------------------------------------------------------- administrator step

bool DatabasePage::CreateDBLogin(frmNamePWD& page, const std::wstring& name, const std::wstring& password) {
    std::shared_ptr<dmo::Login> login;
    if (m_oServer->LoginExists(name)) {
        login = m_oServer->Logins()->Item(name);
    } else {
        login = m_services.component->NewLogin();
        login->SetName(name);
        login->SetPassword(L"", password);
        m_oServer->Logins()->Add(login);
    }
    login->SetPassword(L"", password);

    const std::wstring script = sqltext::loginScript(name, page.m_strDBName);
    // The login is what the web application needs first; a database user
    // that cannot be made leaves the rest of the setup going, but the
    // operator learns that the application will lack that database.
    for (const std::wstring& database : {page.m_strDBName, std::wstring(L"Ostrellog")}) {
        try {
            m_oServer->Databases()->Item(database)->ExecuteImmediate(script, dmo::ExecDefault);
        } catch (const AppError& e) {
            page.runtime().msgBox(L"无法在数据库" + database + L"中为" + name +
                                      L"建立数据库用户,Vessa考试系统将无法访问该数据库!\r\n错误号：" +
                                      std::to_wstring(e.number()) + L"\r\n" + e.description(),
                                  MsgButtons::Ok, MsgIcon::Exclamation, L"错误");
            logError(page, L"CreateDBLogin", e.number(), e.description(), true);
            ++page.values().failuresReported;
        }
    }
    return true;
}

std::wstring DatabasePage::GetMD5Lower(const std::wstring& text) {
    MD5 digest;
    return asciiLower(digest.Md5_String_Calc(text));
}

void DatabasePage::adminStep(frmNamePWD& page) {
    trapped(page, [&] {
        FormsRuntime& runtime = page.runtime();
        const std::wstring name = page.control(L"txtOstrelUser").text();
        const std::wstring password = page.control(L"txtOstrelPwd").text();
        if (name.empty()) {
            runtime.msgBox(L"用户名不能为空!");
            return;
        }
        // The name becomes the web application's login: the server's own
        // principals can never be that.
        if (entryrules::isReservedLogin(name)) {
            runtime.msgBox(L"不能将Vessa考试系统的管理员设置成" +
                           (equalsIgnoreCase(name, L"sa") ? std::wstring(L"sa") : name) +
                           L",请使用其它用户名!");
            return;
        }
        if (page.control(L"txtOstrelPwdConfirm").text() != password) {
            runtime.msgBox(L"两次输入的密码不相同！");
            return;
        }
        // Everything below must hold the texts whole: the login, the
        // account row, the registry.
        if (refused(runtime, {entryrules::textMessage(L"用户名", name, entryrules::kAccountNameLength),
                              entryrules::textMessage(L"密码", password, entryrules::kLoginLength),
                              entryrules::passwordFormMessage(password)})) {
            return;
        }

        CreateDBLogin(page, name, password);

        CRegistry& registry = *m_services.registry;
        const std::wstring& key = page.values().ScrambleKey;
        setKey(registry, L"DB", L"SystemDBHost", page.m_strServer);
        setKey(registry, L"DB", L"SystemDBName", page.m_strDBName);
        setKey(registry, L"DB", L"DBUser", ScrambleString(name, key));
        setKey(registry, L"DB", L"DBUserPassword", ScrambleString(password, key));
        setKey(registry, L"Install", L"IfOldData", page.m_bOldData ? L"1" : L"0");
        setKey(registry, L"QuestionEdit", L"OnLineStatus", L"1");

        const std::wstring md5 = GetMD5Lower(name + L":" + password);
        const std::wstring hex = sqltext::StrToHex(password);
        std::shared_ptr<dmo::Database> database = m_oServer->Databases()->Item(page.m_strDBName);
        for (const std::wstring& statement : sqltext::accountStatements(name, md5, hex)) {
            database->ExecuteImmediate(statement, dmo::ExecDefault);
        }

        updateConnectionString(*m_services.fileSystem, page.m_strInstallPath, page.m_strServer, name,
                               password, page.m_strDBName);

        runtime.msgBox(L"Vessa考试系统管理员配置成功！", MsgButtons::Ok, MsgIcon::None, L"InstallShield");
        page.unload();
        setKey(registry, L"Install", L"ifDataSucceed", L"1");
        page.values().ifDataSucceedWritten = true;
    });
}

// ---------------------------------------------------------------- time

std::wstring DatabasePage::timeStamp() const {
    return m_services.timeStamp ? m_services.timeStamp() : localTimeStamp();
}

std::wstring DatabasePage::localTimeStamp() {
    const std::time_t now = std::time(nullptr);
    // The page runs on one thread, so the shared result is safe here.
    const std::tm local = *std::localtime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return fromUtf8(text);
}

}  // namespace t7
