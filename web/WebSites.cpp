#include "web/WebSites.h"

#include "base/AppError.h"
#include "base/ContinueOnError.h"

namespace t7 {

std::wstring webServicePath(const std::wstring& computer) {
    return L"IIS://" + computer + L"/W3svc";
}

std::vector<std::wstring> splitFields(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> fields;
    if (text.empty()) return fields;
    size_t start = 0;
    for (;;) {
        size_t at = text.find(separator, start);
        if (at == std::wstring::npos) {
            fields.push_back(text.substr(start));
            return fields;
        }
        fields.push_back(text.substr(start, at - start));
        start = at + 1;
    }
}

void listWebSites(IWebServerStore& store, const std::wstring& computer, ISiteList& list) {
    std::shared_ptr<IWebService> service;
    try {
        service = store.bind(webServicePath(computer));
    } catch (const AppError&) {
        return;
    }
    std::vector<std::shared_ptr<IWebObject>> children;
    ContinueOnError steps;
    steps.run([&] { children = service->children(); });
    for (const auto& child : children) {
        steps.run([&] {
            if (child->Class() == kWebServerClass) list.addItem(child->ServerComment());
        });
        steps.run([&] {
            if (list.listCount() > 0) list.selectIndex(0);
        });
    }
}

std::array<std::wstring, 3> getBinding(const std::wstring& bindstr) {
    size_t p1 = bindstr.find(L':');
    size_t p2 = p1 == std::wstring::npos ? p1 : bindstr.find(L':', p1 + 1);
    if (p2 == std::wstring::npos) {
        throw AppError(errnum::InvalidProcedureCall, L"The binding '" + bindstr + L"' is not ip:port:host");
    }
    return {bindstr.substr(0, p1), bindstr.substr(p1 + 1, p2 - p1 - 1), bindstr.substr(p2 + 1)};
}

namespace {

// The first binding string of a site; raises when there is none to read.
std::wstring firstBinding(const ServerBindingsValue& value) {
    if (const auto* list = std::get_if<std::vector<std::wstring>>(&value)) {
        if (list->empty()) throw AppError(errnum::SubscriptOutOfRange, L"The site has no binding");
        return list->front();
    }
    return std::get<std::wstring>(value);
}

}  // namespace

std::shared_ptr<IWebObject> findWeb(IWebServerStore& store, const std::wstring& computer,
                                    const std::wstring& webName) {
    std::shared_ptr<IWebService> service = store.bind(webServicePath(computer));
    for (const auto& child : service->children()) {
        if (child->Class() != kWebServerClass) continue;
        if (child->ServerComment() == webName) return child;
        const std::wstring binding = firstBinding(child->ServerBindings());
        if (binding.empty()) continue;
        const auto parsed = getBinding(binding);
        if (parsed[2] == webName || parsed[0] == webName) return child;
    }
    return nullptr;
}

std::wstring urlPortPart(IWebObject* site) {
    if (!site) return {};
    try {
        // Only a list has an entry 0; a single string gives no port.
        const ServerBindingsValue value = site->ServerBindings();
        const auto* list = std::get_if<std::vector<std::wstring>>(&value);
        if (!list || list->empty()) return {};
        const auto parts = splitFields(list->front(), L':');
        if (parts.size() != 3 || parts[1] == L"80") return {};
        return L":" + parts[1];
    } catch (const std::exception&) {
        return {};
    }
}

std::wstring composeWebURL(IWebServerStore& store, const std::wstring& host, const std::wstring& siteName,
                           const std::wstring& virtualDir) {
    std::shared_ptr<IWebObject> site;
    ContinueOnError steps;
    steps.run([&] { site = findWeb(store, host, siteName); });
    std::wstring port;
    steps.run([&] { port = urlPortPart(site.get()); });
    return L"http://" + host + port + L"/" + virtualDir;
}

}  // namespace t7
