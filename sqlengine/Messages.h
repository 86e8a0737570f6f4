#pragma once
// The server's messages: SQL Server's number, severity and text template for
// every error the engine raises, in one table sorted by number.
//
// A template takes its arguments in order; each placeholder is `%ls` or
// `%.*ls` (text) or `%d` (a whole number), as SQL Server writes them. A
// template has no other '%'. sqlError<Msg::X>(args...) checks the count and
// the kinds of its arguments when it is compiled.
//
// A number may carry more than one text where the engine words a case of it
// its own way; such entries sit together and share their severity.
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "sqlengine/Engine.h"

namespace sqlengine {

enum class Msg {
    ServerNotFound,
    SyntaxErrorNear,
    SyntaxErrorNearKeyword,
    SyntaxError,
    UnclosedQuote,
    TooManyTables,
    MoreColumnsThanValues,
    FewerColumnsThanValues,
    ModuleNotFirstInBatch,
    MissingEndComment,
    TooManyPrefixes,
    InsertSelectListTooLong,
    VariableAlreadyDeclared,
    UndeclaredVariable,
    AssignmentWithRetrieval,
    UnknownDatepartOption,
    DatepartNameRequired,
    WrongArgumentCount,
    NestedTooDeeply,
    UnknownBuiltinFunction,
    ParameterNotSupplied,
    InvalidColumnName,
    InvalidObjectName,
    AmbiguousColumnName,
    ParameterOfWrongType,
    NestingLevelExceeded,
    NotInMultiStatementTransaction,
    ObjectPermissionDenied,
    DateConversionFailed,
    UndefinedSystemType,
    ConversionFailed,
    StatementPermissionDenied,
    ColumnSpecifiedTwice,
    TransactionCountMismatch,
    NullNotAllowed,
    DatetimeOverflow,
    ExplicitConversionNotAllowed,
    InvalidLengthParameter,
    InvalidSubstringLength,
    IdentityInsertOff,
    IdentityValueRequired,
    ConstraintConflict,
    DatabaseNotFound,
    DatabaseAccessDenied,
    DatabaseCannotBeOpened,
    NumberOutOfRange,
    ObjectNotFoundOrDenied,
    LockTimeout,
    DuplicateKeyForUniqueIndex,
    InvalidDefaultColumn,
    ForeignKeyInvalidTable,
    ForeignKeyInvalidColumn,
    NoCandidateKey,
    PrimaryKeyExists,
    DefaultAlreadyBound,
    DatabaseExists,
    SecondClusteredIndex,
    IndexColumnNotFound,
    IndexExists,
    DuplicateKeyRow,
    ConstraintViolation,
    DuplicateKey,
    DuplicateColumnName,
    ObjectExists,
    UnknownDataType,
    TooManyIdentityColumns,
    InvalidIdentityType,
    SchemaNotFound,
    ProcedureNotFound,
    QueryCanceled,
    CannotDropMissing,
    DatabaseInUse,
    IndexUsedByConstraint,
    ConstraintReferenced,
    TableReferenced,
    NotAConstraint,
    CommitWithoutBegin,
    RollbackWithoutBegin,
    DatabaseUnavailableAtLogin,
    DefaultDatabaseUnavailable,
    ColumnOrFunctionNotFound,
    ViewHasAggregates,
    ViewNotUpdatable,
    ViewAffectsMultipleTables,
    ViewHasDerivedField,
    ViewHasUnion,
    TruncateReferencedTable,
    ColumnNeedsNullOrDefault,
    ObjectNotFoundForAlter,
    ConstraintNotFound,
    AlterColumnNotFound,
    ObjectDependsOnColumn,
    FileActivationError,
    CreateFileOsError,
    CreateFileError,
    CreateMasterError,
    FileExists,
    DatabaseContextChanged,
    LanguageChanged,
    UnknownRpcDataType,
    IdentityNeedsColumnList,
    IdentityNotUpdatable,
    NoIdentityProperty,
    IdentityInsertAlreadyOn,
    MultiplePrimaryKeys,
    NullablePrimaryKeyColumn,
    ConversionError,
    ArithmeticOverflow,
    DivideByZero,
    ForeignKeyColumnCount,
    TooManyArguments,
    TooManyArgumentsUnnamed,
    TooFewArguments,
    NotAParameter,
    StringTruncated,
    UniqueidentifierConversion,
    PreparedStatementNotFound,
    InvalidObjectForOperation,
    DistributedTransaction,
    InvalidLogin,
    DefaultDatabaseMissing,
    RoleNotFound,
    PrincipalExistsInDatabase,
    ServerPrincipalExists,
    LoginAlreadyMapped,
    PasswordTooWeak,
    PrincipalNotFound,
    NoPermission,
    ReservedPrincipal,
    SpecialPrincipal,
    UserOrRoleNotFound,
    UnknownFixedRole,
    LoginInUse,
    MasterMissing,
    UntrustedDomain,
    LoginFailed,
    LoginFailedOldTds,
    TemporaryTables,
    UserFunctionNotRunnable,
    ExplicitTransactions,
    UseInTransaction,
    ExecuteSqlParameters,
    SavepointsUnsupported,
    EngineError,
};

struct MessageDef {
    Msg id;
    int number;
    int severity;
    std::string_view text;
};

// Sorted by number; the entry of Msg::X is kMessages[X].
inline constexpr MessageDef kMessages[] = {
    {Msg::ServerNotFound, 17, 16, "SQL Server does not exist or access denied."},
    {Msg::SyntaxErrorNear, 102, 15, "Incorrect syntax near '%.*ls'."},
    {Msg::SyntaxErrorNearKeyword, 102, 15, "Incorrect syntax near the keyword '%.*ls'."},
    {Msg::SyntaxError, 102, 15, "Incorrect syntax."},
    {Msg::UnclosedQuote, 105, 15, "Unclosed quotation mark after the character string '%.*ls'."},
    {Msg::TooManyTables, 106, 16, "Too many table names in the query. The maximum allowable is %d."},
    {Msg::MoreColumnsThanValues, 109, 15,
     "There are more columns in the INSERT statement than values specified in the VALUES clause. The number "
     "of values in the VALUES clause must match the number of columns specified in the INSERT statement."},
    {Msg::FewerColumnsThanValues, 110, 15,
     "There are fewer columns in the INSERT statement than values specified in the VALUES clause. The number "
     "of values in the VALUES clause must match the number of columns specified in the INSERT statement."},
    {Msg::ModuleNotFirstInBatch, 111, 15, "'%ls' must be the first statement in a query batch."},
    {Msg::MissingEndComment, 113, 15, "Missing end comment mark '*/'."},
    {Msg::TooManyPrefixes, 117, 15,
     "The object name '%.*ls' contains more than the maximum number of prefixes."},
    {Msg::InsertSelectListTooLong, 121, 15,
     "The select list for the INSERT statement contains more items than the insert list. The number of "
     "SELECT "
     "values must match the number of INSERT columns."},
    {Msg::VariableAlreadyDeclared, 134, 15,
     "The variable name '%.*ls' has already been declared. Variable names must be unique within a query "
     "batch "
     "or stored procedure."},
    {Msg::UndeclaredVariable, 137, 15, "Must declare the scalar variable \"%.*ls\"."},
    {Msg::AssignmentWithRetrieval, 141, 15,
     "A SELECT statement that assigns a value to a variable must not be combined with data-retrieval "
     "operations."},
    {Msg::UnknownDatepartOption, 155, 15, "'%.*ls' is not a recognized %ls option."},
    {Msg::DatepartNameRequired, 155, 15, "'%.*ls' requires a date part name."},
    {Msg::WrongArgumentCount, 174, 15, "The %.*ls function requires %d argument(s)."},
    {Msg::NestedTooDeeply, 191, 15,
     "Some part of your SQL statement is nested too deeply. Rewrite the query or break it up into smaller "
     "queries."},
    {Msg::UnknownBuiltinFunction, 195, 15, "'%.*ls' is not a recognized built-in function name."},
    {Msg::ParameterNotSupplied, 201, 16,
     "Procedure or function '%.*ls' expects parameter '%.*ls', which was not supplied."},
    {Msg::InvalidColumnName, 207, 16, "Invalid column name '%.*ls'."},
    {Msg::InvalidObjectName, 208, 16, "Invalid object name '%.*ls'."},
    {Msg::AmbiguousColumnName, 209, 16, "Ambiguous column name '%.*ls'."},
    {Msg::ParameterOfWrongType, 214, 16, "Procedure expects parameter '%ls' of type '%ls'."},
    {Msg::NestingLevelExceeded, 217, 16,
     "Maximum stored procedure, function, trigger, or view nesting level exceeded (limit %d)."},
    {Msg::NotInMultiStatementTransaction, 226, 16,
     "%ls statement not allowed within multi-statement transaction."},
    {Msg::ObjectPermissionDenied, 229, 14,
     "The %ls permission was denied on the object '%.*ls', database '%.*ls', schema '%.*ls'."},
    {Msg::DateConversionFailed, 241, 16,
     "Conversion failed when converting date and/or time from character string."},
    {Msg::UndefinedSystemType, 243, 16, "Type %.*ls is not a defined system type."},
    {Msg::ConversionFailed, 245, 16,
     "Conversion failed when converting the %ls value '%.*ls' to data type %ls."},
    {Msg::StatementPermissionDenied, 262, 14, "%ls permission denied in database '%.*ls'."},
    {Msg::ColumnSpecifiedTwice, 264, 16,
     "The column name '%.*ls' is specified more than once in the SET clause or column list of an INSERT. A "
     "column cannot be assigned more than one value in the same clause. Modify the clause to make sure that "
     "a "
     "column is updated only once. If this statement updates or inserts columns into a view, column aliasing "
     "can conceal the duplication in your code."},
    {Msg::TransactionCountMismatch, 266, 16,
     "Transaction count after the batch indicates a missing COMMIT or ROLLBACK TRANSACTION statement; the "
     "open "
     "transaction was rolled back."},
    {Msg::NullNotAllowed, 515, 16,
     "Cannot insert the value NULL into column '%.*ls', table '%.*ls'; column does not allow nulls. %ls "
     "fails."},
    {Msg::DatetimeOverflow, 517, 16, "Adding a value to a '%ls' column caused an overflow."},
    {Msg::ExplicitConversionNotAllowed, 529, 16,
     "Explicit conversion from data type %ls to %ls is not allowed."},
    {Msg::InvalidLengthParameter, 536, 16, "Invalid length parameter passed to the %ls function."},
    {Msg::InvalidSubstringLength, 537, 16, "Invalid length parameter passed to the %ls function."},
    {Msg::IdentityInsertOff, 544, 16,
     "Cannot insert explicit value for identity column in table '%.*ls' when IDENTITY_INSERT is set to OFF."},
    {Msg::IdentityValueRequired, 545, 16,
     "Explicit value must be specified for identity column in table '%.*ls' either when IDENTITY_INSERT is "
     "set "
     "to ON or when a replication user is inserting into a NOT FOR REPLICATION identity column."},
    {Msg::ConstraintConflict, 547, 16,
     "The %ls statement conflicted with the %ls constraint \"%.*ls\". The conflict occurred in database "
     "\"%.*ls\", table \"%.*ls\"%ls."},
    {Msg::DatabaseNotFound, 911, 16,
     "Database '%.*ls' does not exist. Make sure that the name is entered correctly."},
    {Msg::DatabaseAccessDenied, 916, 14,
     "The server principal \"%.*ls\" is not able to access the database \"%.*ls\" under the current security "
     "context."},
    {Msg::DatabaseCannotBeOpened, 945, 14,
     "Database '%.*ls' cannot be opened due to inaccessible files or insufficient memory or disk space.  See "
     "the SQL Server errorlog for details."},
    {Msg::NumberOutOfRange, 1007, 15,
     "The number '%.*ls' is out of the range for numeric representation (maximum precision 38)."},
    {Msg::ObjectNotFoundOrDenied, 1088, 16,
     "Cannot find the object \"%.*ls\" because it does not exist or you do not have permissions."},
    {Msg::LockTimeout, 1222, 16, "Lock request time out period exceeded."},
    {Msg::DuplicateKeyForUniqueIndex, 1505, 16,
     "The CREATE UNIQUE INDEX statement terminated because a duplicate key was found for the object name "
     "'%.*ls' and the index name '%.*ls'."},
    {Msg::InvalidDefaultColumn, 1752, 16,
     "Column '%.*ls' in table '%.*ls' is invalid for creating a default constraint."},
    {Msg::ForeignKeyInvalidTable, 1767, 16, "Foreign key '%.*ls' references invalid table '%.*ls'."},
    {Msg::ForeignKeyInvalidColumn, 1769, 16,
     "Foreign key '%.*ls' references invalid column '%.*ls' in referencing table '%.*ls'."},
    {Msg::NoCandidateKey, 1776, 16,
     "There are no primary or candidate keys in the referenced table '%.*ls' that match the referencing "
     "column "
     "list in the foreign key '%.*ls'."},
    {Msg::PrimaryKeyExists, 1779, 16, "Table '%.*ls' already has a primary key defined on it."},
    {Msg::DefaultAlreadyBound, 1781, 16, "Column already has a DEFAULT bound to it."},
    {Msg::DatabaseExists, 1801, 16, "Database '%.*ls' already exists. Choose a different database name."},
    {Msg::SecondClusteredIndex, 1902, 16,
     "Cannot create more than one clustered index on table '%.*ls'. Drop the existing clustered index "
     "'%.*ls' "
     "before creating another."},
    {Msg::IndexColumnNotFound, 1911, 16, "Column name '%.*ls' does not exist in the target table or view."},
    {Msg::IndexExists, 1913, 16,
     "The operation failed because an index or statistics with name '%.*ls' already exists on table "
     "'%.*ls'."},
    {Msg::DuplicateKeyRow, 2601, 14,
     "Cannot insert duplicate key row in object '%.*ls' with unique index '%.*ls'."},
    {Msg::ConstraintViolation, 2627, 14,
     "Violation of %ls constraint '%.*ls'. Cannot insert duplicate key in object '%.*ls'."},
    {Msg::DuplicateKey, 2627, 14, "Cannot insert duplicate key in object '%.*ls'."},
    {Msg::DuplicateColumnName, 2705, 16,
     "Column names in each table must be unique. Column name '%.*ls' in table '%.*ls' is specified more than "
     "once."},
    {Msg::ObjectExists, 2714, 16, "There is already an object named '%.*ls' in the database."},
    {Msg::UnknownDataType, 2715, 16, "Column, parameter, or variable #%d: Cannot find data type %.*ls."},
    {Msg::TooManyIdentityColumns, 2744, 16,
     "Multiple identity columns specified for table '%.*ls'. Only one identity column per table is allowed."},
    {Msg::InvalidIdentityType, 2749, 16,
     "Identity column '%.*ls' must be of data type int, bigint, smallint, tinyint, or decimal or numeric "
     "with a "
     "scale of 0, and constrained to be nonnullable."},
    {Msg::SchemaNotFound, 2760, 16,
     "The specified schema name \"%.*ls\" either does not exist or you do not have permission to use it."},
    {Msg::ProcedureNotFound, 2812, 16, "Could not find stored procedure '%.*ls'."},
    {Msg::QueryCanceled, 3617, 16, "The query was canceled."},
    {Msg::CannotDropMissing, 3701, 11,
     "Cannot %ls the %ls '%.*ls', because it does not exist or you do not have permission."},
    {Msg::DatabaseInUse, 3702, 16, "Cannot drop database \"%.*ls\" because it is currently in use."},
    {Msg::IndexUsedByConstraint, 3723, 16,
     "An explicit DROP INDEX is not allowed on index '%.*ls'. It is being used for %ls constraint "
     "enforcement."},
    {Msg::ConstraintReferenced, 3725, 16,
     "The constraint '%.*ls' is being referenced by table '%.*ls', foreign key constraint '%.*ls'."},
    {Msg::TableReferenced, 3726, 16,
     "Could not drop object '%.*ls' because it is referenced by a FOREIGN KEY constraint."},
    {Msg::NotAConstraint, 3728, 16, "'%.*ls' is not a constraint."},
    {Msg::CommitWithoutBegin, 3902, 16,
     "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION."},
    {Msg::RollbackWithoutBegin, 3903, 16,
     "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION."},
    {Msg::DatabaseUnavailableAtLogin, 4060, 11,
     "Cannot open database \"%.*ls\" requested by the login. The login failed."},
    {Msg::DefaultDatabaseUnavailable, 4064, 11, "Cannot open user default database. Login failed."},
    {Msg::ColumnOrFunctionNotFound, 4121, 16,
     "Cannot find either column \"%.*ls\" or the user-defined function or aggregate \"%.*ls\", or the name "
     "is "
     "ambiguous."},
    {Msg::ViewHasAggregates, 4403, 16,
     "Cannot update the view or function '%.*ls' because it contains aggregates, or a DISTINCT or GROUP BY "
     "clause, or PIVOT or UNPIVOT operator."},
    {Msg::ViewNotUpdatable, 4405, 16, "View or function '%.*ls' is not updatable."},
    {Msg::ViewAffectsMultipleTables, 4405, 16,
     "View or function '%.*ls' is not updatable because the modification affects multiple base tables."},
    {Msg::ViewHasDerivedField, 4406, 16,
     "Update or insert of view or function '%.*ls' failed because it contains a derived or constant field."},
    {Msg::ViewHasUnion, 4426, 16,
     "View '%.*ls' is not updatable because the definition contains a UNION operator."},
    {Msg::TruncateReferencedTable, 4712, 16,
     "Cannot truncate table '%.*ls' because it is being referenced by a FOREIGN KEY constraint."},
    {Msg::ColumnNeedsNullOrDefault, 4901, 16,
     "ALTER TABLE only allows columns to be added that can contain nulls, or have a DEFAULT definition "
     "specified, or the column being added is an identity or timestamp column, or alternatively if none of "
     "the "
     "previous conditions are satisfied the table must be empty to allow addition of this column. Column "
     "'%.*ls' cannot be added to non-empty table '%.*ls' because it does not satisfy these conditions."},
    {Msg::ObjectNotFoundForAlter, 4902, 16,
     "Cannot find the object \"%.*ls\" because it does not exist or you do not have permissions."},
    {Msg::ConstraintNotFound, 4917, 16, "Constraint '%.*ls' does not exist."},
    {Msg::AlterColumnNotFound, 4924, 16,
     "ALTER TABLE %ls failed because column '%.*ls' does not exist in table '%.*ls'."},
    {Msg::ObjectDependsOnColumn, 5074, 16, "The object '%.*ls' is dependent on column '%.*ls'."},
    {Msg::FileActivationError, 5105, 16,
     "A file activation error occurred. The physical file name '%.*ls' may be incorrect. Diagnose and "
     "correct "
     "additional errors, and retry the operation."},
    {Msg::CreateFileOsError, 5123, 16,
     "CREATE FILE encountered operating system error %ls while attempting to open or create the physical "
     "file "
     "'%.*ls'."},
    {Msg::CreateFileError, 5123, 16,
     "CREATE FILE encountered an error while attempting to open or create the physical file '%.*ls'."},
    {Msg::CreateMasterError, 5123, 16,
     "CREATE FILE encountered an error while creating the master catalog: %ls"},
    {Msg::FileExists, 5170, 16,
     "Cannot create file '%.*ls' because it already exists. Change the file path or the file name, and retry "
     "the operation."},
    {Msg::DatabaseContextChanged, 5701, 0, "Changed database context to '%.*ls'."},
    {Msg::LanguageChanged, 5703, 0, "Changed language setting to %.*ls."},
    {Msg::UnknownRpcDataType, 8016, 16,
     "The incoming tabular data stream (TDS) remote procedure call (RPC) protocol stream is incorrect. Data "
     "type 0x%ls is unknown."},
    {Msg::IdentityNeedsColumnList, 8101, 16,
     "An explicit value for the identity column in table '%.*ls' can only be specified when a column list is "
     "used and IDENTITY_INSERT is ON."},
    {Msg::IdentityNotUpdatable, 8102, 16, "Cannot update identity column '%.*ls'."},
    {Msg::NoIdentityProperty, 8106, 16,
     "Table '%.*ls' does not have the identity property. Cannot perform SET operation."},
    {Msg::IdentityInsertAlreadyOn, 8107, 16,
     "IDENTITY_INSERT is already ON for table '%.*ls'. Cannot perform SET operation for table '%.*ls'."},
    {Msg::MultiplePrimaryKeys, 8110, 16, "Cannot add multiple PRIMARY KEY constraints to table '%.*ls'."},
    {Msg::NullablePrimaryKeyColumn, 8111, 16,
     "Cannot define PRIMARY KEY constraint on nullable column in table '%.*ls'."},
    {Msg::ConversionError, 8114, 16, "Error converting data type %ls to %ls."},
    {Msg::ArithmeticOverflow, 8115, 16, "Arithmetic overflow error converting %ls to data type %ls."},
    {Msg::DivideByZero, 8134, 16, "Divide by zero error encountered."},
    {Msg::ForeignKeyColumnCount, 8139, 16,
     "Number of referencing columns in foreign key differs from number of referenced columns, table "
     "'%.*ls'."},
    {Msg::TooManyArguments, 8144, 16, "Procedure or function %.*ls has too many arguments specified."},
    {Msg::TooManyArgumentsUnnamed, 8144, 16, "Procedure or function has too many arguments specified."},
    {Msg::TooFewArguments, 8144, 16, "Procedure or function %.*ls has too few arguments specified."},
    {Msg::NotAParameter, 8145, 16, "%.*ls is not a parameter for procedure %.*ls."},
    {Msg::StringTruncated, 8152, 16, "String or binary data would be truncated."},
    {Msg::UniqueidentifierConversion, 8169, 16,
     "Conversion failed when converting from a character string to uniqueidentifier."},
    {Msg::PreparedStatementNotFound, 8179, 16, "Could not find prepared statement with handle %ls."},
    {Msg::InvalidObjectForOperation, 8197, 16,
     "The object '%.*ls' does not exist or is invalid for this operation."},
    {Msg::DistributedTransaction, 8524, 16, "Distributed transactions are not supported by this server."},
    {Msg::InvalidLogin, 15007, 16, "'%ls' is not a valid login or you do not have permission."},
    {Msg::DefaultDatabaseMissing, 15010, 16,
     "The database '%ls' does not exist. Supply a valid database name. To see available databases, use "
     "sys.databases."},
    {Msg::RoleNotFound, 15014, 16, "The role '%ls' does not exist in the current database."},
    {Msg::PrincipalExistsInDatabase, 15023, 16,
     "User, group, or role '%ls' already exists in the current database."},
    {Msg::ServerPrincipalExists, 15025, 16, "The server principal '%.*ls' already exists."},
    {Msg::LoginAlreadyMapped, 15063, 16, "The login already has an account under a different user name."},
    {Msg::PasswordTooWeak, 15118, 14,
     "Password validation failed. The password does not meet Windows policy requirements because it is not "
     "complex enough."},
    {Msg::PrincipalNotFound, 15151, 16,
     "Cannot %ls the %ls '%.*ls', because it does not exist or you do not have permission."},
    {Msg::NoPermission, 15247, 16, "User does not have permission to perform this action."},
    {Msg::ReservedPrincipal, 15405, 16, "Cannot use the reserved user or role name '%ls'."},
    {Msg::SpecialPrincipal, 15405, 16, "Cannot use the special principal '%ls'."},
    {Msg::UserOrRoleNotFound, 15410, 16, "User or role '%ls' does not exist in this database."},
    {Msg::UnknownFixedRole, 15412, 16, "'%ls' is not a known fixed role."},
    {Msg::LoginInUse, 15434, 16, "Could not drop login '%ls' as the user is currently logged in."},
    {Msg::MasterMissing, 17113, 16,
     "Error 2(The system cannot find the file specified.) occurred while opening file '%ls' to obtain "
     "configuration information at startup. The database files in '%ls' are kept; restore the master "
     "catalog, "
     "or move them away to start afresh."},
    {Msg::UntrustedDomain, 18452, 14,
     "Login failed. The login is from an untrusted domain and cannot be used with Windows authentication."},
    {Msg::LoginFailed, 18456, 14, "Login failed for user '%.*ls'."},
    {Msg::LoginFailedOldTds, 18456, 14,
     "Login failed for user '%.*ls'. The client's TDS version is older than 7.1, which this server does not "
     "speak."},
    {Msg::TemporaryTables, 50000, 16, "Temporary tables are not supported by this server."},
    {Msg::UserFunctionNotRunnable, 50000, 16, "User-defined function '%.*ls' cannot be run by this server."},
    {Msg::ExplicitTransactions, 50000, 16,
     "Explicit transactions are not supported by this server; each statement is atomic."},
    {Msg::UseInTransaction, 50000, 16, "USE cannot switch databases inside a transaction on this server."},
    {Msg::ExecuteSqlParameters, 50000, 16, "sp_executesql with parameters is not supported by this server."},
    {Msg::SavepointsUnsupported, 50000, 16, "Savepoints are not supported by this server."},
    {Msg::EngineError, 50000, 16, "%ls"},
};

inline constexpr size_t kMessageCount = sizeof(kMessages) / sizeof(kMessages[0]);

constexpr const MessageDef& message(Msg m) {
    return kMessages[static_cast<size_t>(m)];
}

// The first entry with this number, or nullptr.
const MessageDef* findMessage(int number);

// The severity a client is told for this number: the catalogue's, else 16
// (0 for number 0, an informational message).
int severityOf(int number);

namespace messages {

// A placeholder's kind; Bad for a '%' that starts none.
enum class Arg { Text, Number, Bad };

// Reads the placeholder at text[at] (a '%'); sets `length` to its size.
constexpr Arg placeholder(std::string_view text, size_t at, size_t& length) {
    std::string_view rest = text.substr(at);
    for (std::string_view p : {std::string_view("%.*ls"), std::string_view("%ls")})
        if (rest.substr(0, p.size()) == p) {
            length = p.size();
            return Arg::Text;
        }
    if (rest.substr(0, 2) == "%d") {
        length = 2;
        return Arg::Number;
    }
    length = 1;
    return Arg::Bad;
}

// The kinds of a template's placeholders, in order; count() is -1 when one
// is malformed.
struct Signature {
    int count = 0;
    Arg kinds[8] = {};
};

constexpr Signature signature(std::string_view text) {
    Signature s;
    for (size_t i = 0; i < text.size();) {
        if (text[i] != '%') {
            ++i;
            continue;
        }
        size_t length = 0;
        Arg a = placeholder(text, i, length);
        if (a == Arg::Bad || s.count == 8) return Signature{-1, {}};
        s.kinds[s.count++] = a;
        i += length;
    }
    return s;
}

constexpr bool catalogueIsSound() {
    for (size_t i = 0; i < kMessageCount; ++i) {
        const MessageDef& m = kMessages[i];
        if (static_cast<size_t>(m.id) != i || signature(m.text).count < 0 || m.text.empty()) return false;
        if (i > 0) {
            const MessageDef& prev = kMessages[i - 1];
            if (prev.number > m.number) return false;
            if (prev.number == m.number && (prev.severity != m.severity || prev.text == m.text)) return false;
        }
    }
    return true;
}
static_assert(catalogueIsSound(),
              "messages must be in number order, one entry per Msg, with sound templates");

template <class A>
constexpr Arg kindOf() {
    using T = std::decay_t<A>;
    if constexpr (std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char>)
        return Arg::Number;
    else if constexpr (std::is_convertible_v<const T&, std::string_view>)
        return Arg::Text;
    else
        return Arg::Bad;
}

template <Msg M, class... A>
constexpr bool argumentsFit() {
    constexpr Signature s = signature(message(M).text);
    if (s.count != static_cast<int>(sizeof...(A))) return false;
    constexpr Arg given[] = {kindOf<A>()..., Arg::Bad};
    for (int i = 0; i < s.count; ++i)
        if (s.kinds[i] != given[i]) return false;
    return true;
}

inline std::string argText(std::string_view s) {
    return std::string(s);
}
inline std::string argText(long long n) {
    return std::to_string(n);
}

// The template filled with `args` (already as text), each used once in order.
std::string format(std::string_view text, const std::string* args, size_t count);

}  // namespace messages

// The text of message M with its arguments.
template <Msg M, class... A>
std::string messageText(const A&... args) {
    static_assert(messages::argumentsFit<M, A...>(), "arguments do not fit the message's template");
    const std::string texts[] = {messages::argText(args)..., std::string()};
    return messages::format(message(M).text, texts, sizeof...(A));
}

// The error of message M with its arguments, for `throw`.
template <Msg M, class... A>
SqlError sqlError(const A&... args) {
    return SqlError(message(M).number, messageText<M>(args...));
}

}  // namespace sqlengine
