#pragma once
// A database component that passes every call to a real one, writes down
// what was sent to the server, and can be told to fail an operation: the
// statements a page sends are checked as text, and failures the real server
// would rarely give are injected at a named operation.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/AppError.h"
#include "database/DatabaseComponent.h"

namespace t7::test {

struct SpyCall {
    // "Connect", "Start", "Close", "Execute" (server level), "ExecuteIn"
    // (database level), "LoginExists", "Add", "SetPassword".
    std::wstring operation;
    // Execute: empty; ExecuteIn: the database name; Connect/Start: the
    // server; logins: the login name.
    std::wstring target;
    // Statement or script text; SetPassword: the new password.
    std::wstring text;
};

class SpyDatabaseComponent : public dmo::Application {
public:
    explicit SpyDatabaseComponent(dmo::Application& real) : m_real(real) {}

    std::vector<SpyCall> calls;
    // Asked before every recorded operation is passed on; an error given
    // back is raised instead.
    std::function<std::optional<AppError>(const SpyCall&)> failWhen;

    // Texts of the calls of one operation, in order.
    std::vector<std::wstring> texts(const std::wstring& operation) const;
    // Targets of the calls of one operation, in order.
    std::vector<std::wstring> targets(const std::wstring& operation) const;

    dmo::NameList ListAvailableSQLServers() override { return m_real.ListAvailableSQLServers(); }
    std::shared_ptr<dmo::SQLServer> NewSQLServer() override;
    std::shared_ptr<dmo::Login> NewLogin() override;

    // Records a call and raises the injected failure, if any.
    void record(SpyCall call);

private:
    dmo::Application& m_real;
};

}  // namespace t7::test
