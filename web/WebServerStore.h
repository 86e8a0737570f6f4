#pragma once
// The web server's configuration store, seen as the directory-service objects
// the first page drives: the web service container of a computer, its child
// objects (web sites and others), a site's root virtual directory and the
// directories below it.
//
// Every operation either succeeds or raises t7::AppError; no result code is
// ever returned. Objects handed out stay usable after the store call that
// produced them; changes reach the store only through Start and SetInfo.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace t7 {

// Error numbers the store raises, as the directory-service provider reports
// them (signed 32-bit HRESULTs), and the runtime's own numbers for using an
// object that is not there or lacks the operation.
namespace weberr {
constexpr int32_t InvalidSyntax = static_cast<int32_t>(0x800401E4u);    // no such path / no web server
constexpr int32_t BadNetPath = static_cast<int32_t>(0x80070035u);       // computer not reachable
constexpr int32_t InvalidData = static_cast<int32_t>(0x8007000Du);      // configuration unreadable
constexpr int32_t PathNotFound = static_cast<int32_t>(0x80070003u);     // object or folder missing
constexpr int32_t AlreadyExists = static_cast<int32_t>(0x800700B7u);    // Create of an existing name
constexpr int32_t InvalidArgument = static_cast<int32_t>(0x80070057u);  // bad name or value
constexpr int32_t WriteFault = static_cast<int32_t>(0x8007001Du);       // saving failed
constexpr int32_t ObjectVariableNotSet = 91;
constexpr int32_t NotSupported = 438;  // object lacks the operation
}  // namespace weberr

// "ServerBindings": a list of "ip:port:host" strings, or a single string.
using ServerBindingsValue = std::variant<std::vector<std::wstring>, std::wstring>;

// A virtual directory: a site's root or a directory below it.
class IWebVirtualDir {
public:
    virtual ~IWebVirtualDir() = default;

    // Create("IIsWebVirtualDir", name): a new child directory, not yet saved.
    // Raises when a child of that name exists or the name is not usable.
    virtual std::shared_ptr<IWebVirtualDir> Create(const std::wstring& className,
                                                   const std::wstring& name) = 0;
    // GetObject("IIsWebVirtualDir", name): the existing child of that name;
    // raises when there is none.
    virtual std::shared_ptr<IWebVirtualDir> GetObject(const std::wstring& className,
                                                      const std::wstring& name) = 0;

    virtual void setAccessRead(bool allowed) = 0;
    virtual void setAccessScript(bool allowed) = 0;
    // Raises when the store refuses the folder (it does not exist).
    virtual void setPath(const std::wstring& physicalPath) = 0;
    virtual void setAppFriendlyName(const std::wstring& name) = 0;
    // Makes the directory an application; mode 0 in-process, 1 isolated,
    // 2 pooled. Any other mode raises.
    virtual void AppCreate2(int32_t mode) = 0;
    // Saves every setting made on this directory; raises when that fails.
    virtual void SetInfo() = 0;
};

// A child object of the web service container.
class IWebObject {
public:
    virtual ~IWebObject() = default;

    // "Class": "IIsWebServer" for a web site.
    virtual std::wstring Class() = 0;
    // The remaining operations belong to sites; other objects raise.
    virtual std::wstring ServerComment() = 0;
    virtual ServerBindingsValue ServerBindings() = 0;
    virtual std::wstring ADsPath() = 0;
    // GetObject("IIsWebVirtualDir", "Root"): the site's root directory.
    virtual std::shared_ptr<IWebVirtualDir> GetObject(const std::wstring& className,
                                                      const std::wstring& name) = 0;
    // Starts the site; it is running (and starts with the server) afterwards.
    virtual void Start() = 0;
};

// The web service container of one computer.
class IWebService {
public:
    virtual ~IWebService() = default;
    // The child objects, in the store's order.
    virtual std::vector<std::shared_ptr<IWebObject>> children() = 0;
};

class IWebServerStore {
public:
    virtual ~IWebServerStore() = default;
    // Binds "IIS://" computer "/W3svc". Raises when the computer or its web
    // service cannot be reached.
    virtual std::shared_ptr<IWebService> bind(const std::wstring& path) = 0;
};

class IFileSystem;

// The web server store of the platform the program was built for.
// `localNames` gives the names that mean this computer (IPArray);
// `fileSystem` checks the folders given as paths and must outlive the store.
std::unique_ptr<IWebServerStore> makeWebServerStore(const IFileSystem& fileSystem,
                                                    std::function<std::vector<std::wstring>()> localNames);

inline constexpr const wchar_t* kWebServerClass = L"IIsWebServer";
inline constexpr const wchar_t* kWebVirtualDirClass = L"IIsWebVirtualDir";

}  // namespace t7
