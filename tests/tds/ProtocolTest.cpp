// The TDS protocol over bytes: packets, values, RPC parameters and whole
// exchanges of a connection with the engine, without sockets.
#include <gtest/gtest.h>

#include <mutex>

#include "sqlengine/tds/Browser.h"
#include "sqlengine/tds/Connection.h"
#include "sqlengine/tds/Login.h"
#include "sqlengine/tds/Requests.h"
#include "sqlengine/tds/Tokens.h"
#include "sqlengine/tds/Wire.h"
#include "support/TestPaths.h"

namespace sqlengine::tds {
namespace {

std::string packet(uint8_t type, uint8_t status, std::string_view body) {
    std::string p = packetize(static_cast<PacketType>(type), body, body.size() + kHeaderSize);
    p[1] = static_cast<char>(status);
    return p;
}

TEST(MessageAssemblerTest, JoinsPacketsFedInPieces) {
    std::string bytes = packetize(kSqlBatch, std::string(2000, 'x'), 512);
    MessageAssembler a(512, 1 << 20);
    for (size_t i = 0; i < bytes.size(); i += 7) a.feed(std::string_view(bytes).substr(i, 7));
    auto m = a.next();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->type, kSqlBatch);
    EXPECT_EQ(m->payload, std::string(2000, 'x'));
    EXPECT_FALSE(a.next());
    EXPECT_FALSE(a.pending());
}

TEST(MessageAssemblerTest, AnAttentionDropsTheMessageItCuts) {
    MessageAssembler a(4096, 1 << 20);
    a.feed(packet(kSqlBatch, 0, "half"));
    a.feed(packet(kAttention, kEndOfMessage, ""));
    a.feed(packet(kSqlBatch, kEndOfMessage, "next"));
    EXPECT_EQ(a.next()->type, kAttention);
    EXPECT_EQ(a.next()->payload, "next");
}

struct BadStream {
    const char* what;
    std::string bytes;
};

class BadStreamTest : public ::testing::TestWithParam<BadStream> {};

TEST_P(BadStreamTest, IsAProtocolError) {
    MessageAssembler a(4096, 3000);
    EXPECT_THROW(a.feed(GetParam().bytes), ProtocolError) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Streams, BadStreamTest,
    ::testing::Values(BadStream{"unknown type", "GET / HTTP/1.1\r\n\r\n"},
                      BadStream{"packet over the size", std::string("\x12\x01\x20\x00\0\0\1\0", 8)},
                      BadStream{"length below the header", std::string("\x12\x01\x00\x04\0\0\1\0", 8)},
                      BadStream{"message over the limit", packet(kSqlBatch, 0, std::string(2000, 'a')) +
                                                              packet(kSqlBatch, 0, std::string(2000, 'a'))},
                      BadStream{"type changes within a message",
                                packet(kSqlBatch, 0, "a") + packet(kRpc, kEndOfMessage, "b")}));

struct DecimalCase {
    std::string text;
    int scale;
    bool ok;
    std::string scaled;  // magnitude with sign
};

class DecimalTest : public ::testing::TestWithParam<DecimalCase> {};

TEST_P(DecimalTest, ScalesAndRounds) {
    const DecimalCase& c = GetParam();
    bool negative = false;
    unsigned __int128 m = 0;
    ASSERT_EQ(scaledDecimal(c.text, c.scale, negative, m), c.ok) << c.text;
    if (c.ok) {
        EXPECT_EQ(decimalText(negative, m, 0), c.scaled) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, DecimalTest,
    ::testing::Values(DecimalCase{"12.345", 2, true, "1235"}, DecimalCase{"12.344", 2, true, "1234"},
                      DecimalCase{"-7", 3, true, "-7000"}, DecimalCase{"-0.004", 2, true, "0"},
                      DecimalCase{"1e3", 1, true, "10000"}, DecimalCase{".5", 0, true, "1"},
                      DecimalCase{"abc", 0, false, ""}, DecimalCase{"1.2.3", 0, false, ""},
                      DecimalCase{std::string(39, '9'), 0, false, ""}));

TEST(ValueTextTest, DecimalTextPlacesThePoint) {
    EXPECT_EQ(decimalText(true, 5, 3), "-0.005");
    EXPECT_EQ(decimalText(false, 123456, 2), "1234.56");
}

TEST(ValueTextTest, DateTimesCountDaysFrom1900) {
    int days = -1, ms = -1;
    ASSERT_TRUE(parseDateTimeText("1900-01-01 00:00:00.000", days, ms));
    EXPECT_EQ(days, 0);
    EXPECT_EQ(ms, 0);
    ASSERT_TRUE(parseDateTimeText("1753-01-01", days, ms));
    EXPECT_EQ(days, -53690);
    for (std::string text :
         {"2024-02-29 23:59:58.997", "1999-12-31 12:00:00.500", "1753-01-01 00:00:00.000"}) {
        ASSERT_TRUE(parseDateTimeText(text, days, ms));
        EXPECT_EQ(dateTimeText(days, ms), text);
    }
    EXPECT_FALSE(parseDateTimeText("not a date", days, ms));
}

TEST(ValueTextTest, GuidsKeepTheirMixedByteOrder) {
    std::string text = "6F9619FF-8B86-D011-B42D-00C04FC964FF";
    std::string bytes = guidBytes(text);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(bytes[4]), 0x86);
    EXPECT_EQ(static_cast<unsigned char>(bytes[8]), 0xB4);
    EXPECT_EQ(guidText(bytes), text);
}

TEST(TextTest, Ucs2RoundTripsChineseAndSurrogates) {
    std::string text = "考试系统 \xF0\x9F\x98\x80";
    EXPECT_EQ(utf8ToUtf16(text).size(), 2u * 7);
    EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(text)), text);
    EXPECT_EQ(utf8ToCp936("考试"), "\xBF\xBC\xCA\xD4");
}

// A SQL batch message with its ALL_HEADERS.
std::string batch(const std::string& sql) {
    Writer w;
    w.u32(22);
    w.u32(18);
    w.u16(2);  // transaction descriptor
    w.u64(0);
    w.u32(1);
    w.raw(utf8ToUtf16(sql));
    return w.bytes;
}

// The start of an RPC message calling sp_executesql by number.
Writer executeSqlStart() {
    Writer w;
    w.raw(batch("").substr(0, 22));
    w.u16(0xFFFF);
    w.u16(kSpExecuteSql);
    w.u16(0);
    return w;
}

// An nvarchar parameter of `maxBytes`; `status` 1 marks an output parameter.
void nvarcharParam(Writer& w, const std::string& name, uint8_t status, uint16_t maxBytes,
                   const std::optional<std::string>& value) {
    w.bVarchar(name);
    w.u8(status);
    w.u8(0xE7);
    w.u16(maxBytes);
    w.raw(kCollation);
    std::string u = value ? utf8ToUtf16(*value) : std::string();
    w.u16(value ? static_cast<uint16_t>(u.size()) : 0xFFFF);
    w.raw(u);
}

// An RPC call as FreeTDS sends it: sp_executesql by number, the
// statement and declarations as nvarchar, then the values.
std::string executeSqlCall() {
    Writer w = executeSqlStart();
    auto nvarchar = [&](const std::string& name, const std::string& value) {
        nvarcharParam(w, name, 0, 8000, value);
    };
    nvarchar("", "SELECT @P1, @P2, @P3");
    nvarchar("", "@P1 int,@P2 nvarchar(10),@P3 decimal(10,2)");
    w.bVarchar("");
    w.u8(0);
    w.u8(0x26);
    w.u8(4);
    w.u8(4);
    w.u32(static_cast<uint32_t>(-5));
    nvarchar("", "考'试");
    w.bVarchar("");
    w.u8(0);
    w.u8(0x6A);
    w.u8(9);
    w.u8(10);
    w.u8(2);
    w.u8(0);  // NULL
    return w.bytes;
}

TEST(RpcTest, ParametersBecomeDeclaredVariables) {
    std::vector<RpcCall> calls = parseRpc(executeSqlCall(), kTds74);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].procName, "sp_executesql");
    ASSERT_EQ(calls[0].params.size(), 5u);
    EXPECT_EQ(declaredNames(*calls[0].params[1].text), (std::vector<std::string>{"@P1", "@P2", "@P3"}));
    EXPECT_EQ(declareParams(calls[0].params, 2, declaredNames(*calls[0].params[1].text)),
              "DECLARE @P1 int = -5, @P2 nvarchar(4000) = N'考''试', @P3 decimal(10,2);\n");
}

TEST(RpcTest, ATruncatedCallIsAProtocolError) {
    std::string call = executeSqlCall();
    EXPECT_THROW(parseRpc(call.substr(0, call.size() - 3), kTds74), ProtocolError);
}

TEST(BrowserTest, AnswersEnumerationAndItsOwnInstanceOnly) {
    std::string reply = browserReply("\x03", "HOST", "MSSQLSERVER", 1500);
    ASSERT_GE(reply.size(), 3u);
    EXPECT_EQ(reply[0], '\x05');
    std::string data = reply.substr(3);
    EXPECT_EQ(
        static_cast<size_t>(static_cast<unsigned char>(reply[1]) | static_cast<unsigned char>(reply[2]) << 8),
        data.size());
    EXPECT_NE(data.find("ServerName;HOST;InstanceName;MSSQLSERVER;"), std::string::npos);
    EXPECT_NE(data.find(";tcp;1500;;"), std::string::npos);
    EXPECT_FALSE(browserReply(std::string("\x04mssqlserver\0", 13), "HOST", "MSSQLSERVER", 1).empty());
    EXPECT_TRUE(browserReply(std::string("\x04OTHER\0", 7), "HOST", "MSSQLSERVER", 1).empty());
    EXPECT_TRUE(browserReply("\x0A", "HOST", "MSSQLSERVER", 1).empty());
}

// A LOGIN7 message for TDS 7.4.
std::string login7(const std::string& user, const std::string& password, const std::string& database = {}) {
    std::vector<std::string> fields = {"client", user, password, "test", "server", "", "lib", "", database};
    Writer w;
    const uint16_t fixed = 94;
    w.u32(0);
    w.u32(kTds74);
    w.u32(8192);
    w.u32(0);
    w.u32(1);
    w.u32(0);
    w.u8(0xE0);
    w.u8(0x03);
    w.u8(0);
    w.u8(0);
    w.u32(0);
    w.u32(0x0409);
    std::string data;
    for (size_t i = 0; i < fields.size(); ++i) {
        std::string u = utf8ToUtf16(fields[i]);
        if (i == 2) u = scramblePassword(u);
        if (i == 5) {  // extension
            w.u16(0);
            w.u16(0);
            continue;
        }
        w.u16(static_cast<uint16_t>(fixed + data.size()));
        w.u16(static_cast<uint16_t>(u.size() / 2));
        data += u;
    }
    w.raw(std::string(6, '\0'));           // client id
    for (int i = 0; i < 3; ++i) w.u32(0);  // SSPI, attach file, change password
    w.u32(0);
    EXPECT_EQ(w.size(), fixed);
    w.raw(data);
    std::string bytes = w.bytes;
    uint32_t length = static_cast<uint32_t>(bytes.size());
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((length >> (8 * i)) & 0xFF);
    return bytes;
}

// The payload of the reply's packets.
std::string replyPayload(const std::string& reply) {
    std::string payload;
    for (size_t at = 0; at + kHeaderSize <= reply.size();) {
        size_t len = static_cast<size_t>(static_cast<unsigned char>(reply[at + 2]) << 8 |
                                         static_cast<unsigned char>(reply[at + 3]));
        payload += reply.substr(at + kHeaderSize, len - kHeaderSize);
        at += len;
    }
    return payload;
}

// The tokens of a reply, by their first byte, with DONE statuses and counts.
struct Done {
    uint8_t token;
    uint16_t status;
    uint64_t rows;
};

std::vector<Done> dones(const std::string& reply) {
    // DONE tokens close every reply: read them from the end.
    std::string payload = replyPayload(reply);
    std::vector<Done> out;
    size_t size = 13;
    size_t at = payload.size();
    while (at >= size) {
        auto t = static_cast<uint8_t>(payload[at - size]);
        if (t != kDone && t != kDoneProc && t != kDoneInProc) break;
        Reader r(std::string_view(payload).substr(at - size, size));
        r.u8();
        Done d{t, r.u16(), 0};
        r.u16();
        d.rows = r.u64();
        out.insert(out.begin(), d);
        at -= size;
    }
    return out;
}

TEST(ConnectionLoginTest, LogsInAndRunsBatches) {
    t7::test::TempDir dir;
    auto server = Server::open(dir.path());
    server->connect("sa", "")->executeBatch("CREATE DATABASE Exam");
    std::mutex lock;
    Connection conn(*server, lock, "HOST");
    Connection::Reply pre = conn.handle({kPrelogin, std::string("\x01\x00\x06\x00\x01\xFF\x00", 7)});
    EXPECT_FALSE(pre.close);
    Connection::Reply login = conn.handle({kLogin7, login7("sa", "", "Exam")});
    ASSERT_FALSE(login.close) << login.reason;
    EXPECT_TRUE(conn.loggedIn());
    EXPECT_EQ(conn.packetSize(), 8192u);
    EXPECT_NE(login.bytes.find(static_cast<char>(kLoginAck)), std::string::npos);
    EXPECT_NE(login.bytes.find(utf8ToUtf16("Exam")), std::string::npos);

    std::vector<Done> d =
        dones(conn.handle({kSqlBatch, batch("CREATE TABLE t (a int); INSERT INTO t VALUES (1), (2); "
                                            "UPDATE t SET a = a + 1 WHERE a = 2")})
                  .bytes);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].status, kDoneMore | kDoneCount);
    EXPECT_EQ(d[0].rows, 2u);
    EXPECT_EQ(d[1].status, kDoneCount);  // the last says no more follow
    EXPECT_EQ(d[1].rows, 1u);

    std::string rows = conn.handle({kSqlBatch, batch("SELECT a FROM t ORDER BY a")}).bytes;
    // Two ROW tokens of an int: length 4, then the value.
    EXPECT_NE(rows.find(std::string("\xD1\x04\x01\x00\x00\x00\xD1\x04\x03\x00\x00\x00", 12)),
              std::string::npos);
    d = dones(rows);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].rows, 2u);

    Connection::Reply failed = conn.handle({kSqlBatch, batch("SELECT * FROM NoSuchTable")});
    d = dones(failed.bytes);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].status, kDoneError);
    EXPECT_NE(failed.bytes.find(std::string("\xD0\x00\x00\x00", 4)), std::string::npos);  // 208

    // An attention while nothing runs is acknowledged at once.
    d = dones(conn.handle({kAttention, {}}).bytes);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].status, kDoneAttention);
}

TEST(ConnectionLoginTest, AWrongPasswordIs18456State8AndCloses) {
    t7::test::TempDir dir;
    auto server = Server::open(dir.path());
    std::mutex lock;
    Connection conn(*server, lock, "HOST");
    Connection::Reply reply = conn.handle({kLogin7, login7("sa", "wrong")});
    EXPECT_TRUE(reply.close);
    EXPECT_FALSE(conn.loggedIn());
    // ERROR token: number 18456, state 8, severity 14.
    EXPECT_NE(reply.bytes.find(std::string("\x18\x48\x00\x00\x08\x0E", 6)), std::string::npos);
}

TEST(ConnectionLoginTest, RequestsBeforeLoginCloseTheConnection) {
    t7::test::TempDir dir;
    auto server = Server::open(dir.path());
    std::mutex lock;
    Connection conn(*server, lock, "HOST");
    EXPECT_TRUE(conn.handle({kSqlBatch, utf8ToUtf16("SELECT 1")}).close);
}

// A client logged in to database "Exam" with a table t (a int).
class LoggedInTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = Server::open(dir.path());
        server->connect("sa", "")->executeBatch("CREATE DATABASE Exam; USE Exam; CREATE TABLE t (a int)");
        conn = std::make_unique<Connection>(*server, lock, "HOST");
        conn->handle({kPrelogin, std::string("\x01\x00\x06\x00\x01\xFF\x00", 7)});
        ASSERT_TRUE(conn->handle({kLogin7, login7("sa", "", "Exam")}).bytes.size() > 0);
        ASSERT_TRUE(conn->loggedIn());
    }
    std::string request(uint8_t type, const std::string& payload) {
        return replyPayload(conn->handle({type, payload}).bytes);
    }
    // A transaction manager request with its ALL_HEADERS.
    std::string transaction(uint16_t kind, const std::string& rest) {
        Writer w;
        w.raw(batch("").substr(0, 22));
        w.u16(kind);
        w.raw(rest);
        return request(kTransactionManager, w.bytes);
    }
    t7::test::TempDir dir;
    std::unique_ptr<Server> server;
    std::mutex lock;
    std::unique_ptr<Connection> conn;
};

// The transaction descriptors of ENVCHANGE tokens of `type` in a reply.
std::vector<std::string> descriptors(const std::string& payload, uint8_t type) {
    std::vector<std::string> out;
    const std::string head = std::string("\xE3\x0B\x00", 3) + static_cast<char>(type);
    for (size_t at = payload.find(head); at != std::string::npos; at = payload.find(head, at + 1)) {
        bool begin = type == kEnvBeginTransaction;
        // Begin: new value 8 bytes, old value empty; the ends the other way round.
        size_t value = at + 4 + (begin ? 0 : 1);
        if (payload[value] != 8 || payload[begin ? value + 9 : at + 4] != 0) continue;
        out.push_back(payload.substr(value + 1, 8));
    }
    return out;
}

TEST_F(LoggedInTest, TransactionRequestsBeginAndEndWithDescriptors) {
    std::string begun = transaction(5, std::string("\x00\x00", 2));
    ASSERT_EQ(descriptors(begun, kEnvBeginTransaction).size(), 1u);
    std::string first = descriptors(begun, kEnvBeginTransaction)[0];
    EXPECT_NE(first, std::string(8, '\0'));
    request(kSqlBatch, batch("INSERT t VALUES (1)"));
    // Commit, and begin the next at once, as a client without autocommit does.
    std::string committed = transaction(7, std::string("\x00\x01\x00\x00", 4));
    EXPECT_EQ(descriptors(committed, kEnvCommitTransaction), std::vector<std::string>{first});
    ASSERT_EQ(descriptors(committed, kEnvBeginTransaction).size(), 1u);
    std::string second = descriptors(committed, kEnvBeginTransaction)[0];
    EXPECT_NE(second, first);
    EXPECT_LT(committed.find(std::string("\xE3\x0B\x00\x09", 4)),
              committed.find(std::string("\xE3\x0B\x00\x08", 4)));
    request(kSqlBatch, batch("INSERT t VALUES (2)"));
    std::string rolledBack = transaction(8, std::string("\x00\x00", 2));
    EXPECT_EQ(descriptors(rolledBack, kEnvRollbackTransaction), std::vector<std::string>{second});
    EXPECT_TRUE(descriptors(rolledBack, kEnvBeginTransaction).empty());
    EXPECT_EQ(
        *server->connect("sa", "")->executeBatch("USE Exam; SELECT sum(a) FROM t").resultSets[0].rows[0][0],
        "1");
    // A batch that begins a transaction announces it too; a failing
    // statement in it is undone alone, and the transaction lasts until the
    // client ends it.
    std::string failed = request(kSqlBatch, batch("BEGIN TRAN; INSERT t VALUES (3); INSERT t VALUES ('x')"));
    ASSERT_EQ(descriptors(failed, kEnvBeginTransaction).size(), 1u);
    EXPECT_TRUE(descriptors(failed, kEnvRollbackTransaction).empty());
    std::string ended = request(kSqlBatch, batch("ROLLBACK"));
    EXPECT_EQ(descriptors(ended, kEnvRollbackTransaction), descriptors(failed, kEnvBeginTransaction));
    EXPECT_NE(
        request(kSqlBatch, batch("SELECT @@TRANCOUNT")).find(std::string("\xD1\x04\x00\x00\x00\x00", 6)),
        std::string::npos);
}

// sp_executesql with OUTPUT parameters: @n int = 21 and @s nvarchar(10) NULL.
std::string outputCall() {
    Writer w = executeSqlStart();
    auto nvarchar = [&](const std::string& name, uint8_t status, const std::optional<std::string>& value) {
        nvarcharParam(w, name, status, 20, value);
    };
    nvarchar("", 0, "SET @n = @n * 2; SET @s = N'考试'");
    nvarchar("", 0, "@n int OUTPUT, @s nvarchar(10) OUTPUT");
    w.bVarchar("@n");
    w.u8(1);
    w.u8(0x26);
    w.u8(4);
    w.u8(4);
    w.u32(21);
    nvarchar("@s", 1, std::nullopt);
    return w.bytes;
}

TEST_F(LoggedInTest, OutputParametersComeBackAsReturnValues) {
    std::string reply = request(kRpc, outputCall());
    Writer n;
    n.u8(kReturnValue);
    n.u16(2);
    n.bVarchar("@n");
    n.raw(std::string("\x01\x00\x00\x00\x00\x01\x00\x26\x04\x04\x2A\x00\x00\x00", 14));
    EXPECT_NE(reply.find(n.bytes), std::string::npos);
    Writer s;
    s.u8(kReturnValue);
    s.u16(3);
    s.bVarchar("@s");
    s.raw(std::string("\x01\x00\x00\x00\x00\x01\x00\xE7\x14\x00", 10));
    s.raw(kCollation);
    s.u16(4);
    s.raw(utf8ToUtf16("考试"));
    EXPECT_NE(reply.find(s.bytes), std::string::npos);
    // The return status comes first, the DONEPROC last.
    EXPECT_LT(reply.find(static_cast<char>(kReturnStatus)), reply.find(n.bytes));
    EXPECT_EQ(static_cast<uint8_t>(reply[reply.size() - 13]), kDoneProc);
}

}  // namespace
}  // namespace sqlengine::tds
