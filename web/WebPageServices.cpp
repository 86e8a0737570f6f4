#include "web/WebPageServices.h"

#include "web/VirtualDirs.h"
#include "web/WebSites.h"

namespace t7 {
namespace {

// lstWebServer as the site listing fills it; selecting raises its Click.
class SiteListBox : public ISiteList {
public:
    explicit SiteListBox(Control& list) : m_list(list) {}
    void addItem(const std::wstring& text) override { m_list.addItem(text); }
    int listCount() const override { return m_list.listCount(); }
    void selectIndex(int index) override { m_list.setListIndex(index); }

private:
    Control& m_list;
};

}  // namespace

void attachWebServerStore(frmIISServices& services, IWebServerStore& store) {
    services.listWebSites = [&store](frmIIS& page, const std::wstring& ip) {
        SiteListBox list(page.control(L"lstWebServer"));
        listWebSites(store, ip, list);
    };
    services.composeWebURL = [&store](frmIIS& page) {
        Control& url = page.control(L"txtURL");
        url.setText(composeWebURL(store, page.control(L"cboWEBIP").text(),
                                  page.control(L"lstWebServer").text(),
                                  page.control(L"txtVirtualDIR").text()));
        // What the box holds now, not what was composed.
        page.WebLocation = url.text();
    };
    services.createVirtualDirs = [&store](frmIIS& page, const std::wstring& ip, const std::wstring& site,
                                          const std::wstring& dirs) {
        VirtualDirServices work{store, page.runtime(), [&page] { page.composeWebURL(); }};
        return createVirtualDirs(ip, site, dirs,
                                 [&](auto& computer, auto& webSite, auto& names, auto& paths) {
                                     return ASTCreateVirtualWebDir(work, computer, webSite, names, paths);
                                 });
    };
}

}  // namespace t7
