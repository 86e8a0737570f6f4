#include "support/SpyDatabaseComponent.h"

namespace t7::test {
namespace {

class SpyDatabase : public dmo::Database {
public:
    SpyDatabase(SpyDatabaseComponent& spy, std::shared_ptr<dmo::Database> real)
        : m_spy(spy), m_real(std::move(real)) {}
    std::wstring Name() const override { return m_real->Name(); }
    void ExecuteImmediate(const std::wstring& script, int32_t executionType) override {
        m_spy.record({L"ExecuteIn", m_real->Name(), script});
        m_real->ExecuteImmediate(script, executionType);
    }

private:
    SpyDatabaseComponent& m_spy;
    std::shared_ptr<dmo::Database> m_real;
};

class SpyDatabases : public dmo::Databases {
public:
    SpyDatabases(SpyDatabaseComponent& spy, std::shared_ptr<dmo::Databases> real)
        : m_spy(spy), m_real(std::move(real)) {}
    int32_t Count() override { return m_real->Count(); }
    std::shared_ptr<dmo::Database> Item(int32_t position) override {
        return std::make_shared<SpyDatabase>(m_spy, m_real->Item(position));
    }
    std::shared_ptr<dmo::Database> Item(const std::wstring& name) override {
        return std::make_shared<SpyDatabase>(m_spy, m_real->Item(name));
    }

private:
    SpyDatabaseComponent& m_spy;
    std::shared_ptr<dmo::Databases> m_real;
};

class SpyLogin : public dmo::Login {
public:
    SpyLogin(SpyDatabaseComponent& spy, std::shared_ptr<dmo::Login> real)
        : m_spy(spy), m_real(std::move(real)) {}
    std::wstring Name() const override { return m_real->Name(); }
    void SetName(const std::wstring& name) override { m_real->SetName(name); }
    void SetPassword(const std::wstring& oldPassword, const std::wstring& newPassword) override {
        m_spy.record({L"SetPassword", m_real->Name(), newPassword});
        m_real->SetPassword(oldPassword, newPassword);
    }
    const std::shared_ptr<dmo::Login>& real() const { return m_real; }

private:
    SpyDatabaseComponent& m_spy;
    std::shared_ptr<dmo::Login> m_real;
};

class SpyLogins : public dmo::Logins {
public:
    SpyLogins(SpyDatabaseComponent& spy, std::shared_ptr<dmo::Logins> real)
        : m_spy(spy), m_real(std::move(real)) {}
    std::shared_ptr<dmo::Login> Item(const std::wstring& name) override {
        return std::make_shared<SpyLogin>(m_spy, m_real->Item(name));
    }
    void Add(const std::shared_ptr<dmo::Login>& login) override {
        auto spyLogin = std::dynamic_pointer_cast<SpyLogin>(login);
        m_spy.record({L"Add", login->Name(), L""});
        m_real->Add(spyLogin ? spyLogin->real() : login);
    }

private:
    SpyDatabaseComponent& m_spy;
    std::shared_ptr<dmo::Logins> m_real;
};

class SpySQLServer : public dmo::SQLServer {
public:
    SpySQLServer(SpyDatabaseComponent& spy, std::shared_ptr<dmo::SQLServer> real)
        : m_spy(spy), m_real(std::move(real)) {}
    int32_t LoginTimeout() const override { return m_real->LoginTimeout(); }
    void SetLoginTimeout(int32_t seconds) override { m_real->SetLoginTimeout(seconds); }
    void Connect(const std::wstring& server, const std::wstring& login,
                 const std::wstring& password) override {
        m_spy.record({L"Connect", server, login});
        m_real->Connect(server, login, password);
    }
    void Start(bool connectAfterStart, const std::wstring& server, const std::wstring& login,
               const std::wstring& password) override {
        m_spy.record({L"Start", server, login});
        m_real->Start(connectAfterStart, server, login, password);
    }
    void Close() override {
        m_spy.record({L"Close", L"", L""});
        m_real->Close();
    }
    void ReConnect() override { m_real->ReConnect(); }
    bool IsConnected() override { return m_real->IsConnected(); }
    void ExecuteImmediate(const std::wstring& command, int32_t executionType) override {
        m_spy.record({L"Execute", L"", command});
        m_real->ExecuteImmediate(command, executionType);
    }
    bool LoginExists(const std::wstring& name) override {
        m_spy.record({L"LoginExists", name, L""});
        return m_real->LoginExists(name);
    }
    std::shared_ptr<dmo::Databases> Databases() override {
        return std::make_shared<SpyDatabases>(m_spy, m_real->Databases());
    }
    std::shared_ptr<dmo::Logins> Logins() override {
        return std::make_shared<SpyLogins>(m_spy, m_real->Logins());
    }

private:
    SpyDatabaseComponent& m_spy;
    std::shared_ptr<dmo::SQLServer> m_real;
};

}  // namespace

std::shared_ptr<dmo::SQLServer> SpyDatabaseComponent::NewSQLServer() {
    return std::make_shared<SpySQLServer>(*this, m_real.NewSQLServer());
}

std::shared_ptr<dmo::Login> SpyDatabaseComponent::NewLogin() {
    return std::make_shared<SpyLogin>(*this, m_real.NewLogin());
}

void SpyDatabaseComponent::record(SpyCall call) {
    calls.push_back(call);
    if (failWhen) {
        if (std::optional<AppError> error = failWhen(call)) throw *error;
    }
}

std::vector<std::wstring> SpyDatabaseComponent::texts(const std::wstring& operation) const {
    std::vector<std::wstring> out;
    for (const SpyCall& c : calls) {
        if (c.operation == operation) out.push_back(c.text);
    }
    return out;
}

std::vector<std::wstring> SpyDatabaseComponent::targets(const std::wstring& operation) const {
    std::vector<std::wstring> out;
    for (const SpyCall& c : calls) {
        if (c.operation == operation) out.push_back(c.target);
    }
    return out;
}

}  // namespace t7::test
