// The database page end to end on machine folders made by t7machine,
// driven headlessly through the page's own controls. The database component
// is the machine folder's, seen through a spy that writes down the
// statements and can inject a failure. With T7_TEST_DATABASE=odbc (a second
// run registered by tests/CMakeLists.txt) the component is the ODBC one,
// over FreeTDS to t7machine serve on the same machine folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/ScrambleString.h"
#include "base/Text.h"
#include "database/CommandRunner.h"
#include "database/DatabasePage.h"
#include "database/SqlText.h"
#include "database/frmDBAPwd.h"
#include "errorlog/Clock.h"
#include "forms/HeadlessBackend.h"
#include "platform/machine/MachineDatabaseComponent.h"
#include "platform/machine/MachineFileSystem.h"
#include "platform/machine/MachineFolder.h"
#include "platform/machine/MachineRegistryHive.h"
#include "platform/odbc/OdbcDatabaseComponent.h"
#include "resources/ScriptResources.h"
#include "settings/CRegistry.h"
#include "sqlengine/Engine.h"
#include "support/FakeWizard.h"
#include "support/MachineTool.h"
#include "support/SpyDatabaseComponent.h"
#include "support/TdsListener.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

using Texts = std::vector<std::wstring>;
using Rows = std::vector<std::string>;

constexpr const wchar_t* kStamp = L"20261207093015";
constexpr const wchar_t* kConnectionFailed =
    L"SQL SERVER数据库连接失败！\r\n请确认SQL Server服务已经开启！\r\n并确认您输入的管理员密码正确！";
constexpr const wchar_t* kComplexity =
    L"密码有效性验证失败。该密码不够复杂，不符合 Windows 策略要求。\r\n密码长度至少6位！";
constexpr const wchar_t* kSuccess = L"Vessa考试系统管理员配置成功！";

const std::string kWebConfig =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<configuration>\r\n"
    "  <!-- the examination system -->\r\n"
    "  <connectionStrings>\r\n"
    "    <add name=\"Other\" connectionString=\"x\" />\r\n"
    "    <add name=\"Ostrel\" connectionString=\"server=(local);uid=sa;pwd=;database=T7\" />\r\n"
    "  </connectionStrings>\r\n"
    "</configuration>\r\n";

struct RecordingRunner : ICommandRunner {
    Texts commands;
    void start(const std::wstring& commandLine) override { commands.push_back(commandLine); }
};

struct FixedClock : IClock {
    std::wstring localDateTimeText() const override { return L"2026-12-07 09:30:15"; }
};

// Writes down the names of the values set, in order.
struct RecordingHive : IRegistryHive {
    explicit RecordingHive(IRegistryHive& real) : real(real) {}
    IRegistryHive& real;
    std::vector<std::string> setNames;
    int32_t openKey(RegKeyHandle p, const std::string& s, RegKeyHandle& r) override {
        return real.openKey(p, s, r);
    }
    int32_t queryValue(RegKeyHandle k, const std::string& n, uint32_t* t, uint8_t* d, uint32_t* s) override {
        return real.queryValue(k, n, t, d, s);
    }
    int32_t createKey(RegKeyHandle p, const std::string& s, RegKeyHandle& r) override {
        return real.createKey(p, s, r);
    }
    int32_t setValue(RegKeyHandle k, const std::string& n, uint32_t t, const uint8_t* d,
                     uint32_t s) override {
        setNames.push_back(n);
        return real.setValue(k, n, t, d, s);
    }
    int32_t closeKey(RegKeyHandle k) override { return real.closeKey(k); }
};

std::string fixture(const char* name) {
    // From the source folder, not __FILE__: a compiler cache may make that
    // relative to the build folder.
    return (std::filesystem::path(T7_SOURCE_DIR) / "tests" / "fixtures" / name).string();
}

class DatabasePageTest : public ::testing::Test {
protected:
    test::TempDir temp;
    MachineFolder machine{temp.path() / "machine"};
    std::filesystem::path exam = machine.driveFolder('d') / "Exam";
    std::filesystem::path programFolder = temp.path() / "program";
    std::string saPassword = "Sa2026pwd";

    std::unique_ptr<MachineRegistryHive> hive;
    std::unique_ptr<RecordingHive> recordingHive;
    std::unique_ptr<MachineFileSystem> fileSystem;
    std::unique_ptr<CRegistry> registry;
    std::unique_ptr<test::TdsListener> listener;
    std::unique_ptr<dmo::Application> component;
    std::unique_ptr<test::SpyDatabaseComponent> spy;
    RecordingRunner runner;
    FixedClock clock;

    HeadlessBackend backend;
    FormsRuntime runtime{backend};
    ProcessValues values;
    std::unique_ptr<frmDBAPwd> dialog;
    std::unique_ptr<frmNamePWD> page;
    std::shared_ptr<DatabasePage> steps;

    // A machine made by "t7machine init" with `options`, the installation
    // folder D:\Exam with its web.config, and the page on it.
    void makeMachine(std::vector<std::string> options) {
        options.insert(options.begin(), {"init", machine.root().string()});
        const test::ToolResult result = test::runMachineTool(options);
        ASSERT_EQ(result.status, 0) << result.output;
        test::writeFileBytes(exam / "WebRoot" / "web.config", kWebConfig);
        std::filesystem::create_directories(programFolder);

        hive = std::make_unique<MachineRegistryHive>(machine);
        recordingHive = std::make_unique<RecordingHive>(*hive);
        fileSystem = std::make_unique<MachineFileSystem>(machine);
        registry = std::make_unique<CRegistry>(*recordingHive, *fileSystem);
        values.IPArray = {L"192.168.1.10", L"SERVER01"};
        values.SelectedIP = L"192.168.1.10";
        values.ScrambleKey = L"5820316";
        const char* choice = std::getenv("T7_TEST_DATABASE");
        if (choice && std::string(choice) == "odbc") {
            listener = std::make_unique<test::TdsListener>(machine.root());
            component = std::make_unique<OdbcApplication>(OdbcDatabaseOptions{
                .machineName = L"SERVER01",
                .localNames = [this] { return values.IPArray; },
                .extraAttributes = listener->odbcAttributes(),
                .startService =
                    [this](const std::wstring&) {
                        test::runMachineTool({"service", machine.root().string(), "start"});
                    }});
        } else {
            component = std::make_unique<MachineApplication>(
                MachineDatabaseOptions{.serverFolder = machine.sqlServerFolder(),
                                       .machineName = L"SERVER01",
                                       .localNames = [this] { return values.IPArray; },
                                       .mapPath = fileSystemPathMapper(*fileSystem)});
        }
        spy = std::make_unique<test::SpyDatabaseComponent>(*component);
        steps = std::make_shared<DatabasePage>(
            DatabasePageServices{.component = spy.get(),
                                 .registry = registry.get(),
                                 .fileSystem = fileSystem.get(),
                                 .commandRunner = &runner,
                                 .SplitCommandLine =
                                     [] {
                                         return Texts{L"", L"t7", L"D:\\Exam"};
                                     },
                                 .programFolder = programFolder,
                                 .clock = &clock,
                                 .timeStamp = [] { return std::wstring(kStamp); }});
        dialog = std::make_unique<frmDBAPwd>(runtime);
        page = std::make_unique<frmNamePWD>(runtime, values, *dialog, DatabasePage::hooks(steps));
    }

    void openPage(std::vector<std::string> options) {
        makeMachine(std::move(options));
        page->show();
    }

    Control& at(const wchar_t* name) { return page->control(name); }
    bool showing(const wchar_t* frame) { return page->isLoaded() && at(frame).visible(); }
    void ok() { at(L"cmdOk").click(); }

    void enterAdministrator(const std::wstring& name, const std::wstring& password) {
        at(L"txtOstrelUser").setText(name);
        at(L"txtOstrelPwd").setText(password);
        at(L"txtOstrelPwdConfirm").setText(password);
    }

    // Server step, then the administrator step with `name` and `password`.
    void runNewInstallation(const std::wstring& name, const std::wstring& password) {
        ok();
        ASSERT_TRUE(showing(L"frameOstrel"));
        enterAdministrator(name, password);
        ok();
    }

    Texts boxTexts() const {
        Texts texts;
        for (const ShownMessageBox& box : backend.messageBoxes()) texts.push_back(box.request.text);
        return texts;
    }

    std::wstring setting(const wchar_t* section, const wchar_t* key) {
        return registry->GetKeyValue(L"Ostrel", section, key, RegistryRoot::LocalMachine);
    }

    // Rows of a query, the values of each row joined by "|".
    Rows query(const std::string& database, const std::string& sql) {
        auto server = sqlengine::Server::open(machine.sqlServerFolder(), [this](const std::string& p) {
            return fileSystem->nativePath(fromUtf8(p));
        });
        auto session = server->connect("sa", saPassword);
        session->useDatabase(database);
        Rows rows;
        for (const sqlengine::ResultSet& set : session->executeBatch(sql).resultSets) {
            for (const auto& row : set.rows) {
                std::string line;
                for (size_t i = 0; i < row.size(); ++i) line += (i ? "|" : "") + row[i].value_or("NULL");
                rows.push_back(line);
            }
        }
        return rows;
    }

    Rows ownersOf(const std::string& database) {
        return query(database,
                     "select m.name from sys.database_role_members rm "
                     "join sys.database_principals r on r.principal_id = rm.role_principal_id "
                     "join sys.database_principals m on m.principal_id = rm.member_principal_id "
                     "where r.name = 'db_owner' and m.name <> 'dbo' order by m.name");
    }

    // The account of `name` as the web application will read it. A row that
    // was there before keeps its UserCode and CHINESENAME (`kept`).
    void expectAccount(const std::string& database, const std::wstring& name, const std::wstring& password,
                       const std::string& kept = {}) {
        const std::string n = toUtf8(sqltext::literalBody(name));
        const std::string md5 = toUtf8(DatabasePage::GetMD5Lower(name + L":" + password));
        const std::string hex = toUtf8(sqltext::StrToHex(password));
        const std::string plain = toUtf8(name);
        EXPECT_EQ(
            query(database,
                  "select NAME, Password, PWD, ROLE, UserCode, CHINESENAME from USERINFO where NAME = N'" +
                      n + "'"),
            Rows{plain + "|" + md5 + "|" + hex + "|0|" + (kept.empty() ? plain + "|" + plain : kept)});
        EXPECT_EQ(
            query(database,
                  "select r.RoleID from UserRole r join USERINFO u on u.USERID = r.UserID where u.NAME = N'" +
                      n + "'"),
            Rows{"0"});
        EXPECT_EQ(query(database,
                        "select c.CourseID from CoursesUsers c join USERINFO u on u.USERID = c.UserID "
                        "where u.NAME = N'" +
                            n + "'"),
                  Rows{"-1"});
    }

    // The seven values, the two credentials scrambled with the key.
    void expectSettings(const std::wstring& database, const std::wstring& name, const std::wstring& password,
                        const wchar_t* oldData) {
        EXPECT_EQ(recordingHive->setNames,
                  (std::vector<std::string>{"SystemDBHost", "SystemDBName", "DBUser", "DBUserPassword",
                                            "IfOldData", "OnLineStatus", "ifDataSucceed"}));
        EXPECT_EQ(setting(L"DB", L"SystemDBHost"), L"192.168.1.10");
        EXPECT_EQ(setting(L"DB", L"SystemDBName"), database);
        for (auto [key, plain] : {std::pair{L"DBUser", name}, std::pair{L"DBUserPassword", password}}) {
            const std::wstring stored = setting(L"DB", key);
            ASSERT_EQ(stored.size(), plain.size() + 7) << toUtf8(key);
            // Scrambling is its own inverse on the stored text's positions.
            EXPECT_EQ(ScrambleString(stored, L"5820316").substr(0, plain.size()), plain) << toUtf8(key);
        }
        EXPECT_EQ(setting(L"Install", L"IfOldData"), oldData);
        EXPECT_EQ(setting(L"QuestionEdit", L"OnLineStatus"), L"1");
        EXPECT_EQ(setting(L"Install", L"ifDataSucceed"), L"1");
    }

    std::string connectionString() {
        const std::string text = test::readFileBytes(exam / "WebRoot" / "web.config");
        const size_t entry = text.find("name=\"Ostrel\"");
        const size_t start = text.find("connectionString=\"", entry) + 18;
        return text.substr(start, text.find('"', start) - start);
    }
};

TEST_F(DatabasePageTest, ANewServerGetsBothDatabasesTheLoginTheAccountTheSettingsAndTheConnectionString) {
    openPage({"--sql-pwd", "Sa2026pwd", "--sa-password", "Sa2026pwd"});
    EXPECT_EQ(at(L"lblBottom").caption(), L"已经找到了您安装的MSDE的密码，请按确认");
    EXPECT_EQ(at(L"txtSqlPwd").text(), L"Sa2026pwd");
    EXPECT_FALSE(at(L"txtSqlPwd").enabled());
    EXPECT_FALSE(at(L"txtSqlUser").enabled());
    EXPECT_EQ(page->m_strServer, L"192.168.1.10");
    EXPECT_EQ(page->m_strDataPath, L"D:\\Exam\\Data");
    EXPECT_EQ(runner.commands, Texts{L"net start mssqlserver"});
    EXPECT_EQ(at(L"cboSQLServerList").list(), Texts{L"SERVER01"});
    EXPECT_EQ(page->mousePointer(), MousePointer::Default);

    // The hourglass shows while the examination database is made and filled.
    std::vector<MousePointer> pointers;
    spy->failWhen = [&](const test::SpyCall& call) -> std::optional<AppError> {
        if (call.operation == L"Execute" || call.operation == L"ExecuteIn")
            pointers.push_back(page->mousePointer());
        return std::nullopt;
    };
    ok();
    ASSERT_TRUE(showing(L"frameOstrel")) << (boxTexts().empty() ? "" : toUtf8(boxTexts().back()));
    EXPECT_EQ(pointers, (std::vector<MousePointer>{MousePointer::Default, MousePointer::Hourglass,
                                                   MousePointer::Hourglass, MousePointer::Hourglass,
                                                   MousePointer::Hourglass}));
    EXPECT_EQ(page->mousePointer(), MousePointer::Default);
    spy->failWhen = nullptr;
    EXPECT_EQ(
        spy->texts(L"Execute"),
        (Texts{L"CREATE DATABASE OstrelLog ON (NAME =OstrelLog ,FILENAME = 'D:\\Exam\\Data\\OstrelLog.mdf' )",
               L"CREATE DATABASE T7 ON (NAME =T7 ,FILENAME = 'D:\\Exam\\Data\\T7.mdf' )"}));
    // Each creation is followed by a new connection as the administrator.
    Texts afterCreation;
    for (size_t i = 0; i + 2 < spy->calls.size(); ++i) {
        if (spy->calls[i].operation != L"Execute") continue;
        afterCreation.push_back(spy->calls[i + 1].operation + L" " + spy->calls[i + 2].operation + L" " +
                                spy->calls[i + 2].target + L" " + spy->calls[i + 2].text);
    }
    EXPECT_EQ(afterCreation, Texts(2, L"Close Connect 192.168.1.10 sa"));
    EXPECT_TRUE(std::filesystem::exists(exam / "Data" / "T7.mdf"));
    EXPECT_TRUE(std::filesystem::exists(exam / "Data" / "OstrelLog.mdf"));
    // Schema and rows into T7, then the log script into the log database.
    EXPECT_EQ(spy->targets(L"ExecuteIn"), (Texts{L"T7", L"T7", L"OstrelLog"}));
    EXPECT_EQ(page->m_strDBName, L"T7");

    spy->calls.clear();
    enterAdministrator(L"admin", L"Exam2026");
    ok();
    EXPECT_FALSE(page->isLoaded());
    EXPECT_EQ(boxTexts(), Texts{kSuccess});
    EXPECT_TRUE(values.ifDataSucceedWritten);
    Texts expected(2, sqltext::loginScript(L"admin", L"T7"));
    for (const std::wstring& s : sqltext::accountStatements(
             L"admin", DatabasePage::GetMD5Lower(L"admin:Exam2026"), L"4578616D32303236")) {
        expected.push_back(s);
    }
    EXPECT_EQ(spy->texts(L"ExecuteIn"), expected);
    EXPECT_EQ(spy->targets(L"ExecuteIn")[1], L"OstrelLog");

    expectAccount("T7", L"admin", L"Exam2026");
    EXPECT_EQ(ownersOf("T7"), Rows{"admin"});
    EXPECT_EQ(ownersOf("OstrelLog"), Rows{"admin"});
    expectSettings(L"T7", L"admin", L"Exam2026", L"0");
    EXPECT_EQ(connectionString(), "server=192.168.1.10;uid=admin;pwd=Exam2026;database=T7");
    const std::string config = test::readFileBytes(exam / "WebRoot" / "web.config");
    EXPECT_NE(config.find("<?xml version=\"1.0\" encoding=\"utf-8\"?>"), std::string::npos);
    EXPECT_NE(config.find("<!-- the examination system -->"), std::string::npos);
    EXPECT_NE(config.find("name=\"Other\" connectionString=\"x\""), std::string::npos);
}

TEST_F(DatabasePageTest, ThePageOpensWhereTheWebServerPageWas) {
    makeMachine({"--sql-pwd", "Sa2026pwd", "--sa-password", "Sa2026pwd"});
    test::FakeMachine web;
    test::FakeWizard run(web, DatabasePage::hooks(steps));
    run.wizard->start();
    run.wizard->iis().setLeft(2400);
    run.wizard->iis().setTop(1800);
    run.backend.queueAnswer(MsgResult::Ok);
    run.wizard->iis().control(L"cmdOK").click();
    const frmNamePWD& shown = run.wizard->namePWD();
    ASSERT_TRUE(shown.isLoaded());
    EXPECT_EQ(shown.left(), 2400);
    EXPECT_EQ(shown.top(), 1800);
    EXPECT_EQ(shown.m_strInstallPath, L"D:\\Exam");
}

// The log database, in whatever letter case the server has it, is reused
// and never offered as the examination database.
class LogDatabaseTest : public DatabasePageTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(LogDatabaseTest, IsReusedAndNotOfferedSoANewDatabaseIsCreated) {
    openPage({"--sql-pwd", "Sa2026pwd", "--sa-password", "Sa2026pwd", "--database", GetParam()});
    ok();
    ASSERT_TRUE(showing(L"frameOstrel")) << (boxTexts().empty() ? "" : toUtf8(boxTexts().back()));
    EXPECT_TRUE(at(L"lstOldDB").list().empty());
    EXPECT_EQ(spy->texts(L"Execute"),
              Texts{L"CREATE DATABASE T7 ON (NAME =T7 ,FILENAME = 'D:\\Exam\\Data\\T7.mdf' )"});
    EXPECT_EQ(steps->m_oLogDB->Name(), fromUtf8(GetParam()));
    enterAdministrator(L"admin", L"Exam2026");
    ok();
    EXPECT_EQ(boxTexts(), Texts{kSuccess});
    expectSettings(L"T7", L"admin", L"Exam2026", L"0");
    EXPECT_EQ(ownersOf(GetParam()), Rows{"admin"});
}

INSTANTIATE_TEST_SUITE_P(Cases, LogDatabaseTest, ::testing::Values("OstrelLog", "ostrellog", "OSTRELLOG"));

TEST_F(DatabasePageTest, TheLogDatabaseIsNotListedBesideAnEarlierExaminationDatabase) {
    openPage({"--sql-pwd", "Sa2026pwd", "--sa-password", "Sa2026pwd", "--database", "ostrelLOG", "--database",
              "T7", "--database", "OstrelArchive"});
    ok();
    ASSERT_TRUE(showing(L"frameDB"));
    EXPECT_EQ(at(L"lstOldDB").list(), (Texts{L"T7", L"OstrelArchive"}));
    EXPECT_TRUE(spy->texts(L"Execute").empty()) << "no second log database";
}

TEST_F(DatabasePageTest, ChoosingAnEarlierReleaseUpgradesItAndRecordsOldData) {
    openPage({"--sql-pwd", "Sa2026pwd", "--sa-password", "Sa2026pwd", "--database",
              "T7=" + fixture("previous-release.sql"), "--database", "OstrelLog"});
    ok();
    ASSERT_TRUE(showing(L"frameDB"));
    EXPECT_EQ(at(L"lstOldDB").list(), Texts{L"T7"});
    at(L"optOldDB").click();
    spy->calls.clear();
    ok();
    ASSERT_TRUE(showing(L"frameOstrel")) << (boxTexts().empty() ? "" : toUtf8(boxTexts().back()));
    EXPECT_TRUE(spy->texts(L"Execute").empty());
    EXPECT_EQ(spy->targets(L"ExecuteIn"), (Texts{L"T7", L"T7", L"OstrelLog"}));
    EXPECT_TRUE(page->m_bOldData);

    // The earlier release's administrator keeps its row and identity; its
    // courses come down to the administrator's one.
    query("T7", "insert into CoursesUsers (UserID, CourseID) values (1, 1)");
    enterAdministrator(L"admin", L"Exam2026");
    ok();
    EXPECT_EQ(boxTexts(), Texts{kSuccess});
    expectAccount("T7", L"admin", L"Exam2026", "NULL|管理员");
    EXPECT_EQ(query("T7", "select USERID from USERINFO"), Rows{"1"});
    expectSettings(L"T7", L"admin", L"Exam2026", L"1");
    EXPECT_EQ(ownersOf("T7"), Rows{"admin"});
}

TEST_F(DatabasePageTest, ANameTakenInAnotherLetterCaseGivesATimestampedDatabase) {
    openPage({"--sql-pwd", "Sa2026pwd", "--sa-password", "Sa2026pwd", "--database", "t7"});
    ok();
    // "t7" is no examination database of ours, but its name is taken.
    ASSERT_TRUE(showing(L"frameOstrel")) << (boxTexts().empty() ? "" : toUtf8(boxTexts().back()));
    EXPECT_EQ(page->m_strDBName, std::wstring(L"T7") + kStamp);
    EXPECT_TRUE(std::filesystem::exists(exam / "Data" / (std::wstring(L"T7") + kStamp + L".mdf")));
}

TEST_F(DatabasePageTest, LeftoverFilesAreMovedAsideAndTheDatabaseIsCreated) {
    makeMachine({"--sql-pwd", "Sa2026pwd", "--sa-password", "Sa2026pwd"});
    // Only the data file of an earlier database is left.
    test::writeFileBytes(exam / "Data" / "T7.mdf", "earlier examination data");
    page->show();
    ok();
    ASSERT_TRUE(showing(L"frameOstrel")) << (boxTexts().empty() ? "" : toUtf8(boxTexts().back()));
    EXPECT_EQ(test::readFileBytes(exam / "Data" / (std::wstring(L"T7_") + kStamp + L".mdf")),
              "earlier examination data");
    EXPECT_EQ(page->m_strDBName, L"T7");
    EXPECT_FALSE(query("T7", "select name from sys.tables where name = 'USERINFO'").empty());
}

TEST_F(DatabasePageTest, AStoppedServiceIsStartedByTheTrialConnection) {
    openPage({"--sql-pwd", "Sa2026pwd", "--sa-password", "Sa2026pwd", "--service-stopped"});
    EXPECT_EQ(spy->targets(L"Start"), Texts{L"192.168.1.10"});
    EXPECT_EQ(at(L"lblBottom").caption(), L"已经找到了您安装的MSDE的密码，请按确认");
    EXPECT_EQ(runner.commands, Texts{L"net start mssqlserver"});
    ok();
    EXPECT_TRUE(showing(L"frameOstrel"));
}

TEST_F(DatabasePageTest, AWrongRegistryPasswordLeavesTheBoxesOpenUntilTheRightOneIsTyped) {
    openPage({"--sql-pwd", "wrong", "--sa-password", "Sa2026pwd"});
    EXPECT_EQ(at(L"lblBottom").caption(), L"  请给出安装SQL Server时设置的系统管理员的密码。");
    EXPECT_TRUE(at(L"txtSqlPwd").enabled());
    EXPECT_EQ(at(L"txtSqlPwd").text(), L"wrong");

    ok();
    EXPECT_TRUE(showing(L"frameSQL"));
    ASSERT_EQ(backend.messageBoxes().size(), 1u);
    const MessageBoxRequest& box = backend.messageBoxes()[0].request;
    EXPECT_EQ(box.text, kConnectionFailed);
    EXPECT_EQ(box.icon, MsgIcon::Exclamation);
    EXPECT_EQ(box.shownTitle(), L"InstallShield");

    at(L"txtSqlPwd").setText(L"Sa2026pwd");
    ok();
    EXPECT_TRUE(showing(L"frameOstrel"));
    EXPECT_EQ(page->m_strSaPwd, L"Sa2026pwd");
}

TEST_F(DatabasePageTest, AnEmptySaPasswordIsReplacedThroughTheDialog) {
    saPassword = "";
    openPage({});
    EXPECT_EQ(at(L"lblBottom").caption(), L"已经找到默认管理员，请按确认");
    EXPECT_FALSE(at(L"txtSqlPwd").enabled());
    backend.whenModal([](Form& form) {
        form.control(L"inputPWD").setText(L"New2026sa");
        form.control(L"inputPWDConfirm").setText(L"New2026sa");
        form.control(L"cmdOk").click();
    });
    ok();
    ASSERT_TRUE(showing(L"frameOstrel")) << (boxTexts().empty() ? "" : toUtf8(boxTexts().back()));
    EXPECT_EQ(at(L"txtSqlPwd").text(), L"New2026sa");
    saPassword = "New2026sa";
    EXPECT_EQ(query("master", "select 1"), Rows{"1"});
}

TEST_F(DatabasePageTest, AnEmptySaPasswordCanBeKeptAfterTheWarningIsConfirmed) {
    saPassword = "";
    openPage({"--policy", "off"});
    backend.whenModal([](Form& form) {
        form.control(L"cmdOk").click();  // answered No: the dialog stays
        form.control(L"cmdOk").click();  // answered Yes
    });
    backend.queueAnswer(MsgResult::No);
    backend.queueAnswer(MsgResult::Yes);
    ok();
    EXPECT_TRUE(showing(L"frameOstrel"));
    EXPECT_EQ(spy->texts(L"SetPassword"), Texts{L""});
    EXPECT_EQ(query("master", "select 1"), Rows{"1"});
    ASSERT_GE(backend.messageBoxes().size(), 2u);
    EXPECT_EQ(backend.messageBoxes()[1].request.shownTitle(), L"服务器设置");
}

TEST_F(DatabasePageTest, AnEmptySaPasswordThePolicyRejectsKeepsTheServerStep) {
    saPassword = "";
    openPage({});
    backend.whenModal([](Form& form) { form.control(L"cmdOk").click(); });
    backend.queueAnswer(MsgResult::Yes);
    ok();
    EXPECT_TRUE(showing(L"frameSQL"));
    EXPECT_EQ(boxTexts().back(), kComplexity);
    EXPECT_EQ(at(L"txtSqlPwd").text(), L"");
    EXPECT_EQ(query("master", "select 1"), Rows{"1"});
}

struct EntryCheck {
    const wchar_t* name;
    const wchar_t* password;
    const wchar_t* confirmation;
    const wchar_t* message;
};

class EntryCheckTest : public DatabasePageTest, public ::testing::WithParamInterface<EntryCheck> {};

TEST_P(EntryCheckTest, AFailingCheckShowsItsMessageAndWritesNothing) {
    openPage({"--sql-pwd", "Sa2026pwd", "--sa-password", "Sa2026pwd"});
    page->ShowAdminSetting();
    at(L"txtOstrelUser").setText(GetParam().name);
    at(L"txtOstrelPwd").setText(GetParam().password);
    at(L"txtOstrelPwdConfirm").setText(GetParam().confirmation);
    ok();
    ASSERT_EQ(backend.messageBoxes().size(), 1u);
    EXPECT_EQ(backend.messageBoxes()[0].request.text, GetParam().message);
    EXPECT_EQ(backend.messageBoxes()[0].request.shownTitle(), kApplicationTitle);
    EXPECT_TRUE(showing(L"frameOstrel"));
    EXPECT_TRUE(spy->texts(L"ExecuteIn").empty());
    EXPECT_TRUE(spy->targets(L"LoginExists").empty());
    EXPECT_TRUE(recordingHive->setNames.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Checks, EntryCheckTest,
    ::testing::Values(
        EntryCheck{L"", L"a", L"a", L"用户名不能为空!"},
        EntryCheck{L"sa", L"a", L"a", L"不能将Vessa考试系统的管理员设置成sa,请使用其它用户名!"},
        EntryCheck{L"admin", L"Exam2026", L"exam2026", L"两次输入的密码不相同！"},
        // The server's own principals, in any letter case.
        EntryCheck{L"SA", L"a", L"a", L"不能将Vessa考试系统的管理员设置成sa,请使用其它用户名!"},
        EntryCheck{L"sA", L"a", L"a", L"不能将Vessa考试系统的管理员设置成sa,请使用其它用户名!"},
        EntryCheck{L"Guest", L"a", L"a", L"不能将Vessa考试系统的管理员设置成Guest,请使用其它用户名!"},
        EntryCheck{L"information_schema", L"a", L"a",
                   L"不能将Vessa考试系统的管理员设置成information_schema,请使用其它用户名!"},
        EntryCheck{L"DB_Owner", L"a", L"a", L"不能将Vessa考试系统的管理员设置成DB_Owner,请使用其它用户名!"},
        EntryCheck{L"SysAdmin", L"a", L"a", L"不能将Vessa考试系统的管理员设置成SysAdmin,请使用其它用户名!"},
        // Texts the login, the account row and the registry cannot hold whole.
        EntryCheck{L"a123456789b123456789c123456789d123456789e123456789f", L"a", L"a",
                   L"用户名不能超过50个字符!"},
        EntryCheck{L"admin😀", L"a", L"a", L"用户名中含有无法保存的字符,请重新输入!"},
        EntryCheck{L"admin", L"pw😀", L"pw😀", L"密码中含有无法保存的字符,请重新输入!"},
        EntryCheck{L"admin", L"Aa1xxxxxxxxxxxxxxxxxxxxxxx", L"Aa1xxxxxxxxxxxxxxxxxxxxxxx",
                   L"密码不能超过25个字符(一个汉字算两个字符)!"},
        EntryCheck{L"admin", L"考试系统管理员的密码一二三", L"考试系统管理员的密码一二三",
                   L"密码不能超过25个字符(一个汉字算两个字符)!"}));

TEST_F(DatabasePageTest, APasswordThePolicyRejectsIsReportedWithoutLogAndLeavesTheRegistryUntouched) {
    openPage({"--sql-pwd", "Sa2026pwd", "--sa-password", "Sa2026pwd"});
    runNewInstallation(L"admin", L"abc");
    EXPECT_TRUE(showing(L"frameOstrel"));
    EXPECT_EQ(boxTexts(), Texts{kComplexity});
    EXPECT_EQ(backend.messageBoxes()[0].request.shownTitle(), L"错误");
    EXPECT_TRUE(recordingHive->setNames.empty());
    EXPECT_FALSE(std::filesystem::exists(programFolder / "ErrorLog.TXT"));
    EXPECT_EQ(values.failuresReported, 0) << "an entry to correct, not a failure";
}

// The PWD column holds 50 characters: two hexadecimal digits a character.
TEST_F(DatabasePageTest, TheAccountRowTakesAPasswordOf25Characters) {
    openPage({"--sql-pwd", "Sa2026pwd", "--sa-password", "Sa2026pwd"});
    const std::wstring password = L"Aa1" + std::wstring(22, L'x');
    runNewInstallation(L"admin", password);
    EXPECT_EQ(boxTexts(), Texts{kSuccess});
    expectAccount("T7", L"admin", password);
}

TEST_F(DatabasePageTest, ServerStepTextsTheRegistryCannotHoldAreRefusedBeforeConnecting) {
    openPage({"--sql-pwd", "wrong", "--sa-password", "Sa2026pwd"});
    spy->calls.clear();
    at(L"txtSqlPwd").setText(L"Sa2026pwd😀");
    ok();
    EXPECT_EQ(boxTexts(), Texts{L"密码中含有无法保存的字符,请重新输入!"});
    at(L"txtSqlPwd").setText(L"Sa2026pwd");
    at(L"txtSqlUser").setText(std::wstring(129, L's'));
    ok();
    EXPECT_EQ(boxTexts().back(), L"用户名不能超过128个字符!");
    EXPECT_TRUE(showing(L"frameSQL"));
    EXPECT_TRUE(spy->calls.empty());
}

TEST_F(DatabasePageTest, ADatabaseUserThatCannotBeMadeIsWarnedAboutAndTheRunGoesOn) {
    openPage({"--sql-pwd", "Sa2026pwd", "--sa-password", "Sa2026pwd"});
    ok();
    ASSERT_TRUE(showing(L"frameOstrel"));
    spy->failWhen = [](const test::SpyCall& call) -> std::optional<AppError> {
        if (call.operation == L"ExecuteIn" && call.target == L"T7" &&
            call.text.find(L"create user") != std::wstring::npos)
            return AppError(databaseComponentError(15023), L"User already exists in current database.");
        return std::nullopt;
    };
    enterAdministrator(L"admin", L"Exam2026");
    ok();
    ASSERT_EQ(boxTexts().size(), 2u);
    EXPECT_EQ(boxTexts()[0],
              L"无法在数据库T7中为admin建立数据库用户,Vessa考试系统将无法访问该数据库!\r\n错误号：" +
                  std::to_wstring(databaseComponentError(15023)) +
                  L"\r\nUser already exists in current database.");
    EXPECT_EQ(backend.messageBoxes()[0].request.icon, MsgIcon::Exclamation);
    EXPECT_EQ(boxTexts()[1], kSuccess);
    const std::string log = test::readFileBytes(programFolder / "ErrorLog.TXT");
    EXPECT_NE(log.find("CreateDBLogin"), std::string::npos) << log;
    EXPECT_TRUE(ownersOf("T7").empty());
    EXPECT_EQ(ownersOf("OstrelLog"), Rows{"admin"}) << "the log database is still provisioned";
    EXPECT_TRUE(values.ifDataSucceedWritten);
    EXPECT_EQ(values.failuresReported, 1);
}

TEST_F(DatabasePageTest, ARegistryThatCannotBeWrittenIsReportedAndNoSuccessIsShown) {
    openPage({"--sql-pwd", "Sa2026pwd", "--sa-password", "Sa2026pwd"});
    ok();
    ASSERT_TRUE(showing(L"frameOstrel"));
    test::writeFileBytes(machine.registryFile(), "not a registry file");
    enterAdministrator(L"admin", L"Exam2026");
    ok();
    ASSERT_EQ(boxTexts().size(), 2u);  // the page's box, then ShowError's
    EXPECT_EQ(boxTexts()[0].rfind(L"错误号：1009\r\n", 0), 0u) << toUtf8(boxTexts()[0]);
    EXPECT_TRUE(showing(L"frameOstrel"));
    EXPECT_NE(test::readFileBytes(programFolder / "ErrorLog.TXT").find("Error Code:\t1009"),
              std::string::npos);
    EXPECT_FALSE(values.ifDataSucceedWritten);
    EXPECT_EQ(test::readFileBytes(machine.registryFile()), "not a registry file");
}

TEST_F(DatabasePageTest, AFailingScriptKeepsTheStepAndTheNextOkCreatesATimestampedDatabase) {
    openPage({"--sql-pwd", "Sa2026pwd", "--sa-password", "Sa2026pwd"});
    ResourceTable& resources = ResourceTable::instance();
    const std::string original(*resources.find(L"T7DATA", kScriptResourceType));
    resources.add(L"T7DATA", kScriptResourceType, "insert into NoSuchTable values (1)\r\nGO\r\n");
    ok();
    resources.add(L"T7DATA", kScriptResourceType, original);

    EXPECT_TRUE(showing(L"frameSQL"));
    EXPECT_EQ(page->mousePointer(), MousePointer::Default);
    ASSERT_EQ(boxTexts().size(), 2u);
    EXPECT_EQ(boxTexts()[0].rfind(L"错误号：" + std::to_wstring(databaseComponentError(208)) + L"\r\n", 0),
              0u)
        << toUtf8(boxTexts()[0]);
    EXPECT_TRUE(std::filesystem::exists(programFolder / "ErrorLog.TXT"));
    EXPECT_EQ(values.failuresReported, 1);

    ok();
    ASSERT_TRUE(showing(L"frameDB"));
    EXPECT_EQ(at(L"lstOldDB").list(), Texts{L"T7"});
    ok();
    ASSERT_TRUE(showing(L"frameOstrel")) << toUtf8(boxTexts().back());
    EXPECT_EQ(page->m_strDBName, std::wstring(L"T7") + kStamp);
}

TEST_F(DatabasePageTest, ASecondScanAppendsToTheListInsteadOfReplacingIt) {
    openPage({"--sql-pwd", "Sa2026pwd", "--sa-password", "Sa2026pwd", "--database", "T7"});
    spy->failWhen = [](const test::SpyCall& call) -> std::optional<AppError> {
        if (call.text.starts_with(L"CREATE DATABASE OstrelLog")) return AppError(-2147221503, L"disk full");
        return std::nullopt;
    };
    ok();
    EXPECT_TRUE(showing(L"frameSQL"));
    EXPECT_EQ(boxTexts()[0], L"错误号：-2147221503\r\ndisk full");
    spy->failWhen = nullptr;
    ok();
    // The log database is created after the listing.
    EXPECT_EQ(at(L"lstOldDB").list(), (Texts{L"T7", L"T7"}));
}

TEST_F(DatabasePageTest, AServerNameNotInTheAddressListGetsNoFileClause) {
    openPage({"--sql-pwd", "Sa2026pwd", "--sa-password", "Sa2026pwd"});
    at(L"cboSQLServerList").setText(L"localhost");
    ok();
    ASSERT_TRUE(showing(L"frameOstrel"));
    EXPECT_EQ(spy->texts(L"Execute"), (Texts{L"CREATE DATABASE OstrelLog", L"CREATE DATABASE T7"}));
    EXPECT_FALSE(std::filesystem::exists(exam / "Data"));
}

// Where the connection string goes wrong, the step reports it after the
// registry and the account are written; a second OK repeats the step.
struct ConfigCase {
    const char* name;
    std::string content;  // empty: no file
    bool completes;
};

class WebConfigCaseTest : public DatabasePageTest, public ::testing::WithParamInterface<ConfigCase> {};

TEST_P(WebConfigCaseTest, TheAdministratorStepCompletesOrCanBeRepeated) {
    makeMachine({"--sql-pwd", "Sa2026pwd", "--sa-password", "Sa2026pwd"});
    std::filesystem::remove(exam / "WebRoot" / "web.config");
    if (!GetParam().content.empty())
        test::writeFileBytes(exam / "WebRoot" / "web.config", GetParam().content);
    page->show();
    runNewInstallation(L"admin", L"Exam2026");
    if (GetParam().completes) {
        EXPECT_EQ(boxTexts(), Texts{kSuccess});
        EXPECT_FALSE(std::filesystem::exists(exam / "WebRoot" / "web.config"));
        return;
    }
    ASSERT_EQ(boxTexts().size(), 2u);
    EXPECT_EQ(boxTexts()[0].rfind(L"错误号：91\r\n", 0), 0u) << toUtf8(boxTexts()[0]);
    EXPECT_TRUE(showing(L"frameOstrel"));
    EXPECT_EQ(setting(L"DB", L"SystemDBName"), L"T7");
    EXPECT_EQ(setting(L"Install", L"ifDataSucceed"), kFailToGetValue);
    expectAccount("T7", L"admin", L"Exam2026");

    test::writeFileBytes(exam / "WebRoot" / "web.config", kWebConfig);
    recordingHive->setNames.clear();
    ok();
    EXPECT_EQ(boxTexts().back(), kSuccess);
    expectAccount("T7", L"admin", L"Exam2026");  // still one row of each
    expectSettings(L"T7", L"admin", L"Exam2026", L"0");
    EXPECT_EQ(connectionString(), "server=192.168.1.10;uid=admin;pwd=Exam2026;database=T7");
}

INSTANTIATE_TEST_SUITE_P(
    Files, WebConfigCaseTest,
    ::testing::Values(ConfigCase{"Missing", "", true},
                      ConfigCase{"Malformed", "<configuration><connectionStrings>", false},
                      ConfigCase{
                          "NameInOtherCase",
                          "<configuration><connectionStrings><add name=\"ostrel\" connectionString=\"\"/>"
                          "</connectionStrings></configuration>",
                          false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DatabasePageTest, APastedNameWithABlankAndAnApostropheIsProvisionedAsTyped) {
    openPage({"--sql-pwd", "Sa2026pwd", "--sa-password", "Sa2026pwd"});
    const std::wstring name = L"o'Brien x]";
    runNewInstallation(name, L"Exam;2026");
    ASSERT_EQ(boxTexts(), Texts{kSuccess});
    expectAccount("T7", name, L"Exam;2026");
    EXPECT_EQ(ownersOf("T7"), Rows{"o'Brien x]"});
    EXPECT_EQ(ownersOf("OstrelLog"), Rows{"o'Brien x]"});
    EXPECT_EQ(query("T7", "select count(*) from USERINFO"), Rows{"1"});
    EXPECT_EQ(connectionString(), "server=192.168.1.10;uid=o'Brien x];pwd=&quot;Exam;2026&quot;;database=T7");
}

}  // namespace
}  // namespace t7
