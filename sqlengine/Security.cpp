// Who may do what, and where database files may lie: the server roles of a
// login, the database roles of its user, the refusals SQL Server gives when
// either falls short, and the checks that keep files in the server's folders.
#include <algorithm>
#include <cctype>
#include <fstream>

#include "sqlengine/Functions.h"
#include "sqlengine/Lexer.h"
#include "sqlengine/Messages.h"
#include "sqlengine/SessionImpl.h"

namespace sqlengine {

const char* const kServerRoleTable =
    "CREATE TABLE IF NOT EXISTS _t7_srvrolemembers(role TEXT COLLATE NOCASE, login TEXT COLLATE NOCASE, "
    "PRIMARY KEY(role, login))";

namespace {

struct NamedRole {
    const char* name;
    unsigned bit;
};

const NamedRole kServerRoles[] = {
    {"sysadmin", kSysadmin}, {"dbcreator", kDbcreator}, {"securityadmin", kSecurityadmin}};

const NamedRole kDatabaseRoles[] = {{"db_owner", kDbOwner},           {"db_ddladmin", kDdlAdmin},
                                    {"db_datareader", kDataReader},   {"db_datawriter", kDataWriter},
                                    {"db_accessadmin", kAccessAdmin}, {"db_securityadmin", kSecurityAdminDb}};

unsigned roleBit(const NamedRole* begin, const NamedRole* end, const std::string& name) {
    for (const NamedRole* r = begin; r != end; ++r)
        if (equalsIgnoreCase(name, r->name)) return r->bit;
    return 0;
}

bool isReservedName(const std::string& name) {
    return startsWithIgnoreCase(name, "_t7") || startsWithIgnoreCase(name, "sqlite_");
}

// Characters no file name may hold on the servers this stands in for.
bool invalidFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return true;
    for (unsigned char c : name)
        if (c < 32 || std::string_view("<>:\"/\\|?*").find(static_cast<char>(c)) != std::string_view::npos)
            return true;
    return false;
}

bool isInside(const std::filesystem::path& file, const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::path f = std::filesystem::weakly_canonical(file, ec);
    if (ec) return false;
    std::filesystem::path d = std::filesystem::weakly_canonical(folder, ec);
    if (ec) return false;
    auto [fi, di] = std::mismatch(f.begin(), f.end(), d.begin(), d.end());
    (void)fi;
    // The folder's trailing empty element (from "drive_d/") matches anything.
    return di == d.end() || (std::next(di) == d.end() && di->empty());
}

}  // namespace

bool startsWithIgnoreCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && equalsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool isInternalName(const std::string& name) {
    return isReservedName(name);
}

// ---- refusals ----------------------------------------------------------

SqlError objectPermissionDenied(const std::string& permission, const std::string& object,
                                const std::string& database) {
    return sqlError<Msg::ObjectPermissionDenied>(permission, object, database, "dbo");
}

SqlError statementPermissionDenied(const std::string& permission, const std::string& database) {
    return sqlError<Msg::StatementPermissionDenied>(permission, database);
}

SqlError noPermission() {
    return sqlError<Msg::NoPermission>();
}

SqlError objectNotFoundOrDenied(const std::string& object) {
    return sqlError<Msg::ObjectNotFoundOrDenied>(object);
}

SqlError databaseNotFound(const std::string& name) {
    return sqlError<Msg::DatabaseNotFound>(name);
}

SqlError lockTimeout() {
    return sqlError<Msg::LockTimeout>();
}

SqlError fileActivationError(const std::string& shown) {
    return sqlError<Msg::FileActivationError>(shown);
}

SqlError createFileError(const std::string& osError, const std::string& shown) {
    return sqlError<Msg::CreateFileOsError>(osError, shown);
}

// ---- server roles --------------------------------------------------------

unsigned serverRoles(sqlite3* db, const std::string& schema, const std::string& login) {
    // sa is the administrator whatever the table says.
    unsigned roles = equalsIgnoreCase(login, "sa") ? unsigned{kSysadmin} : 0u;
    Query q(db, "SELECT role FROM " + schema + "._t7_srvrolemembers WHERE login = ?");
    q.bind(1, login);
    while (q.step()) roles |= roleBit(std::begin(kServerRoles), std::end(kServerRoles), q.text(0));
    return roles;
}

void SessionImpl::serverRoleMember(const ExecStmt& s, bool add) {
    std::string proc = add ? "sp_addsrvrolemember" : "sp_dropsrvrolemember";
    std::vector<std::string> args = procedureArgs(s, proc, {"@loginame", "@rolename"}, 2);
    unsigned role = roleBit(std::begin(kServerRoles), std::end(kServerRoles), args[1]);
    if (!role) throw sqlError<Msg::UnknownFixedRole>(args[1]);
    // A member of a fixed server role may add others to it; sysadmin to any.
    if (!m_sysadmin && !(m_serverRoles & role)) throw noPermission();
    Query l(m_db, "SELECT name FROM " + m_mst + "._t7_logins WHERE name = ?");
    l.bind(1, args[0]);
    if (!l.step()) throw sqlError<Msg::InvalidLogin>(args[0]);
    std::string login = l.text(0);
    if (!add && equalsIgnoreCase(login, "sa") && role == kSysadmin)
        throw sqlError<Msg::ReservedPrincipal>("sa");
    Query q(m_db, add ? "INSERT OR IGNORE INTO " + m_mst + "._t7_srvrolemembers(role, login) VALUES (?, ?)"
                      : "DELETE FROM " + m_mst + "._t7_srvrolemembers WHERE role = ? AND login = ?");
    q.bind(1, toLowerAscii(args[1])).bind(2, login);
    q.run();
}

void SessionImpl::requireServerRole(unsigned roles, const SqlError& refusal) const {
    if (!m_sysadmin && !(m_serverRoles & roles)) throw refusal;
}

// ---- database roles ------------------------------------------------------

void SessionImpl::loadDatabaseRights() {
    m_dbRights = 0;
    if (m_sysadmin) {
        m_dbRights = ~0u;
        return;
    }
    Query q(m_db,
            "SELECT u.uid, r.name FROM main._t7_users u LEFT JOIN main._t7_rolemembers m ON m.member_uid = "
            "u.uid LEFT JOIN main._t7_users r ON r.uid = m.role_uid WHERE u.login = ?");
    q.bind(1, m_login);
    while (q.step()) {
        // The database's owner (dbo) holds every right in it.
        if (q.integer(0) == 1) m_dbRights |= kDbOwner;
        if (!q.isNull(1))
            m_dbRights |= roleBit(std::begin(kDatabaseRoles), std::end(kDatabaseRoles), q.text(1));
    }
}

bool SessionImpl::checksPermissions() const {
    // Statements within a procedure reach its tables through the owner's
    // rights (ownership chaining: every object here belongs to dbo).
    return !m_sysadmin && m_moduleDepth == 0 && !(m_dbRights & kDbOwner);
}

void SessionImpl::requireSelect(const std::string& table) {
    if (!checksPermissions() || (m_dbRights & kDataReader)) return;
    if (TablePtr t = findTable(table)) throw objectPermissionDenied("SELECT", t->name, m_dbName);
}

void SessionImpl::requireWrite(const char* permission, const TableInfo& t) const {
    if (checksPermissions() && !(m_dbRights & kDataWriter))
        throw objectPermissionDenied(permission, t.name, m_dbName);
}

void SessionImpl::requireAlter(const std::string& object) const {
    if (checksPermissions() && !(m_dbRights & kDdlAdmin)) throw objectNotFoundOrDenied(object);
}

void SessionImpl::requireSchemaRight(const Stmt& s) {
    if (!checksPermissions() || (m_dbRights & kDdlAdmin)) return;
    static const char* kinds[] = {"TABLE", "VIEW", "PROCEDURE", "TRIGGER", "FUNCTION", "INDEX", "DEFAULT"};
    switch (s.kind) {
        case StmtKind::CreateTable:
            throw statementPermissionDenied("CREATE TABLE", m_dbName);
        case StmtKind::CreateModule: {
            const auto& m = static_cast<const CreateModuleStmt&>(s);
            std::string kind = kinds[static_cast<int>(m.type)];
            if (m.alter) throw sqlError<Msg::PrincipalNotFound>("alter", toLowerAscii(kind), m.name.last());
            throw statementPermissionDenied("CREATE " + kind, m_dbName);
        }
        case StmtKind::AlterTable:
            throw objectNotFoundOrDenied(static_cast<const AlterTableStmt&>(s).table.last());
        case StmtKind::CreateIndex:
            throw objectNotFoundOrDenied(static_cast<const CreateIndexStmt&>(s).table.last());
        case StmtKind::DropObject: {
            const auto& d = static_cast<const DropObjectStmt&>(s);
            std::string name = d.names.empty() ? std::string() : d.names[0].last();
            if (d.type == ObjectType::Index && !d.onTables.empty()) name = d.onTables[0].last() + "." + name;
            throw sqlError<Msg::CannotDropMissing>("drop", toLowerAscii(kinds[static_cast<int>(d.type)]),
                                                   name);
        }
        default:
            return;
    }
}

void SessionImpl::requireUserAdmin() const {
    if (!m_sysadmin && !(m_dbRights & (kDbOwner | kAccessAdmin))) throw noPermission();
}

void SessionImpl::requireRoleAdmin(const std::string& role) const {
    // Only an owner may add owners; db_securityadmin manages the other roles.
    unsigned may = equalsIgnoreCase(role, "db_owner") ? kDbOwner : (kDbOwner | kSecurityAdminDb);
    if (!m_sysadmin && !(m_dbRights & may)) throw sqlError<Msg::PrincipalNotFound>("alter", "role", role);
}

void SessionImpl::requireExecute(const std::string& procedure) const {
    if (checksPermissions()) throw objectPermissionDenied("EXECUTE", procedure, m_dbName);
}

bool databaseOwnedBy(const std::filesystem::path& file, const std::string& login) {
    try {
        DbHandle db = openConnection(file, false);
        Query q(db,
                "SELECT 1 FROM _t7_users u JOIN _t7_rolemembers m ON m.member_uid = u.uid AND m.role_uid = "
                "16384 WHERE u.login = ?");
        q.bind(1, login);
        return q.step();
    } catch (const SqliteError&) {
        return false;
    }
}

// ---- files -----------------------------------------------------------------

std::vector<std::filesystem::path> allowedFolders(const std::filesystem::path& serverFolder,
                                                  const PathMapper* mapper) {
    std::vector<std::filesystem::path> folders{serverFolder};
    if (!mapper) return folders;
    // The folders that the client's drives stand for.
    for (char drive = 'A'; drive <= 'Z'; ++drive) {
        try {
            std::filesystem::path root = (*mapper)(std::string(1, drive) + ":\\");
            if (!root.empty() && root.is_absolute()) folders.push_back(root);
        } catch (...) {
            // A drive the mapper does not know is no folder of the server's.
        }
    }
    return folders;
}

std::filesystem::path ServerCore::clientFile(const std::string& clientPath) const {
    // Every segment as the client wrote it: ".." would step out of the
    // folder that the mapper chose.
    size_t start = 0;
    for (size_t i = 0; i <= clientPath.size(); ++i) {
        if (i < clientPath.size() && clientPath[i] != '\\' && clientPath[i] != '/') continue;
        std::string segment = clientPath.substr(start, i - start);
        if (segment == "..") throw createFileError("5(Access is denied.)", clientPath);
        bool drive = start == 0 && segment.size() == 2 && segment[1] == ':' && std::isalpha(segment[0]);
        bool last = i == clientPath.size();
        if ((last || !segment.empty()) && !drive && invalidFileName(segment) &&
            !(start == 0 && segment.empty()))
            throw fileActivationError(clientPath);
        start = i + 1;
    }
    std::filesystem::path native = mapper(clientPath);
    if (!isAllowed(native)) throw createFileError("5(Access is denied.)", clientPath);
    return native;
}

std::filesystem::path ServerCore::defaultFile(const std::string& database) const {
    std::filesystem::path file = dataFolder / pathOfUtf8(database + ".mdf");
    if (invalidFileName(database) || !isAllowed(file)) throw fileActivationError(utf8Name(file));
    return file;
}

bool ServerCore::isAllowed(const std::filesystem::path& file) const {
    for (const std::filesystem::path& folder : allowedFolders)
        if (isInside(file, folder)) return true;
    return false;
}

void createPrivateFile(const std::filesystem::path& file) {
    std::ofstream(file, std::ios::binary | std::ios::app);
    std::error_code ec;
    std::filesystem::permissions(file,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::replace, ec);
}

void refuseLostMaster(const ServerCore& core) {
    // Databases without their master catalog: a fresh one would forget
    // them and open the server to anyone with an empty sa password.
    std::error_code ec;
    bool orphans = std::filesystem::exists(core.folder / "mastlog.ldf", ec);
    for (std::filesystem::directory_iterator it(core.dataFolder, ec), end; !ec && it != end && !orphans;
         it.increment(ec))
        orphans = equalsIgnoreCase(it->path().extension().string(), ".mdf");
    if (orphans) throw sqlError<Msg::MasterMissing>(utf8Name(core.masterPath), utf8Name(core.folder));
}

}  // namespace sqlengine
