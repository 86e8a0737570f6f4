// A session recorded on the Qt GUI replays silently to the same result. The
// GUI is driven by window and control names only, as an operator would.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <deque>
#include <fstream>

#include "QtTestSupport.h"
#include "base/Text.h"
#include "forms/ScriptRecorder.h"
#include "forms/ScriptRunner.h"
#include "shell/SilentRun.h"
#include "support/TestPaths.h"
#include "ui/qt/QtBackend.h"

namespace t7 {
namespace {

// What the wizard did to the world, through its services.
struct Outcome {
    std::vector<std::wstring> virtualDirs;
    std::vector<std::wstring> storedUrls;
    std::wstring saPassword;
    std::wstring choice;
    std::wstring adminUser;
    std::wstring adminPassword;
    std::wstring server;
    std::vector<std::wstring> boxes;
    bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& o, std::ostream* os) {
    *os << "dirs=" << toUtf8(o.virtualDirs.empty() ? L"" : o.virtualDirs.back())
        << " sa=" << toUtf8(o.saPassword) << " choice=" << toUtf8(o.choice)
        << " admin=" << toUtf8(o.adminUser) << "/" << toUtf8(o.adminPassword)
        << " server=" << toUtf8(o.server) << " boxes=" << o.boxes.size();
}

// Fake services: four candidate addresses (so the IP dialog opens), two
// sites, and database steps that use the real dialogs and step switching.
WizardServices fakeServices(Outcome& o, ProcessValues& values) {
    WizardServices s;
    s.web.LoadIPArray = [](ProcessValues& v) {
        v.IPArray = {L"0.0.0.0", L"192.168.1.10", L"10.0.0.5"};
        v.ipArrayDimensioned = true;
    };
    s.web.GetLocalComputerName = [] { return std::wstring(L"SERVER01"); };
    s.web.SplitCommandLine = [] { return std::vector<std::wstring>{L"", L"t7", L"D:\\Exam"}; };
    s.web.listWebSites = [](frmIIS& page, const std::wstring&) {
        page[L"lstWebServer"].addItem(L"Default Web Site");
        page[L"lstWebServer"].addItem(L"考试站点");
        page[L"lstWebServer"].setListIndex(0);
    };
    s.web.createVirtualDirs = [&o](frmIIS&, const std::wstring& ip, const std::wstring& site,
                                   const std::wstring& dirs) {
        o.virtualDirs.push_back(ip + L"|" + site + L"|" + dirs);
        return VirtualDirsResult::Created;
    };
    s.web.storeWebURL = [&o](const std::wstring& url) { o.storedUrls.push_back(url); };
    s.database.serverStep = [&o](frmNamePWD& page) {
        o.server = page.m_strServer;
        page.dbaPwd().showModal();
        o.saPassword = page.dbaPwd().m_strPWD;
        page.ShowDBChoice();
    };
    s.database.choiceStep = [&o](frmNamePWD& page) {
        o.choice = page[L"optOldDB"].value() ? L"old" : L"new";
        page.ShowAdminSetting();
    };
    s.database.adminStep = [&o, &values](frmNamePWD& page) {
        if (page[L"txtOstrelPwd"].text() != page[L"txtOstrelPwdConfirm"].text()) {
            page.runtime().msgBox(L"两次输入的密码不相同！");
            return;
        }
        o.adminUser = page[L"txtOstrelUser"].text();
        o.adminPassword = page[L"txtOstrelPwd"].text();
        values.ifDataSucceedWritten = true;
        page.runtime().msgBox(L"Vessa考试系统管理员配置成功！", MsgButtons::Ok, MsgIcon::Information,
                              L"InstallShield");
        page.unload();
    };
    return s;
}

struct BoxLog : IFormsObserver {
    explicit BoxLog(Outcome& o) : outcome(o) {}
    void messageBoxShown(const MessageBoxRequest& request, MsgResult answer) override {
        outcome.boxes.push_back(L"message box " + describeMessageBox(request) + L" answer=" +
                                answerName(answer));
    }
    Outcome& outcome;
};

// The operator: steps run one after another from the event loop. Each step
// queues the next before it acts, so that when its action opens a modal
// dialog or a message box, the next step runs inside that loop.
class Operator {
public:
    void then(std::function<void()> step) { m_steps.push_back(std::move(step)); }
    void start() { schedule(); }
    bool done() const { return m_steps.empty(); }

private:
    void schedule() {
        if (m_steps.empty()) return;
        QTimer::singleShot(0, [this] {
            std::function<void()> step = std::move(m_steps.front());
            m_steps.pop_front();
            schedule();
            step();
        });
    }
    std::deque<std::function<void()>> m_steps;
};

// The visible window of a form, by name.
QWidget* window(const char* form) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->objectName() == QLatin1String(form)) return w;
    }
    ADD_FAILURE() << "no window " << form;
    return nullptr;
}

// A control's widget, by form and control name.
template <class W = QWidget>
W* control(const char* form, const char* name) {
    QWidget* w = window(form);
    W* found = w ? w->findChild<W*>(QString::fromUtf8(name)) : nullptr;
    if (!found) ADD_FAILURE() << "no control " << form << "." << name;
    return found;
}

void click(const char* form, const char* name) {
    if (QWidget* w = control(form, name)) QTest::mouseClick(w, Qt::LeftButton);
}

void typeInto(const char* form, const char* name, const QString& keys) {
    QWidget* w = control(form, name);
    if (auto* combo = qobject_cast<QComboBox*>(w)) w = combo->lineEdit();
    if (w) QTest::keyClicks(w, keys);
}

void answer(QMessageBox::StandardButton button) {
    auto* box = qobject_cast<QMessageBox*>(test::activeMessageBox());
    if (!box) {
        ADD_FAILURE() << "no message box";
        return;
    }
    QTest::mouseClick(box->button(button), Qt::LeftButton);
}

TEST(RecordingTest, RecordedGuiSessionReplaysSilentlyToTheSameResult) {
    test::TempDir dir;
    Outcome onScreen;
    ProcessValues values;
    std::vector<std::wstring> lines;
    {
        int argc = 0;
        qt::QtBackend backend(argc, nullptr);
        FormsRuntime runtime(backend);
        Wizard wizard(runtime, values, fakeServices(onScreen, values));
        BoxLog boxes(onScreen);
        runtime.addObserver(&boxes);
        ScriptRecorder recorder(runtime, [&](const std::wstring& line) { lines.push_back(line); });

        Operator op;
        // The IP dialog: the third address.
        op.then([] { click("frmSelectIP", "optIP(2)"); });
        op.then([] { click("frmSelectIP", "cmdOK"); });
        // The web server page: another site, a new name typed over the old
        // one (with a Backspace), the second address, a cancel taken back.
        op.then([] {
            auto* list = control<QListWidget>("frmIIS", "lstWebServer");
            if (list)
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                  list->visualItemRect(list->item(1)).center());
        });
        op.then([] {
            if (auto* edit = control<QLineEdit>("frmIIS", "txtVirtualDIR")) edit->selectAll();
            typeInto("frmIIS", "txtVirtualDIR", QStringLiteral("examx"));
            QTest::keyClick(control("frmIIS", "txtVirtualDIR"), Qt::Key_Backspace);
        });
        op.then([] { QTest::keyClick(control("frmIIS", "cboWEBIP"), Qt::Key_Down); });
        op.then([] { click("frmIIS", "cmdCancel"); });
        op.then([] { answer(QMessageBox::No); });
        op.then([] { click("frmIIS", "cmdOK"); });
        op.then([] { answer(QMessageBox::Ok); });
        // The database page: a server typed, two different passwords first.
        op.then([] { typeInto("frmNamePWD", "cboSQLServerList", QStringLiteral("SQL01")); });
        op.then([] { click("frmNamePWD", "cmdOk"); });
        op.then([] {
            typeInto("frmDBAPwd", "inputPWD", QStringLiteral("abc"));
            typeInto("frmDBAPwd", "inputPWDConfirm", QStringLiteral("abd"));
            QTest::keyClick(control("frmDBAPwd", "inputPWDConfirm"), Qt::Key_Return);
        });
        op.then([] { answer(QMessageBox::Ok); });
        op.then([] {
            QTest::keyClick(control("frmDBAPwd", "inputPWDConfirm"), Qt::Key_Backspace);
            typeInto("frmDBAPwd", "inputPWDConfirm", QStringLiteral("c"));
            click("frmDBAPwd", "cmdOk");
        });
        op.then([] { click("frmNamePWD", "optOldDB"); });
        op.then([] { click("frmNamePWD", "cmdOk"); });
        // The administrator: the name filter drops the leading digit and
        // the underscore.
        op.then([] {
            typeInto("frmNamePWD", "txtOstrelUser", QStringLiteral("1ad_min"));
            typeInto("frmNamePWD", "txtOstrelPwd", QStringLiteral("pw"));
            typeInto("frmNamePWD", "txtOstrelPwdConfirm", QStringLiteral("pw"));
            QTest::keyClick(control("frmNamePWD", "txtOstrelPwdConfirm"), Qt::Key_Return);
        });
        op.then([] { answer(QMessageBox::Ok); });

        op.start();
        wizard.start();
        EXPECT_TRUE(runtime.run());
        EXPECT_TRUE(op.done());
        recorder.flush();
        runtime.removeObserver(&boxes);
    }
    ASSERT_TRUE(values.ifDataSucceedWritten);
    EXPECT_EQ(onScreen.adminUser, L"admin");
    EXPECT_EQ(onScreen.saPassword, L"abc");
    EXPECT_EQ(onScreen.virtualDirs, std::vector<std::wstring>{L"10.0.0.5|考试站点|exam,D:\\Exam\\WebRoot"});

    const auto answers = dir.path() / "answers.txt";
    {
        std::ofstream out(answers, std::ios::binary);
        out << "# recorded on the Qt GUI\n";
        for (const std::wstring& line : lines) out << toUtf8(line) << '\n';
    }

    Outcome replayed;
    ProcessValues silentValues;
    SilentRunOptions options;
    options.answersFile = answers;
    options.logFile = dir.path() / "setup.log";
    options.echo = [&](const std::wstring& line) {
        if (line.rfind(L"message box ", 0) == 0) replayed.boxes.push_back(line);
    };
    EXPECT_EQ(runSilently(options, silentValues, fakeServices(replayed, silentValues)), RunResult::Completed)
        << test::readFileBytes(options.logFile);
    EXPECT_EQ(replayed, onScreen);
    EXPECT_EQ(silentValues.SelectedIP, values.SelectedIP);
}

}  // namespace
}  // namespace t7
