#pragma once
// The web sites of a computer as the first page sees them: the site list,
// the lookup of one site, the split of a binding and the URL port of a site.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "web/WebServerStore.h"

namespace t7 {

// The page's site list (lstWebServer) as listWebSites fills it.
class ISiteList {
public:
    virtual ~ISiteList() = default;
    virtual void addItem(const std::wstring& text) = 0;
    virtual int listCount() const = 0;
    // Selecting an entry raises the list's click event.
    virtual void selectIndex(int index) = 0;
};

// "IIS://" computer "/W3svc".
std::wstring webServicePath(const std::wstring& computer);

// Splits at every separator. An empty text gives no fields at all; any other
// text gives one field more than it has separators.
std::vector<std::wstring> splitFields(const std::wstring& text, wchar_t separator);

// Adds the description of every web site of `computer` to the list, in store
// order, without clearing it first, and selects entry 0 after each child
// once there is one. Never raises: a failing step is skipped.
void listWebSites(IWebServerStore& store, const std::wstring& computer, ISiteList& list);

// The first site (store order) whose description, first binding's host or
// first binding's ip equals `webName` exactly; null when there is none.
// Raises when the store cannot be reached or a first binding has fewer than
// two colons.
std::shared_ptr<IWebObject> findWeb(IWebServerStore& store, const std::wstring& computer,
                                    const std::wstring& webName);

// ip, port, host of "ip:port:host", split at the first two colons; further
// colons stay in host. Raises (invalid procedure call) with fewer than two.
std::array<std::wstring, 3> getBinding(const std::wstring& bindstr);

// What goes between host and path of the page URL for a site: ":" and the
// port of its first binding, or empty for port 80, for no site, or when the
// first binding is not exactly three colon-separated fields. Never raises.
std::wstring urlPortPart(IWebObject* site);

// "http://" host [":" port] "/" name, the port taken from the site named
// `siteName` as found at `host`. Never raises: a failed lookup leaves the
// port out.
std::wstring composeWebURL(IWebServerStore& store, const std::wstring& host, const std::wstring& siteName,
                           const std::wstring& virtualDir);

}  // namespace t7
