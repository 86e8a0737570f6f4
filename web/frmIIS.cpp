#include "web/frmIIS.h"

#include <stdexcept>

#include "base/AppError.h"
#include "errorlog/ErrorReporter.h"
#include "settings/CRegistry.h"
#include "web/frmSelectIP.h"

namespace t7 {

frmIIS::frmIIS(FormsRuntime& runtime, ProcessValues& values, frmIISServices services, frmSelectIP& selectIP,
               std::function<void()> showNextPage)
    : Form(runtime, layoutTable()),
      m_values(values),
      m_services(std::move(services)),
      m_selectIP(selectIP),
      m_showNextPage(std::move(showNextPage)) {
    onClick(L"cboWEBIP", [this] { composeWebURL(); });
    onChange(L"txtVirtualDIR", [this] { composeWebURL(); });
    onClick(L"lstWebServer", [this] {
        if (m_bLoaded) composeWebURL();
    });
    onClick(L"cmdOK", [this] { cmdOk_Click(); });
    onClick(L"cmdCancel", [this] { cmdCancel_Click(); });
}

void frmIIS::Form_Load() {
    m_bLoaded = false;
    try {
        m_values.ScrambleKey = L"5820316";

        if (m_services.LoadIPArray) m_services.LoadIPArray(m_values);
        if (m_values.IPArray.empty()) {
            throw AppError(errnum::SubscriptOutOfRange, L"Subscript out of range");
        }
        m_values.SelectedIP = m_values.IPArray[0];
        m_values.IPArray.push_back(m_services.GetLocalComputerName ? m_services.GetLocalComputerName()
                                                                   : std::wstring());

        if (m_values.IPArray.size() > 3) m_selectIP.showModal();

        const std::wstring& selected = m_values.SelectedIP;
        if (selected == L"0.0.0.0" || selected.substr(0, 7) == L"169.254") {
            m_values.SelectedIP = L"127.0.0.1";
        }

        if (m_services.listWebSites) m_services.listWebSites(*this, m_values.SelectedIP);
        Control& ipBox = control(L"cboWEBIP");
        for (const std::wstring& entry : m_values.IPArray) ipBox.addItem(entry);
        ipBox.setListIndex(0);

        bool haveIIS = true;
        try {
            if (m_services.IsHaveIIS) haveIIS = m_services.IsHaveIIS();
        } catch (const RegistryError& e) {
            // A registry that cannot be read is no machine without a web
            // server: the operator learns what is wrong.
            reportError(L"Form_Load", e);
            showNextPageAndClose();
            return;
        }
        if (!haveIIS) {
            runtime().msgBox(L"当前操作系统中没有找到Internet 信息服务(IIS)，配置IIS服务失败!",
                             MsgButtons::Ok, MsgIcon::Critical, L"InstallShield");
            ++m_values.failuresReported;
            showNextPageAndClose();
            return;
        }

        const std::vector<std::wstring> args =
            m_services.SplitCommandLine ? m_services.SplitCommandLine() : std::vector<std::wstring>{L""};
        if (args.size() >= 2) m_strVirtualDir = args[1];
        if (args.size() >= 3) m_strWebPath = args[2] + L"\\WebRoot";
        if (m_strVirtualDir.empty()) m_strVirtualDir = L"t7";
        control(L"txtVirtualDIR").setText(m_strVirtualDir);

        if (m_strWebPath.empty()) {
            runtime().msgBox(L"程序运行缺少参数！请用命令行运行,格式:\"程序名 + 空格 + 页面物理路径\"",
                             MsgButtons::Ok, MsgIcon::Critical, L"InstallShield");
            unload();
            return;
        }

        m_bLoaded = true;
        composeWebURL();
    } catch (const std::logic_error&) {
        // A programming fault (an unknown control name) is no failure of
        // the machine: it must not hide behind the fallback.
        throw;
    } catch (const std::exception&) {
        // Any failure of start-up skips the web server configuration
        // silently and goes on with the database page.
        showNextPageAndClose();
    }
}

void frmIIS::showNextPageAndClose() {
    if (m_showNextPage) m_showNextPage();
    unload();
}

void frmIIS::reportError(const std::wstring& module, const AppError& error) {
    runtime().msgBox(L"错误号：" + std::to_wstring(error.number()) + L"\r\n" + error.description(),
                     MsgButtons::Ok, MsgIcon::Exclamation, L"错误");
    if (m_services.clock) {
        ErrorReporter reporter(m_services.programFolder, *m_services.clock, runtime());
        reporter.ShowError(module, L"", error.number(), error.description(), false);
    }
    ++m_values.failuresReported;
}

void frmIIS::composeWebURL() {
    if (m_services.composeWebURL) {
        m_services.composeWebURL(*this);
        return;
    }
    const std::wstring url =
        L"http://" + control(L"cboWEBIP").text() + L"/" + control(L"txtVirtualDIR").text();
    control(L"txtURL").setText(url);
    WebLocation = control(L"txtURL").text();
}

void frmIIS::cmdOk_Click() {
    const std::wstring site = control(L"lstWebServer").text();
    const std::wstring directory = control(L"txtVirtualDIR").text();
    const VirtualDirsResult result =
        m_services.createVirtualDirs
            ? m_services.createVirtualDirs(*this, m_values.SelectedIP, site, directory + L"," + m_strWebPath)
            : VirtualDirsResult::Failed;
    if (result == VirtualDirsResult::Failed) {
        runtime().msgBox(L"IIS配置有问题!");
        return;
    }
    // After a failure the boxes have said what is missing: no success is
    // claimed and no URL of pages that are not published is stored.
    if (result == VirtualDirsResult::FailureReported) {
        ++m_values.failuresReported;
    } else {
        try {
            if (m_services.storeWebURL) m_services.storeWebURL(WebLocation);
            runtime().msgBox(L"IIS配置成功!\r" + WebLocation, MsgButtons::Ok, MsgIcon::Information,
                             L"InstallShield");
        } catch (const AppError& e) {
            reportError(L"cmdOk_Click", e);
        }
    }
    showNextPageAndClose();
}

void frmIIS::cmdCancel_Click() {
    if (runtime().msgBox(L"确定要取消吗？", MsgButtons::YesNo, MsgIcon::None, L"取消") == MsgResult::Yes) {
        unload();
    }
}

}  // namespace t7
