#pragma once
// The web server page: the wizard's first page, whose load step is the
// program's start-up.
//
// Start-up needs services of other subsystems (addresses, the registry, the
// command line, the site list, URL composition, virtual directory creation).
// They come in through frmIISServices, wired by the program's composition
// root; a test plugs in fakes. An unset service behaves as noted.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "errorlog/Clock.h"
#include "forms/Form.h"
#include "forms/FormsRuntime.h"
#include "process/Global.h"
#include "web/VirtualDirs.h"

namespace t7 {

class AppError;
class frmSelectIP;
class frmIIS;

struct frmIISServices {
    // Fills IPArray with the local addresses (dimensions it). Unset: leaves
    // it as it is.
    std::function<void(ProcessValues&)> LoadIPArray;
    // The machine name. Unset: empty.
    std::function<std::wstring()> GetLocalComputerName;
    // Whether the web server is installed; raising AppError counts as a
    // failure of start-up. Unset: true.
    std::function<bool()> IsHaveIIS;
    // The argument list, entry 0 empty. Unset: only entry 0.
    std::function<std::vector<std::wstring>()> SplitCommandLine;
    // Fills lstWebServer with the sites found at `ip` and selects the first.
    // Unset: the list stays empty.
    std::function<void(frmIIS&, const std::wstring& ip)> listWebSites;
    // Composes txtURL and WebLocation. Unset: "http://" host "/" name,
    // without a port.
    std::function<void(frmIIS&)> composeWebURL;
    // Creates the virtual directories; `dirs` is "name,path". The page is
    // passed for the messages and the URL recomposition on the way. Unset:
    // Failed.
    std::function<VirtualDirsResult(frmIIS&, const std::wstring& ip, const std::wstring& site,
                                    const std::wstring& dirs)>
        createVirtualDirs;
    // Stores the page URL as the registry value "WebURL"; raises AppError
    // when it cannot. Unset: nothing.
    std::function<void(const std::wstring& url)> storeWebURL;
    // Where ShowError keeps ErrorLog.TXT, and its clock. Without a clock
    // errors are shown but not logged.
    std::filesystem::path programFolder;
    const IClock* clock = nullptr;
};

class frmIIS : public Form {
public:
    // showNextPage: shows the page that follows this one; the wizard
    // decides which. This page unloads itself right after.
    frmIIS(FormsRuntime& runtime, ProcessValues& values, frmIISServices services, frmSelectIP& selectIP,
           std::function<void()> showNextPage);

    // The layout table of the page.
    static const FormLayout& layoutTable();

    // The page URL last composed; empty until the first composition.
    std::wstring WebLocation;
    std::wstring m_strVirtualDir;
    std::wstring m_strWebPath;
    bool m_bLoaded = false;

    void composeWebURL();
    void cmdOk_Click();
    void cmdCancel_Click();

    ProcessValues& values() { return m_values; }
    frmIISServices& services() { return m_services; }

protected:
    void Form_Load() override;

private:
    // Start-up's fallback, and the end of the page: the next page is shown
    // and this one closes.
    void showNextPageAndClose();
    // An error the run goes on from: its box, the error log, and the count
    // of reported failures.
    void reportError(const std::wstring& module, const AppError& error);

    ProcessValues& m_values;
    frmIISServices m_services;
    frmSelectIP& m_selectIP;
    std::function<void()> m_showNextPage;
};

}  // namespace t7
