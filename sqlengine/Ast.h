#pragma once
// The syntax tree of the T-SQL subset the engine carries out.
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sqlengine {

// A column, variable or cast type. `name` is lower case ("nvarchar").
struct TypeSpec {
    std::string name;
    int length = 0;  // characters or bytes; -1 for max; 0 when not given
    int precision = 0;
    int scale = 0;
};

// A possibly qualified name: parts as written without brackets.
struct QualifiedName {
    std::vector<std::string> parts;
    const std::string& last() const { return parts.back(); }
    bool empty() const { return parts.empty(); }
};

struct Select;
struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

enum class ExprKind {
    Null,
    Number,
    String,
    Binary,
    Variable,  // @v or @@name
    Column,    // name parts
    Star,      // * or t.* (qualifier in name)
    Unary,     // op: - + ~ NOT
    BinaryOp,  // op: + - * / % & | ^ = <> < > <= >= AND OR
    Function,  // name, args; star for count(*)
    Case,      // args: [operand?] when,then pairs, [else]
    Subquery,  // scalar subquery
    Exists,
    InList,    // args[0] IN (args[1..])
    InSelect,  // args[0] IN (select)
    Between,   // args[0] BETWEEN args[1] AND args[2]
    Like,      // args[0] LIKE args[1] [ESCAPE args[2]]
    IsNull,    // args[0] IS [NOT] NULL
    Cast,      // CAST/CONVERT: args[0] value, args[1] style
    Default,   // the DEFAULT keyword in VALUES or SET
};

struct OverClause {
    std::vector<ExprPtr> partitionBy;
    std::vector<std::pair<ExprPtr, bool>> orderBy;  // expr, descending
};

struct Expr {
    Expr() = default;
    Expr(Expr&&) = default;
    Expr& operator=(Expr&&) = default;
    // Takes a tall tree down without recursing on it (see below).
    ~Expr();

    ExprKind kind = ExprKind::Null;
    std::string text;  // literal, operator, function or variable name
    QualifiedName name;
    std::vector<ExprPtr> args;
    std::shared_ptr<Select> select;
    TypeSpec type;
    bool negated = false;   // NOT IN, NOT LIKE, IS NOT NULL, NOT BETWEEN, NOT EXISTS
    bool national = false;  // N'..'
    bool distinct = false;  // count(distinct x)
    bool caseHasOperand = false;
    bool caseHasElse = false;
    std::unique_ptr<OverClause> over;
};

inline Expr::~Expr() {
    // A long chain of operators is a tree as tall as the chain is long:
    // detach the grandchildren first, so that no destructor recurses.
    bool tall = false;
    for (const ExprPtr& a : args) tall = tall || (a && !a->args.empty());
    if (!tall) return;
    std::vector<ExprPtr> pending = std::move(args);
    while (!pending.empty()) {
        ExprPtr e = std::move(pending.back());
        pending.pop_back();
        if (!e) continue;
        for (ExprPtr& a : e->args) pending.push_back(std::move(a));
        e->args.clear();
    }
}

enum class JoinKind { None, Inner, Left, Right, Full, Cross };

struct TableRef {
    QualifiedName name;               // a table or view
    std::shared_ptr<Select> derived;  // or a derived table
    std::string alias;
    // A join: left and right operands and the condition.
    JoinKind join = JoinKind::None;
    std::unique_ptr<TableRef> left, right;
    ExprPtr on;
};
using TableRefPtr = std::unique_ptr<TableRef>;

struct SelectItem {
    ExprPtr expr;
    std::string alias;
    bool hasAlias = false;
    std::string assignTo;  // SELECT @v = expr
};

struct OrderItem {
    ExprPtr expr;
    bool descending = false;
};

struct Select {
    bool distinct = false;
    ExprPtr top;
    bool topPercent = false;
    std::vector<SelectItem> items;
    std::vector<TableRefPtr> from;
    ExprPtr where;
    std::vector<ExprPtr> groupBy;
    ExprPtr having;
    // Further members of a UNION / UNION ALL / EXCEPT / INTERSECT chain.
    std::vector<std::pair<std::string, std::shared_ptr<Select>>> compound;
    std::vector<OrderItem> orderBy;  // applies to the whole chain
};

enum class StmtKind {
    Select,
    Insert,
    Update,
    Delete,
    Truncate,
    CreateTable,
    AlterTable,
    CreateIndex,
    DropObject,
    CreateModule,  // view, procedure, trigger, function (also ALTER)
    CreateDatabase,
    DropDatabase,
    CreateLogin,
    AlterLogin,
    DropLogin,
    CreateUser,
    DropUser,
    Exec,
    ExecString,
    Use,
    If,
    While,
    Break,
    Continue,
    Return,
    Block,
    Declare,
    SetVariable,
    SetOption,
    SetIdentityInsert,
    Print,
    Transaction,
};

struct Stmt {
    explicit Stmt(StmtKind k) : kind(k) {}
    virtual ~Stmt() = default;
    StmtKind kind;
    size_t begin = 0, end = 0;  // source range
};
using StmtPtr = std::unique_ptr<Stmt>;

struct SelectStmt : Stmt {
    SelectStmt() : Stmt(StmtKind::Select) {}
    std::shared_ptr<Select> select;
};

struct InsertStmt : Stmt {
    InsertStmt() : Stmt(StmtKind::Insert) {}
    QualifiedName table;
    std::vector<std::string> columns;
    std::vector<std::vector<ExprPtr>> rows;  // VALUES
    std::shared_ptr<Select> select;          // or INSERT .. SELECT
    bool defaultValues = false;
};

struct Assignment {
    std::string column;    // empty for a variable assignment
    std::string variable;  // SET @v = expr
    ExprPtr value;
};

struct UpdateStmt : Stmt {
    UpdateStmt() : Stmt(StmtKind::Update) {}
    QualifiedName table;
    ExprPtr top;
    std::vector<Assignment> sets;
    std::vector<TableRefPtr> from;
    ExprPtr where;
};

struct DeleteStmt : Stmt {
    DeleteStmt() : Stmt(StmtKind::Delete) {}
    QualifiedName table;
    ExprPtr top;
    std::vector<TableRefPtr> from;
    ExprPtr where;
};

struct TruncateStmt : Stmt {
    TruncateStmt() : Stmt(StmtKind::Truncate) {}
    QualifiedName table;
};

enum class ConstraintKind { PrimaryKey, Unique, ForeignKey, Check, Default };

struct IndexColumn {
    std::string name;
    bool descending = false;
};

struct ConstraintDef {
    ConstraintKind kind = ConstraintKind::Check;
    std::string name;  // empty: a system name is made up
    std::optional<bool> clustered;
    std::vector<IndexColumn> columns;  // key columns; for a column constraint, that column
    QualifiedName refTable;
    std::vector<std::string> refColumns;
    std::string onDelete = "NO ACTION", onUpdate = "NO ACTION";
    std::shared_ptr<Expr> expr;  // CHECK or DEFAULT
    std::string exprText;        // its source text
    std::string forColumn;       // DEFAULT .. FOR column
    bool noCheck = false;        // WITH NOCHECK
};

struct ColumnDef {
    std::string name;
    TypeSpec type;
    std::optional<bool> nullable;
    bool identity = false;
    long long seed = 1, step = 1;
    std::string collation;
    bool rowGuid = false;
    std::vector<ConstraintDef> constraints;  // column-level, incl. DEFAULT
};

struct CreateTableStmt : Stmt {
    CreateTableStmt() : Stmt(StmtKind::CreateTable) {}
    QualifiedName table;
    std::vector<ColumnDef> columns;
    std::vector<ConstraintDef> constraints;
};

enum class AlterAction {
    AddColumns,
    AddConstraints,
    DropConstraint,
    DropColumn,
    AlterColumn,
    CheckConstraint
};

struct AlterTableStmt : Stmt {
    AlterTableStmt() : Stmt(StmtKind::AlterTable) {}
    QualifiedName table;
    AlterAction action = AlterAction::AddColumns;
    bool noCheck = false;
    std::vector<ColumnDef> columns;          // ADD / ALTER COLUMN
    std::vector<ConstraintDef> constraints;  // ADD
    std::vector<std::string> names;          // DROP CONSTRAINT / COLUMN names
};

struct CreateIndexStmt : Stmt {
    CreateIndexStmt() : Stmt(StmtKind::CreateIndex) {}
    bool unique = false;
    bool clustered = false;
    std::string name;
    QualifiedName table;
    std::vector<IndexColumn> columns;
};

enum class ObjectType { Table, View, Procedure, Trigger, Function, Index, Default };

struct DropObjectStmt : Stmt {
    DropObjectStmt() : Stmt(StmtKind::DropObject) {}
    ObjectType type = ObjectType::Table;
    bool ifExists = false;
    std::vector<QualifiedName> names;
    std::vector<QualifiedName> onTables;  // DROP INDEX ix ON t
};

struct ProcParam {
    std::string name;
    TypeSpec type;
    ExprPtr defaultValue;
    bool output = false;
};

struct CreateModuleStmt : Stmt {
    CreateModuleStmt() : Stmt(StmtKind::CreateModule) {}
    ObjectType type = ObjectType::View;
    bool alter = false;
    QualifiedName name;
    std::string definition;  // the whole text from CREATE on
    // View
    std::vector<std::string> viewColumns;
    std::shared_ptr<Select> select;
    // Procedure and trigger
    std::vector<ProcParam> params;
    std::string bodyText;
    QualifiedName onTable;  // trigger
};

struct FileSpec {
    std::string name, fileName;
};

struct CreateDatabaseStmt : Stmt {
    CreateDatabaseStmt() : Stmt(StmtKind::CreateDatabase) {}
    std::string name;
    std::optional<FileSpec> data, log;
};

struct NameStmt : Stmt {  // DROP DATABASE, DROP LOGIN, DROP USER, USE
    explicit NameStmt(StmtKind k) : Stmt(k) {}
    std::vector<std::string> names;
};

struct LoginStmt : Stmt {  // CREATE/ALTER LOGIN
    explicit LoginStmt(StmtKind k) : Stmt(k) {}
    std::string name;
    std::optional<std::string> password, oldPassword, defaultDatabase;
    std::optional<bool> checkPolicy;
    std::optional<bool> enable;
};

struct CreateUserStmt : Stmt {
    CreateUserStmt() : Stmt(StmtKind::CreateUser) {}
    std::string name, login, defaultSchema;
    bool withoutLogin = false;
};

struct ExecArg {
    std::string param;  // @p = value
    ExprPtr value;
    bool output = false;
};

struct ExecStmt : Stmt {
    ExecStmt() : Stmt(StmtKind::Exec) {}
    std::string returnVariable;  // EXEC @r = proc
    QualifiedName proc;
    std::vector<ExecArg> args;
};

struct ExecStringStmt : Stmt {
    ExecStringStmt() : Stmt(StmtKind::ExecString) {}
    ExprPtr text;
};

struct IfStmt : Stmt {
    IfStmt() : Stmt(StmtKind::If) {}
    ExprPtr condition;
    StmtPtr then, otherwise;
};

struct WhileStmt : Stmt {
    WhileStmt() : Stmt(StmtKind::While) {}
    ExprPtr condition;
    StmtPtr body;
};

struct BlockStmt : Stmt {
    BlockStmt() : Stmt(StmtKind::Block) {}
    std::vector<StmtPtr> body;
};

struct DeclareItem {
    std::string name;
    TypeSpec type;
    ExprPtr init;
};

struct DeclareStmt : Stmt {
    DeclareStmt() : Stmt(StmtKind::Declare) {}
    std::vector<DeclareItem> items;
};

struct SetVariableStmt : Stmt {
    SetVariableStmt() : Stmt(StmtKind::SetVariable) {}
    std::string name;
    std::string op;  // "=" or "+=" ...
    ExprPtr value;
};

struct SetOptionStmt : Stmt {
    SetOptionStmt() : Stmt(StmtKind::SetOption) {}
    std::vector<std::string> options;
    std::string value;  // ON or OFF; milliseconds for LOCK_TIMEOUT
};

struct SetIdentityInsertStmt : Stmt {
    SetIdentityInsertStmt() : Stmt(StmtKind::SetIdentityInsert) {}
    QualifiedName table;
    bool on = false;
};

struct ExprStmt : Stmt {  // PRINT, RETURN
    explicit ExprStmt(StmtKind k) : Stmt(k) {}
    ExprPtr value;
};

struct TransactionStmt : Stmt {
    TransactionStmt() : Stmt(StmtKind::Transaction) {}
    std::string action;  // BEGIN, COMMIT, ROLLBACK, SAVE
    std::string name;    // the transaction's or the savepoint's, or empty
    ExprPtr nameValue;   // or the @variable that holds it
};

}  // namespace sqlengine
