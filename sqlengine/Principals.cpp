// Logins, users and database roles: CREATE, ALTER and DROP LOGIN, CREATE
// and DROP USER, sp_addlogin and sp_addrolemember.
#include <algorithm>
#include <optional>

#include "sqlengine/Functions.h"
#include "sqlengine/Lexer.h"
#include "sqlengine/Messages.h"
#include "sqlengine/Parser.h"
#include "sqlengine/SessionImpl.h"

namespace sqlengine {

void SessionImpl::runCreateLogin(const LoginStmt& s) {
    requireServerRole(kSecurityadmin, noPermission());
    Query exists(m_db, "SELECT 1 FROM " + m_mst + "._t7_logins WHERE name = ?");
    exists.bind(1, s.name);
    if (exists.step()) throw sqlError<Msg::ServerPrincipalExists>(s.name);
    std::string db = s.defaultDatabase.value_or("master");
    std::string stored;
    if (!databaseExists(db, &stored)) throw sqlError<Msg::DefaultDatabaseMissing>(db);
    bool checkPolicy = s.checkPolicy.value_or(true);
    Query pol(m_db, "SELECT value FROM " + m_mst + "._t7_server WHERE key = 'policy'");
    bool policyOn = !pol.step() || pol.text(0) != "0";
    if (policyOn && checkPolicy) checkPasswordPolicy(*s.password);
    Query sid(m_db, "SELECT coalesce(max(sid), 0) + 1 FROM " + m_mst + "._t7_logins");
    sid.step();
    long long next = sid.integer(0);
    Query q(m_db, "INSERT INTO " + m_mst +
                      "._t7_logins(name, password, default_db, check_policy, disabled, sid, "
                      "createdate) VALUES (?, ?, ?, ?, 0, ?, ?)");
    q.bind(1, s.name)
        .bind(2, hashPassword(*s.password))
        .bind(3, stored)
        .bind(4, static_cast<long long>(checkPolicy));
    q.bind(5, next).bind(6, currentDateTime());
    q.run();
}

void SessionImpl::runAlterLogin(const LoginStmt& s) {
    Query q(m_db, "SELECT name, password, check_policy FROM " + m_mst + "._t7_logins WHERE name = ?");
    q.bind(1, s.name);
    SqlError cannot = sqlError<Msg::PrincipalNotFound>("alter", "login", s.name);
    if (!q.step()) throw cannot;
    std::string name = q.text(0), stored = q.text(1);
    bool checkPolicy = s.checkPolicy.value_or(q.integer(2) != 0);
    bool self = equalsIgnoreCase(name, m_login);
    // securityadmin manages the logins but not the administrators'.
    bool manages =
        m_sysadmin || ((m_serverRoles & kSecurityadmin) && !(serverRoles(m_db, m_mst, name) & kSysadmin));
    if (!manages && !self) throw noPermission();
    if (s.password) {
        if (s.oldPassword && !checkPassword(stored, *s.oldPassword)) throw cannot;
        if (!manages && !s.oldPassword) throw cannot;
        Query pol(m_db, "SELECT value FROM " + m_mst + "._t7_server WHERE key = 'policy'");
        bool policyOn = !pol.step() || pol.text(0) != "0";
        if (policyOn && checkPolicy) checkPasswordPolicy(*s.password);
        Query up(m_db, "UPDATE " + m_mst + "._t7_logins SET password = ? WHERE name = ?");
        up.bind(1, hashPassword(*s.password)).bind(2, name);
        up.run();
    }
    if (s.defaultDatabase) {
        std::string db;
        if (!databaseExists(*s.defaultDatabase, &db))
            throw sqlError<Msg::DefaultDatabaseMissing>(*s.defaultDatabase);
        Query up(m_db, "UPDATE " + m_mst + "._t7_logins SET default_db = ? WHERE name = ?");
        up.bind(1, db).bind(2, name);
        up.run();
    }
    if (s.checkPolicy) {
        Query up(m_db, "UPDATE " + m_mst + "._t7_logins SET check_policy = ? WHERE name = ?");
        up.bind(1, static_cast<long long>(*s.checkPolicy)).bind(2, name);
        up.run();
    }
    if (s.enable) {
        Query up(m_db, "UPDATE " + m_mst + "._t7_logins SET disabled = ? WHERE name = ?");
        up.bind(1, static_cast<long long>(!*s.enable)).bind(2, name);
        up.run();
    }
}

void SessionImpl::runDropLogin(const NameStmt& s) {
    const std::string& name = s.names[0];
    Query q(m_db, "SELECT name FROM " + m_mst + "._t7_logins WHERE name = ?");
    q.bind(1, name);
    bool found = q.step();
    bool manages = m_sysadmin || (found && (m_serverRoles & kSecurityadmin) &&
                                  !(serverRoles(m_db, m_mst, q.text(0)) & kSysadmin));
    if (!found || !manages) throw sqlError<Msg::PrincipalNotFound>("drop", "login", name);
    if (equalsIgnoreCase(q.text(0), "sa") || equalsIgnoreCase(q.text(0), m_login))
        throw sqlError<Msg::LoginInUse>(name);
    Query d(m_db, "DELETE FROM " + m_mst + "._t7_logins WHERE name = ?");
    d.bind(1, name);
    d.run();
    Query r(m_db, "DELETE FROM " + m_mst + "._t7_srvrolemembers WHERE login = ?");
    r.bind(1, name);
    r.run();
}

void SessionImpl::runAddLogin(const ExecStmt& s) {
    // The old way to make a login: no password policy, as before it had one.
    std::vector<std::string> args = procedureArgs(s, "sp_addlogin", {"@loginame", "@passwd", "@defdb"}, 1);
    LoginStmt login(StmtKind::CreateLogin);
    login.name = args[0];
    login.password = args.size() > 1 ? args[1] : std::string();
    if (args.size() > 2 && !args[2].empty()) login.defaultDatabase = args[2];
    login.checkPolicy = false;
    runCreateLogin(login);
}

std::vector<std::string> SessionImpl::procedureArgs(const ExecStmt& s, const std::string& proc,
                                                    const std::vector<std::string>& names, size_t required) {
    std::vector<std::optional<std::string>> given(names.size());
    for (size_t i = 0; i < s.args.size(); ++i) {
        size_t p = i;
        if (!s.args[i].param.empty()) {
            p = names.size();
            for (size_t k = 0; k < names.size(); ++k)
                if (equalsIgnoreCase(names[k], s.args[i].param)) p = k;
            if (p == names.size()) throw sqlError<Msg::NotAParameter>(s.args[i].param, proc);
        } else if (p >= names.size()) {
            throw sqlError<Msg::TooManyArguments>(proc);
        }
        Value v = evaluate(*s.args[i].value);
        if (!v.isNull()) given[p] = v.toText();
    }
    std::vector<std::string> args;
    for (size_t p = 0; p < names.size(); ++p) {
        if (!given[p] && p < required) throw sqlError<Msg::ParameterNotSupplied>(proc, names[p]);
        args.push_back(given[p].value_or(std::string()));
    }
    while (args.size() > required && args.back().empty()) args.pop_back();
    return args;
}

void SessionImpl::runCreateUser(const CreateUserStmt& s) {
    requireUserAdmin();
    Query exists(cached("SELECT 1 FROM main._t7_users WHERE name = ?"));
    exists.bind(1, s.name);
    if (exists.step()) throw sqlError<Msg::PrincipalExistsInDatabase>(s.name);
    std::string login = s.withoutLogin ? std::string() : (s.login.empty() ? s.name : s.login);
    if (!login.empty()) {
        Query l(m_db, "SELECT name FROM " + m_mst + "._t7_logins WHERE name = ?");
        l.bind(1, login);
        if (!l.step()) throw sqlError<Msg::InvalidLogin>(login);
        login = l.text(0);
        Query mapped(cached("SELECT 1 FROM main._t7_users WHERE login = ?"));
        mapped.bind(1, login);
        if (mapped.step()) throw sqlError<Msg::LoginAlreadyMapped>();
    }
    Query uid(
        cached("SELECT max(coalesce((SELECT max(uid) FROM main._t7_users WHERE uid < 16384), 4) + 1, 5)"));
    uid.step();
    long long next = uid.integer(0);
    Query q(cached(
        "INSERT INTO main._t7_users(uid, name, login, default_schema, is_role) VALUES (?, ?, ?, ?, 0)"));
    q.bind(1, next).bind(2, s.name);
    if (login.empty())
        q.bindNull(3);
    else
        q.bind(3, login);
    q.bind(4, s.defaultSchema.empty() ? std::string("dbo") : s.defaultSchema);
    q.run();
}

void SessionImpl::runDropUser(const NameStmt& s) {
    requireUserAdmin();
    const std::string& name = s.names[0];
    Query q(cached("SELECT uid, is_role FROM main._t7_users WHERE name = ?"));
    q.bind(1, name);
    if (!q.step() || q.integer(1) != 0 || q.integer(0) < 5)
        throw sqlError<Msg::PrincipalNotFound>("drop", "user", name);
    long long uid = q.integer(0);
    Query a(cached("DELETE FROM main._t7_rolemembers WHERE member_uid = ?"));
    a.bind(1, uid);
    a.run();
    Query b(cached("DELETE FROM main._t7_users WHERE uid = ?"));
    b.bind(1, uid);
    b.run();
}

void SessionImpl::roleMember(const ExecStmt& s, bool add) {
    std::string proc = add ? "sp_addrolemember" : "sp_droprolemember";
    std::vector<std::string> args = procedureArgs(s, proc, {"@rolename", "@membername"}, 2);
    requireRoleAdmin(args[0]);
    Query r(cached("SELECT uid FROM main._t7_users WHERE name = ? AND is_role = 1"));
    r.bind(1, args[0]);
    if (!r.step()) throw sqlError<Msg::RoleNotFound>(args[0]);
    long long role = r.integer(0);
    Query m(cached("SELECT uid FROM main._t7_users WHERE name = ?"));
    m.bind(1, args[1]);
    if (!m.step()) throw sqlError<Msg::UserOrRoleNotFound>(args[1]);
    long long member = m.integer(0);
    if (member == 1 && add) throw sqlError<Msg::SpecialPrincipal>("dbo");
    Query q(cached(add ? "INSERT OR IGNORE INTO main._t7_rolemembers(role_uid, member_uid) VALUES (?, ?)"
                       : "DELETE FROM main._t7_rolemembers WHERE role_uid = ? AND member_uid = ?"));
    q.bind(1, role).bind(2, member);
    q.run();
}

}  // namespace sqlengine
