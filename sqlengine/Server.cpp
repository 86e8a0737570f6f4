// The server kept in a folder: the master catalog (databases, logins,
// service state, password policy) and the connections to it.
#include <array>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <random>

#include "sqlengine/Engine.h"
#include "sqlengine/Functions.h"
#include "sqlengine/Messages.h"
#include "sqlengine/SessionImpl.h"

namespace sqlengine {

namespace {

// SHA-256, so that the master catalog keeps no password in clear.
struct Sha256 {
    std::array<uint32_t, 8> h{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                              0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    static uint32_t rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }
    void block(const unsigned char* p) {
        static const uint32_t k[64] = {
            0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
            0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
            0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
            0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
            0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
            0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
            0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
            0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
        uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = (uint32_t(p[4 * i]) << 24) | (uint32_t(p[4 * i + 1]) << 16) |
                   (uint32_t(p[4 * i + 2]) << 8) | uint32_t(p[4 * i + 3]);
        for (int i = 16; i < 64; ++i) {
            uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], hh = h[7];
        for (int i = 0; i < 64; ++i) {
            uint32_t s1 = rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25);
            uint32_t ch = (e & f) ^ (~e & g);
            uint32_t t1 = hh + s1 + ch + k[i] + w[i];
            uint32_t s0 = rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22);
            uint32_t maj = (a & b) ^ (a & c) ^ (b & c);
            uint32_t t2 = s0 + maj;
            hh = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
        h[4] += e;
        h[5] += f;
        h[6] += g;
        h[7] += hh;
    }
    std::string digestHex(const std::string& data) {
        std::string m = data;
        uint64_t bits = uint64_t(data.size()) * 8;
        m += static_cast<char>(0x80);
        while (m.size() % 64 != 56) m += '\0';
        for (int i = 7; i >= 0; --i) m += static_cast<char>((bits >> (8 * i)) & 0xFF);
        for (size_t i = 0; i < m.size(); i += 64) block(reinterpret_cast<const unsigned char*>(m.data() + i));
        static const char* hex = "0123456789abcdef";
        std::string out;
        for (uint32_t v : h)
            for (int i = 28; i >= 0; i -= 4) out += hex[(v >> i) & 15];
        return out;
    }
};

std::string sha256Hex(const std::string& data) {
    return Sha256().digestHex(data);
}

class ServerImpl : public Server {
public:
    ServerImpl(const std::filesystem::path& folder, PathMapper mapper) {
        m_core = std::make_shared<ServerCore>();
        m_core->folder = folder;
        m_core->masterPath = folder / "master.mdf";
        m_core->dataFolder = folder / "data";
        bool mapped = static_cast<bool>(mapper);
        m_core->mapper = mapped ? std::move(mapper) : [](const std::string& p) { return pathOfUtf8(p); };
        m_core->allowedFolders = allowedFolders(folder, mapped ? &m_core->mapper : nullptr);
        std::filesystem::create_directories(m_core->dataFolder);
        bool fresh = !std::filesystem::exists(m_core->masterPath);
        if (fresh) refuseLostMaster(*m_core);
        m_db = openConnection(m_core->masterPath, true);
        if (fresh) {
            try {
                createMasterCatalog(m_db);
            } catch (const SqliteError& e) {
                // A half-made master would be taken for a real one next time.
                m_db.reset();
                std::error_code ec;
                for (const char* suffix : {"", "-wal", "-shm"})
                    std::filesystem::remove(pathOfUtf8(utf8Name(m_core->masterPath) + suffix), ec);
                throw sqlError<Msg::CreateMasterError>(e.what());
            }
            createPrivateFile(folder / "mastlog.ldf");
        }
        // Folders made before server roles existed get their table now.
        execSql(m_db, kServerRoleTable);
    }
    bool isRunning() const override { return setting("running") != "0"; }
    void setRunning(bool running) override { put("running", running ? "1" : "0"); }
    bool passwordPolicy() const override { return setting("policy") != "0"; }
    void setPasswordPolicy(bool on) override { put("policy", on ? "1" : "0"); }

    std::unique_ptr<Session> connect(const std::string& login, const std::string& password) override {
        if (!isRunning()) throw sqlError<Msg::ServerNotFound>();
        Query q(m_db, "SELECT name, password, default_db, disabled FROM _t7_logins WHERE name = ?");
        q.bind(1, login);
        if (!q.step() || !checkPassword(q.text(1), password) || q.integer(3) != 0)
            throw sqlError<Msg::LoginFailed>(login);
        std::string name = q.text(0);
        std::string db = q.isNull(2) ? "master" : q.text(2);
        Query d(m_db, "SELECT name FROM _t7_databases WHERE name = ?");
        d.bind(1, db);
        if (!d.step()) throw sqlError<Msg::DefaultDatabaseUnavailable>();
        try {
            return std::make_unique<SessionImpl>(m_core, name, d.text(0), serverRoles(m_db, "main", name));
        } catch (const SqliteError& e) {
            if ((e.code() & 0xFF) == SQLITE_BUSY) throw lockTimeout();
            throw sqlError<Msg::ServerNotFound>();
        }
    }

    std::vector<std::string> databaseNames() const override {
        std::vector<std::string> names;
        Query q(m_db, "SELECT name FROM _t7_databases ORDER BY dbid");
        while (q.step()) names.push_back(q.text(0));
        return names;
    }

    bool loginExists(const std::string& name) const override {
        Query q(m_db, "SELECT 1 FROM _t7_logins WHERE name = ?");
        q.bind(1, name);
        return q.step();
    }

private:
    std::shared_ptr<ServerCore> m_core;
    DbHandle m_db;

    std::string setting(const std::string& key) const {
        Query q(m_db, "SELECT value FROM _t7_server WHERE key = ?");
        q.bind(1, key);
        return q.step() ? q.text(0) : std::string();
    }
    void put(const std::string& key, const std::string& value) {
        Query q(m_db, "INSERT OR REPLACE INTO _t7_server(key, value) VALUES (?, ?)");
        q.bind(1, key).bind(2, value);
        q.run();
    }
};

}  // namespace

std::string hashPassword(const std::string& password) {
    // One generator per thread: sessions of the TDS listener run at once.
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    char salt[17];
    std::snprintf(salt, sizeof salt, "%016llx", static_cast<unsigned long long>(rng()));
    return std::string(salt) + ":" + sha256Hex(std::string(salt) + password);
}

bool checkPassword(const std::string& stored, const std::string& password) {
    size_t colon = stored.find(':');
    if (colon == std::string::npos) return false;
    std::string salt = stored.substr(0, colon);
    return stored.substr(colon + 1) == sha256Hex(salt + password);
}

void checkPasswordPolicy(const std::string& password) {
    int upper = 0, lower = 0, digit = 0, other = 0;
    size_t chars = 0;
    for (unsigned char c : password) {
        if ((c & 0xC0) == 0x80) continue;
        ++chars;
        if (c >= 'A' && c <= 'Z')
            upper = 1;
        else if (c >= 'a' && c <= 'z')
            lower = 1;
        else if (c >= '0' && c <= '9')
            digit = 1;
        else
            other = 1;
    }
    if (chars < 6 || upper + lower + digit + other < 3) throw sqlError<Msg::PasswordTooWeak>();
}

namespace {

// Process-wide settings, made before SQLite's first use. A transaction of a
// client keeps its savepoint for as long as it lasts, and SQLite keeps the
// savepoint's journal in memory only up to a threshold (64 KiB by default),
// then writes it to a temporary file: a script run in one transaction over
// TDS paid that on every page it changed. 1 MiB per connection holds such
// a script; bigger transactions still spill. A process that started SQLite
// before the engine keeps SQLite's default.
void configureSqlite() {
    static std::once_flag once;
    std::call_once(once, [] { sqlite3_config(SQLITE_CONFIG_STMTJRNL_SPILL, 1 << 20); });
}

}  // namespace

DbHandle openConnection(const std::filesystem::path& file, bool create) {
    configureSqlite();
    if (create && !std::filesystem::exists(file)) {
        // A journal left by an earlier file of the same name must not be
        // replayed into the new one.
        std::error_code ec;
        for (const char* journal : {"-wal", "-shm", "-journal"})
            std::filesystem::remove(pathOfUtf8(utf8Name(file) + journal), ec);
        // SQLite gives its journals the permissions of the database file.
        createPrivateFile(file);
    }
    sqlite3* raw = nullptr;
    int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(utf8Name(file).c_str(), &raw, flags, nullptr);
    DbHandle db(raw);
    if (rc != SQLITE_OK) {
        std::string msg = raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
        throw SqliteError(rc, msg + " (" + utf8Name(file) + ")");
    }
    sqlite3_busy_timeout(db, kLockTimeoutMs);
    // A double-quoted name is always a name, never a string literal.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_extended_result_codes(db, 1);
    // WAL with NORMAL sync: a committed batch survives a crash of the
    // process; the file can never be left half-written.
    execSql(db,
            "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=OFF; "
            "PRAGMA recursive_triggers=OFF; PRAGMA cache_size=-2000; PRAGMA wal_autocheckpoint=8192; "
            // Freed pages need not be zeroed: the files hold nothing secret
            // that SQL Server itself would wipe.
            "PRAGMA secure_delete=OFF;");
    registerFunctions(db);
    return db;
}

void createMasterCatalog(sqlite3* db) {
    execSql(db, "BEGIN");
    createDatabaseCatalog(db);
    execSql(db,
            "CREATE TABLE _t7_databases(dbid INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE COLLATE NOCASE, "
            "filename TEXT, logname TEXT, crdate TEXT);"
            "CREATE TABLE _t7_logins(name TEXT PRIMARY KEY COLLATE NOCASE, password TEXT, default_db TEXT, "
            "check_policy INTEGER, disabled INTEGER DEFAULT 0, sid INTEGER, createdate TEXT);"
            "CREATE TABLE _t7_server(key TEXT PRIMARY KEY, value TEXT);"
            "INSERT INTO _t7_server VALUES ('running', '1'), ('policy', '1');");
    execSql(db, kServerRoleTable);
    {
        Query q(db,
                "INSERT INTO _t7_databases(dbid, name, filename, logname, crdate) VALUES (1, 'master', ?, "
                "'', ?)");
        q.bind(1, std::string(sqlite3_db_filename(db, "main"))).bind(2, currentDateTime());
        q.run();
    }
    {
        Query q(db,
                "INSERT INTO _t7_logins(name, password, default_db, check_policy, sid, createdate) "
                "VALUES ('sa', ?, 'master', 1, 1, ?)");
        q.bind(1, hashPassword("")).bind(2, currentDateTime());
        q.run();
    }
    execSql(db, "COMMIT");
}

std::unique_ptr<Server> Server::open(const std::filesystem::path& folder, PathMapper mapper) {
    // Counting every allocation takes a global lock and is of no use here.
    // This works only before SQLite is first used in the process.
    static const int memoryStatistics = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    (void)memoryStatistics;
    try {
        return std::make_unique<ServerImpl>(folder, std::move(mapper));
    } catch (const SqliteError& e) {
        if ((e.code() & 0xFF) == SQLITE_BUSY) throw lockTimeout();
        throw sqlError<Msg::ServerNotFound>();
    }
}

}  // namespace sqlengine
