#pragma once
// The tokens of a server's reply: login acknowledgement, environment
// changes, messages, result sets with their column types and values, and
// the DONE family. Values come from the engine in their text form and go
// out in the binary form of the column's TDS type.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sqlengine/Engine.h"
#include "sqlengine/tds/Wire.h"

namespace sqlengine::tds {

// TDS versions as LOGIN7 and LOGINACK carry them.
constexpr uint32_t kTds71 = 0x71000001;
constexpr uint32_t kTds72 = 0x72090002;
constexpr uint32_t kTds73A = 0x730A0003;
constexpr uint32_t kTds73B = 0x730B0003;
constexpr uint32_t kTds74 = 0x74000004;

enum Token : uint8_t {
    kColMetadata = 0x81,
    kReturnStatus = 0x79,
    kError = 0xAA,
    kInfo = 0xAB,
    kReturnValue = 0xAC,
    kLoginAck = 0xAD,
    kRow = 0xD1,
    kNbcRow = 0xD2,
    kEnvChange = 0xE3,
    kDone = 0xFD,
    kDoneProc = 0xFE,
    kDoneInProc = 0xFF,
};

enum DoneStatus : uint16_t {
    kDoneFinal = 0x00,
    kDoneMore = 0x01,
    kDoneError = 0x02,
    kDoneCount = 0x10,
    kDoneAttention = 0x20,
};

enum EnvChangeType : uint8_t {
    kEnvDatabase = 1,
    kEnvLanguage = 2,
    kEnvPacketSize = 4,
    kEnvCollation = 7,
    kEnvBeginTransaction = 8,
    kEnvCommitTransaction = 9,
    kEnvRollbackTransaction = 10,
};

// Chinese_PRC_CI_AS: LCID 0x0804 (code page 936), case-, kana- and
// width-insensitive.
extern const std::string kCollation;

// How a column travels: its TDS type and the form of its values.
struct WireType {
    enum class Form { Int, Bit, Float, Decimal, Money, DateTime, SmallDateTime, Char, NChar, Binary, Guid };
    uint8_t type = 0;
    Form form = Form::NChar;
    uint32_t size = 0;  // the fixed or maximum length in bytes
    uint8_t precision = 0, scale = 0;
    bool plp = false;   // varchar(max) and the like, TDS 7.2 on
    bool text = false;  // text, ntext and image with their text pointer
};
WireType wireType(const ColumnType& column, uint32_t tdsVersion);

class TokenWriter {
public:
    explicit TokenWriter(uint32_t tdsVersion) : m_version(tdsVersion) {}
    Writer out;

    void loginAck(const std::string& progName, uint32_t progVersion);
    void envChange(EnvChangeType type, const std::string& now, const std::string& before);
    void collationChange();
    // A transaction began (its 8-byte descriptor is the new value) or ended
    // (the descriptor is the old value); TDS 7.2 on.
    void transactionChange(EnvChangeType type, uint64_t descriptor);
    void message(bool error, int number, int state, int severity, const std::string& text,
                 const std::string& server, const std::string& proc = {}, int line = 1);
    void done(Token token, uint16_t status, uint16_t command, long long rows);
    void resultSet(const ResultSet& rs);
    void returnStatus(int32_t value);
    void returnValueInt(uint16_t ordinal, const std::string& name, int32_t value);
    // An output parameter's value, as a column of `type` would carry it.
    void returnValue(uint16_t ordinal, const std::string& name, const ColumnType& type,
                     const std::optional<std::string>& text);
    uint32_t version() const { return m_version; }

private:
    uint32_t m_version;
    void typeInfo(const WireType& t);
    void value(const WireType& t, const std::optional<std::string>& text);
    bool is72() const { return m_version >= kTds72; }
};

// Value conversions shared with the RPC parameters: the engine's text forms
// and their binary forms.
bool parseDateTimeText(const std::string& text, int& days, int& ms);
std::string dateTimeText(int days, long long msOfDay);
// Decimal text as a sign and magnitude scaled by 10^scale; false when it is
// not a number or does not fit 38 digits.
bool scaledDecimal(const std::string& text, int scale, bool& negative, unsigned __int128& magnitude);
std::string decimalText(bool negative, unsigned __int128 magnitude, int scale);
std::string guidBytes(const std::string& text);
std::string guidText(std::string_view bytes);

}  // namespace sqlengine::tds
