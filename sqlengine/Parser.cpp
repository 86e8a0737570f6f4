#include "sqlengine/Parser.h"

#include <array>
#include <charconv>
#include <cstdlib>
#include <limits>
#include <unordered_set>
#include <utility>

#include "sqlengine/Engine.h"
#include "sqlengine/Lexer.h"
#include "sqlengine/Messages.h"

namespace sqlengine {
namespace {

// Words that cannot be plain identifiers; they end expressions, aliases and
// argument lists, which is how statements without semicolons are told apart.
constexpr const char* kReservedWords[] = {
    "ADD",
    "ALL",
    "ALTER",
    "AND",
    "ANY",
    "AS",
    "ASC",
    "BEGIN",
    "BETWEEN",
    "BREAK",
    "BY",
    "CASCADE",
    "CASE",
    "CHECK",
    "CLOSE",
    "CLUSTERED",
    "COLLATE",
    "COLUMN",
    "COMMIT",
    "CONSTRAINT",
    "CONTINUE",
    "CONVERT",
    "CREATE",
    "CROSS",
    "CURRENT_TIMESTAMP",
    "CURSOR",
    "DATABASE",
    "DEALLOCATE",
    "DECLARE",
    "DEFAULT",
    "DELETE",
    "DENY",
    "DESC",
    "DISTINCT",
    "DROP",
    "ELSE",
    "END",
    "ESCAPE",
    "EXCEPT",
    "EXEC",
    "EXECUTE",
    "EXISTS",
    "FETCH",
    "FOR",
    "FOREIGN",
    "FROM",
    "FULL",
    "FUNCTION",
    "GOTO",
    "GRANT",
    "GROUP",
    "HAVING",
    "IDENTITY",
    "IDENTITY_INSERT",
    "IF",
    "IN",
    "INDEX",
    "INNER",
    "INSERT",
    "INTERSECT",
    "INTO",
    "IS",
    "JOIN",
    "KEY",
    "LEFT",
    "LIKE",
    "NOCHECK",
    "NONCLUSTERED",
    "NOT",
    "NULL",
    "NULLIF",
    "OF",
    "OFF",
    "ON",
    "OPEN",
    "OPTION",
    "OR",
    "ORDER",
    "OUTER",
    "PERCENT",
    "PRIMARY",
    "PRINT",
    "PROC",
    "PROCEDURE",
    "PUBLIC",
    "RAISERROR",
    "REFERENCES",
    "RETURN",
    "REVOKE",
    "RIGHT",
    "ROLLBACK",
    "SAVE",
    "SELECT",
    "SET",
    "SOME",
    "TABLE",
    "THEN",
    "TO",
    "TOP",
    "TRAN",
    "TRANSACTION",
    "TRIGGER",
    "TRUNCATE",
    "UNION",
    "UNIQUE",
    "UPDATE",
    "USE",
    "USER",
    "VALUES",
    "VIEW",
    "WHEN",
    "WHERE",
    "WHILE",
    "WITH",
};

// Whether each keyword number is a reserved word.
consteval std::array<bool, std::size(kKeywords) + 1> reservedKeywords() {
    std::array<bool, std::size(kKeywords) + 1> r{};
    for (const char* w : kReservedWords) r[Keyword(w).id] = true;
    return r;
}
constexpr std::array<bool, std::size(kKeywords) + 1> kReserved = reservedKeywords();

bool isReserved(const Token& t) {
    return kReserved[t.keyword];
}

// std::atoi of a number token's text (which has no sign or blanks) without
// copying it to a C string.
int leadingInt(std::string_view digits) {
    long value = 0;
    if (std::from_chars(digits.data(), digits.data() + digits.size(), value).ec ==
        std::errc::result_out_of_range)
        value = std::numeric_limits<long>::max();  // what strtol gives
    return static_cast<int>(value);
}

class Parser {
public:
    explicit Parser(std::string_view sql)
        : m_sql(sql),
          m_tokens(tokenize(sql, std::exchange(t_spare, {}))),
          m_toks(m_tokens.list.data()),
          m_last(m_tokens.list.size() - 1) {}
    ~Parser() {
        if (m_tokens.list.capacity() <= kSpareCapacity) t_spare = std::move(m_tokens.list);
    }
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    std::vector<StmtPtr> batch() {
        std::vector<StmtPtr> out;
        while (!atEnd()) {
            if (acceptOp(";")) continue;
            bool first = out.empty();
            out.push_back(statement(first));
        }
        return out;
    }

    ExprPtr standaloneExpression() {
        ExprPtr e = expr();
        if (!atEnd()) fail();
        return e;
    }

private:
    // A script runs hundreds of batches; getting a new token list for each
    // costs more than filling it, so a thread keeps the last one's storage
    // unless it grew large.
    static constexpr size_t kSpareCapacity = 4096;
    static thread_local std::vector<Token> t_spare;

    std::string_view m_sql;
    Tokens m_tokens;  // their texts view m_sql or storage of their own
    const Token* m_toks;
    size_t m_last;  // the End token
    size_t m_pos = 0;

    // How deeply the rule being parsed nests: expressions, NOTs, prefix
    // operators, subqueries and statements each count one. The parser and
    // everything that walks the tree recurse on it, so it is bounded.
    static constexpr int kMaxNesting = 500;
    static constexpr int kMaxTables = 256;
    int m_nesting = 0;
    class Nest {
    public:
        explicit Nest(Parser& p) : m_p(p) {
            if (++m_p.m_nesting > kMaxNesting) {
                --m_p.m_nesting;
                throw nestedTooDeeply();
            }
        }
        ~Nest() { --m_p.m_nesting; }
        Nest(const Nest&) = delete;
        Nest& operator=(const Nest&) = delete;

    private:
        Parser& m_p;
    };

    // ---- token helpers -------------------------------------------------
    const Token& peek(size_t k = 0) const { return m_toks[std::min(m_pos + k, m_last)]; }
    const Token& next() {
        const Token& t = m_toks[m_pos];
        if (m_pos < m_last) ++m_pos;
        return t;
    }
    bool atEnd() const { return peek().kind == Tok::End; }
    static bool isKw(const Token& t, Keyword kw) { return t.keyword == kw.id; }
    bool peekKw(Keyword kw, size_t k = 0) const { return isKw(peek(k), kw); }
    bool acceptKw(Keyword kw) {
        if (!peekKw(kw)) return false;
        next();
        return true;
    }
    void expectKw(Keyword kw) {
        if (!acceptKw(kw)) fail();
    }
    static bool isOp(const Token& t, Punct op) { return t.op == op.code; }
    bool peekOp(Punct op, size_t k = 0) const { return isOp(peek(k), op); }
    bool acceptOp(Punct op) {
        if (!peekOp(op)) return false;
        next();
        return true;
    }
    void expectOp(Punct op) {
        if (!acceptOp(op)) fail();
    }

    [[noreturn]] void fail() const {
        const Token* t = &peek();
        if (t->kind == Tok::End && m_pos > 0) t = &m_toks[m_pos - 1];
        std::string near(m_sql.substr(t->begin, t->end - t->begin));
        if (t->kind == Tok::End) near = "";
        throw sqlError<Msg::SyntaxErrorNear>(near);
    }

    std::string source(size_t from, size_t to) const {
        return std::string(m_sql.substr(from, to > from ? to - from : 0));
    }
    size_t prevEnd() const { return m_pos > 0 ? m_toks[m_pos - 1].end : 0; }

    bool isIdentifierToken(const Token& t) const {
        return t.kind == Tok::QuotedIdent || (t.kind == Tok::Ident && !isReserved(t));
    }
    std::string_view identifier() {
        if (!isIdentifierToken(peek())) fail();
        return next().text;
    }
    // A name where a reserved word is tolerated (option names, data types).
    std::string_view word() {
        if (peek().kind != Tok::Ident && peek().kind != Tok::QuotedIdent) fail();
        return next().text;
    }

    QualifiedName qualifiedName() {
        QualifiedName q;
        q.parts.reserve(2);  // most names are bare or schema.object
        q.parts.emplace_back(identifier());
        while (peekOp(".")) {
            next();
            if (peekOp(".")) {  // db..table
                q.parts.push_back("");
                continue;
            }
            q.parts.emplace_back(identifier());
        }
        if (q.parts.size() > 4) fail();
        return q;
    }

    // ---- statements ----------------------------------------------------
    StmtPtr statement(bool firstInBatch) {
        Nest nest(*this);
        size_t begin = peek().begin;
        StmtPtr s = statementBody(firstInBatch);
        s->begin = begin;
        s->end = prevEnd();
        return s;
    }

    StmtPtr statementBody(bool firstInBatch) {
        const Token& t = peek();
        if (isOp(t, "(")) {
            if (peekKw("SELECT", 1)) return selectStatement();
            fail();
        }
        if (t.kind != Tok::Ident) fail();
        switch (t.keyword) {
            case keywordId("SELECT"):
                return selectStatement();
            case keywordId("INSERT"):
                return insertStatement();
            case keywordId("UPDATE"):
                return updateStatement();
            case keywordId("DELETE"):
                return deleteStatement();
            case keywordId("CREATE"):
                return createStatement(firstInBatch, false);
            case keywordId("ALTER"):
                return alterStatement(firstInBatch);
            case keywordId("DROP"):
                return dropStatement();
            case keywordId("IF"):
                return ifStatement();
            case keywordId("WHILE"):
                return whileStatement();
            case keywordId("BEGIN"):
                return beginStatement();
            case keywordId("COMMIT"):
            case keywordId("ROLLBACK"):
                return transactionEnd();
            case keywordId("SAVE"):
                return saveTransaction();
            case keywordId("DECLARE"):
                return declareStatement();
            case keywordId("SET"):
                return setStatement();
            case keywordId("PRINT"): {
                next();
                auto s = std::make_unique<ExprStmt>(StmtKind::Print);
                s->value = expr();
                return s;
            }
            case keywordId("EXEC"):
            case keywordId("EXECUTE"):
                return execStatement();
            case keywordId("USE"): {
                next();
                auto s = std::make_unique<NameStmt>(StmtKind::Use);
                s->names.emplace_back(identifier());
                return s;
            }
            case keywordId("TRUNCATE"): {
                next();
                expectKw("TABLE");
                auto s = std::make_unique<TruncateStmt>();
                s->table = qualifiedName();
                return s;
            }
            case keywordId("BREAK"):
                next();
                return std::make_unique<Stmt>(StmtKind::Break);
            case keywordId("CONTINUE"):
                next();
                return std::make_unique<Stmt>(StmtKind::Continue);
            case keywordId("RETURN"): {
                next();
                auto s = std::make_unique<ExprStmt>(StmtKind::Return);
                const Token& n = peek();
                if (n.kind == Tok::Number || n.kind == Tok::Variable || n.kind == Tok::String ||
                    n.kind == Tok::NString || isOp(n, "(") || isOp(n, "-"))
                    s->value = expr();
                return s;
            }
            default:
                break;
        }
        // A statement may also be the bare name of a procedure to run, but
        // only as the first statement of a batch.
        if (firstInBatch && isIdentifierToken(t)) return execCall();
        fail();
    }

    StmtPtr selectStatement() {
        auto s = std::make_unique<SelectStmt>();
        s->select = select();
        return s;
    }

    // ---- SELECT --------------------------------------------------------
    std::shared_ptr<Select> select() {
        Nest nest(*this);
        std::shared_ptr<Select> first;
        if (peekOp("(")) {
            next();
            first = select();
            expectOp(")");
        } else {
            first = selectCore();
        }
        for (;;) {
            std::string op;
            if (acceptKw("UNION")) {
                op = acceptKw("ALL") ? "UNION ALL" : "UNION";
            } else if (acceptKw("EXCEPT")) {
                op = "EXCEPT";
            } else if (acceptKw("INTERSECT")) {
                op = "INTERSECT";
            } else {
                break;
            }
            std::shared_ptr<Select> more;
            if (peekOp("(")) {
                next();
                more = select();
                expectOp(")");
            } else {
                more = selectCore();
            }
            first->compound.emplace_back(op, more);
        }
        if (peekKw("ORDER")) {
            next();
            expectKw("BY");
            first->orderBy = orderList();
        }
        return first;
    }

    std::vector<OrderItem> orderList() {
        std::vector<OrderItem> items;
        do {
            OrderItem item;
            item.expr = expr();
            if (acceptKw("DESC"))
                item.descending = true;
            else
                acceptKw("ASC");
            items.push_back(std::move(item));
        } while (acceptOp(","));
        return items;
    }

    ExprPtr topClause() {
        if (acceptOp("(")) {
            ExprPtr e = expr();
            expectOp(")");
            return e;
        }
        if (peek().kind == Tok::Number || peek().kind == Tok::Variable) return primary();
        fail();
    }

    std::shared_ptr<Select> selectCore() {
        expectKw("SELECT");
        auto s = std::make_shared<Select>();
        if (acceptKw("DISTINCT"))
            s->distinct = true;
        else
            acceptKw("ALL");
        if (acceptKw("TOP")) {
            s->top = topClause();
            if (acceptKw("PERCENT")) s->topPercent = true;
        }
        do {
            s->items.push_back(selectItem());
        } while (acceptOp(","));
        if (peekKw("INTO")) fail();
        if (acceptKw("FROM")) s->from = fromList();
        if (acceptKw("WHERE")) s->where = expr();
        if (peekKw("GROUP")) {
            next();
            expectKw("BY");
            do {
                s->groupBy.push_back(expr());
            } while (acceptOp(","));
        }
        if (acceptKw("HAVING")) s->having = expr();
        return s;
    }

    SelectItem selectItem() {
        SelectItem item;
        const Token& t = peek();
        if (isOp(t, "*")) {
            next();
            item.expr = std::make_unique<Expr>();
            item.expr->kind = ExprKind::Star;
            return item;
        }
        if (t.kind == Tok::Variable && peekOp("=", 1)) {
            item.assignTo = next().text;
            next();
            item.expr = expr();
            return item;
        }
        if ((isIdentifierToken(t) || t.kind == Tok::String || t.kind == Tok::NString) && peekOp("=", 1)) {
            item.alias = next().text;
            item.hasAlias = true;
            next();
            item.expr = expr();
            return item;
        }
        // t.* and schema.t.*
        if (isIdentifierToken(t)) {
            size_t k = 0;
            while (isIdentifierToken(peek(k)) && peekOp(".", k + 1)) k += 2;
            if (k > 0 && peekOp("*", k)) {
                item.expr = std::make_unique<Expr>();
                item.expr->kind = ExprKind::Star;
                for (size_t i = 0; i < k; i += 2) item.expr->name.parts.emplace_back(peek(i).text);
                for (size_t i = 0; i <= k; ++i) next();
                return item;
            }
        }
        item.expr = expr();
        if (acceptKw("AS")) {
            const Token& a = peek();
            if (a.kind == Tok::Ident || a.kind == Tok::QuotedIdent || a.kind == Tok::String ||
                a.kind == Tok::NString) {
                item.alias = next().text;
                item.hasAlias = true;
            } else {
                fail();
            }
        } else if (isIdentifierToken(peek()) || peek().kind == Tok::String) {
            item.alias = next().text;
            item.hasAlias = true;
        }
        return item;
    }

    std::vector<TableRefPtr> fromList() {
        std::vector<TableRefPtr> list;
        do {
            list.push_back(joinedTable());
        } while (acceptOp(","));
        return list;
    }

    TableRefPtr joinedTable() {
        Nest nest(*this);
        TableRefPtr left = tablePrimary();
        for (int joins = 0;; ++joins) {
            if (joins == kMaxTables) throw sqlError<Msg::TooManyTables>(kMaxTables);
            JoinKind kind;
            if (acceptKw("JOIN")) {
                kind = JoinKind::Inner;
            } else if (peekKw("INNER")) {
                next();
                expectKw("JOIN");
                kind = JoinKind::Inner;
            } else if (peekKw("LEFT") || peekKw("RIGHT") || peekKw("FULL")) {
                const Token& w = next();
                acceptKw("OUTER");
                expectKw("JOIN");
                kind = isKw(w, "LEFT") ? JoinKind::Left : isKw(w, "RIGHT") ? JoinKind::Right : JoinKind::Full;
            } else if (peekKw("CROSS")) {
                next();
                expectKw("JOIN");
                kind = JoinKind::Cross;
            } else {
                break;
            }
            auto j = std::make_unique<TableRef>();
            j->join = kind;
            j->left = std::move(left);
            j->right = tablePrimary();
            if (kind != JoinKind::Cross) {
                expectKw("ON");
                j->on = expr();
            }
            left = std::move(j);
        }
        return left;
    }

    void tableHints(bool bareAllowed = true) {
        // WITH (NOLOCK) and the older (NOLOCK): locking hints only.
        bool with = false;
        if (peekKw("WITH") && peekOp("(", 1)) {
            next();
            with = true;
        }
        if (!peekOp("(")) return;
        if (!with && (!bareAllowed || !(peek(1).kind == Tok::Ident && !isReserved(peek(1))))) return;
        next();
        do {
            std::string h = toUpperAscii(word());
            static const std::unordered_set<std::string> hints = {
                "NOLOCK",       "READUNCOMMITTED", "UPDLOCK",        "ROWLOCK",  "HOLDLOCK",
                "TABLOCK",      "TABLOCKX",        "PAGLOCK",        "READPAST", "XLOCK",
                "SERIALIZABLE", "READCOMMITTED",   "REPEATABLEREAD", "NOWAIT"};
            if (!hints.count(h)) fail();
        } while (acceptOp(","));
        expectOp(")");
    }

    TableRefPtr tablePrimary() {
        auto t = std::make_unique<TableRef>();
        if (peekOp("(")) {
            next();
            if (peekKw("SELECT") || peekOp("(")) {
                t->derived = select();
                expectOp(")");
                acceptKw("AS");
                t->alias = identifier();
                return t;
            }
            TableRefPtr inner = joinedTable();
            expectOp(")");
            return inner;
        }
        t->name = qualifiedName();
        if (acceptKw("AS")) {
            t->alias = identifier();
        } else if (isIdentifierToken(peek())) {
            t->alias = next().text;
        }
        tableHints();
        return t;
    }

    // ---- expressions ---------------------------------------------------
    static ExprPtr makeChain(std::string op) {
        auto e = std::make_unique<Expr>();
        e->kind = ExprKind::BinaryOp;
        e->text = std::move(op);
        return e;
    }
    static ExprPtr makeBinary(std::string op, ExprPtr a, ExprPtr b) {
        ExprPtr e = makeChain(std::move(op));
        e->args.push_back(std::move(a));
        e->args.push_back(std::move(b));
        return e;
    }

    ExprPtr expr() {
        Nest nest(*this);
        return orExpr();
    }

    // A run of ORs or of ANDs is one node with all the terms as arguments,
    // terms in parentheses that are runs of the same operator included:
    // long lists of conditions neither nest nor recurse.
    static bool isChain(const Expr& e, const char* op) {
        return e.kind == ExprKind::BinaryOp && e.text == op;
    }
    static void addTerm(Expr& chain, ExprPtr term) {
        if (!isChain(*term, chain.text.c_str())) return chain.args.push_back(std::move(term));
        for (ExprPtr& a : term->args) chain.args.push_back(std::move(a));
        term->args.clear();
    }
    ExprPtr orExpr() {
        ExprPtr e = andExpr();
        if (!peekKw("OR")) return e;
        ExprPtr chain = makeChain("OR");
        addTerm(*chain, std::move(e));
        while (acceptKw("OR")) addTerm(*chain, andExpr());
        return chain;
    }
    ExprPtr andExpr() {
        ExprPtr e = notExpr();
        if (!peekKw("AND")) return e;
        ExprPtr chain = makeChain("AND");
        addTerm(*chain, std::move(e));
        while (acceptKw("AND")) addTerm(*chain, notExpr());
        return chain;
    }
    ExprPtr notExpr() {
        if (acceptKw("NOT")) {
            Nest nest(*this);
            auto e = std::make_unique<Expr>();
            e->kind = ExprKind::Unary;
            e->text = "NOT";
            e->args.push_back(notExpr());
            return e;
        }
        return predicate();
    }

    // The comparison operator an operator token stands for; empty for others.
    static std::string_view comparison(const Token& t) {
        switch (t.op) {
            case opCode("="):
            case opCode("<>"):
            case opCode("<"):
            case opCode(">"):
            case opCode("<="):
            case opCode(">="):
                return t.text;
            case opCode("!="):
                return "<>";
            case opCode("!<"):
                return ">=";
            case opCode("!>"):
                return "<=";
            default:
                return {};
        }
    }

    ExprPtr predicate() {
        if (peekKw("EXISTS")) {
            next();
            expectOp("(");
            auto e = std::make_unique<Expr>();
            e->kind = ExprKind::Exists;
            e->select = select();
            expectOp(")");
            return e;
        }
        ExprPtr a = additive();
        if (peek().kind == Tok::Op) {
            std::string_view op = comparison(peek());
            if (op.empty()) return a;
            next();
            if (peekKw("ALL") || peekKw("ANY") || peekKw("SOME")) fail();
            return makeBinary(std::string(op), std::move(a), additive());
        }
        bool negated = false;
        if (peekKw("NOT") && (peekKw("IN", 1) || peekKw("LIKE", 1) || peekKw("BETWEEN", 1))) {
            next();
            negated = true;
        }
        if (acceptKw("IN")) {
            auto e = std::make_unique<Expr>();
            e->negated = negated;
            expectOp("(");
            e->args.push_back(std::move(a));
            if (peekKw("SELECT")) {
                e->kind = ExprKind::InSelect;
                e->select = select();
            } else {
                e->kind = ExprKind::InList;
                do {
                    e->args.push_back(expr());
                } while (acceptOp(","));
            }
            expectOp(")");
            return e;
        }
        if (acceptKw("LIKE")) {
            auto e = std::make_unique<Expr>();
            e->kind = ExprKind::Like;
            e->negated = negated;
            e->args.push_back(std::move(a));
            e->args.push_back(additive());
            if (acceptKw("ESCAPE")) e->args.push_back(additive());
            return e;
        }
        if (acceptKw("BETWEEN")) {
            auto e = std::make_unique<Expr>();
            e->kind = ExprKind::Between;
            e->negated = negated;
            e->args.push_back(std::move(a));
            e->args.push_back(additive());
            expectKw("AND");
            e->args.push_back(additive());
            return e;
        }
        if (negated) fail();
        if (acceptKw("IS")) {
            auto e = std::make_unique<Expr>();
            e->kind = ExprKind::IsNull;
            e->negated = acceptKw("NOT");
            expectKw("NULL");
            e->args.push_back(std::move(a));
            return e;
        }
        return a;
    }

    ExprPtr additive() {
        ExprPtr e = multiplicative();
        for (;;) {
            const Token& t = peek();
            if (isOp(t, "+") || isOp(t, "-") || isOp(t, "&") || isOp(t, "|") || isOp(t, "^")) {
                std::string op(next().text);
                e = makeBinary(std::move(op), std::move(e), multiplicative());
            } else {
                return e;
            }
        }
    }

    ExprPtr multiplicative() {
        ExprPtr e = unary();
        for (;;) {
            const Token& t = peek();
            if (isOp(t, "*") || isOp(t, "/") || isOp(t, "%")) {
                std::string op(next().text);
                e = makeBinary(std::move(op), std::move(e), unary());
            } else {
                return e;
            }
        }
    }

    ExprPtr unary() {
        const Token& t = peek();
        if (isOp(t, "-") || isOp(t, "+") || isOp(t, "~")) {
            std::string op(next().text);
            Nest nest(*this);
            ExprPtr operand = unary();
            if (op == "+") return operand;
            if (op == "-" && operand->kind == ExprKind::Number && operand->text[0] != '-') {
                operand->text = "-" + operand->text;
                return operand;
            }
            auto e = std::make_unique<Expr>();
            e->kind = ExprKind::Unary;
            e->text = op;
            e->args.push_back(std::move(operand));
            return e;
        }
        return primary();
    }

    // A word that is no keyword of the parser, as in ISO type names.
    bool acceptWord(std::string_view word) {
        if (peek().kind != Tok::Ident || !equalsIgnoreCase(peek().text, word)) return false;
        next();
        return true;
    }

    // The ISO spellings of types, as SQL Server takes them: INTEGER, DEC,
    // DOUBLE PRECISION, CHARACTER, CHAR(ACTER) VARYING and NATIONAL
    // CHAR(ACTER) [VARYING].
    void isoTypeSynonym(std::string& name) {
        if (name == "integer") {
            name = "int";
        } else if (name == "dec") {
            name = "decimal";
        } else if (name == "double") {
            if (acceptKw("PRECISION")) name = "float";
        } else if (name == "national") {
            std::string base = toLowerAscii(word());
            if (base != "char" && base != "character" && base != "text") fail();
            name = base == "text" ? "ntext" : acceptWord("VARYING") ? "nvarchar" : "nchar";
        } else if (name == "character" || name == "char") {
            name = acceptWord("VARYING") ? "varchar" : "char";
        }
    }

    TypeSpec typeSpec() {
        TypeSpec ts;
        ts.name = toLowerAscii(word());
        if (ts.name == "dbo" && acceptOp(".")) ts.name = toLowerAscii(word());
        isoTypeSynonym(ts.name);
        if (acceptOp("(")) {
            if (acceptKw("MAX")) {
                ts.length = -1;
            } else {
                if (peek().kind != Tok::Number) fail();
                int a = leadingInt(next().text);
                ts.length = a;
                ts.precision = a;
                if (acceptOp(",")) {
                    if (peek().kind != Tok::Number) fail();
                    ts.scale = leadingInt(next().text);
                }
            }
            expectOp(")");
        }
        return ts;
    }

    // A decimal literal holds at most 38 digits, leading zeros not counted.
    static void checkPrecision(std::string_view number) {
        if (number.size() <= 38 || number.find_first_of("eE") != std::string_view::npos) return;
        size_t point = number.find('.');
        std::string_view whole = number.substr(0, point);
        size_t digits = whole.size() - std::min(whole.size(), whole.find_first_not_of('0'));
        if (point != std::string_view::npos) digits += number.size() - point - 1;
        if (digits > 38) throw sqlError<Msg::NumberOutOfRange>(number);
    }

    ExprPtr primary() {
        const Token& t = peek();
        auto e = std::make_unique<Expr>();
        switch (t.kind) {
            case Tok::Number:
                e->kind = ExprKind::Number;
                e->text = next().text;
                checkPrecision(e->text);
                return e;
            case Tok::String:
            case Tok::NString:
                e->kind = ExprKind::String;
                e->national = t.kind == Tok::NString;
                e->text = next().text;
                return e;
            case Tok::Binary:
                e->kind = ExprKind::Binary;
                e->text = next().text;
                return e;
            case Tok::Variable:
                e->kind = ExprKind::Variable;
                e->text = toLowerAscii(next().text);
                return e;
            case Tok::Op:
                if (isOp(t, "(")) {
                    next();
                    if (peekKw("SELECT")) {
                        e->kind = ExprKind::Subquery;
                        e->select = select();
                        expectOp(")");
                        return e;
                    }
                    ExprPtr inner = expr();
                    expectOp(")");
                    return inner;
                }
                fail();
            case Tok::End:
                fail();
            case Tok::Ident:
                if (ExprPtr k = keywordPrimary()) return k;
                break;
            case Tok::QuotedIdent:
                break;
        }
        return namedPrimary();
    }

    // An expression that starts with a keyword; nullptr for a name.
    ExprPtr keywordPrimary() {
        const Token& t = peek();
        auto e = std::make_unique<Expr>();
        if (isKw(t, "NULL") || isKw(t, "DEFAULT")) {
            e->kind = isKw(t, "NULL") ? ExprKind::Null : ExprKind::Default;
            next();
            return e;
        }
        if (isKw(t, "CASE")) return caseExpr();
        if (isKw(t, "CAST") && peekOp("(", 1)) {
            next();
            next();
            e->kind = ExprKind::Cast;
            e->args.push_back(expr());
            expectKw("AS");
            e->type = typeSpec();
            expectOp(")");
            return e;
        }
        if (isKw(t, "CONVERT") && peekOp("(", 1)) {
            next();
            next();
            e->kind = ExprKind::Cast;
            e->type = typeSpec();
            expectOp(",");
            e->args.push_back(expr());
            if (acceptOp(",")) e->args.push_back(expr());
            expectOp(")");
            return e;
        }
        if (isKw(t, "CURRENT_TIMESTAMP") || (isKw(t, "USER") && !peekOp("(", 1))) {
            e->kind = ExprKind::Function;
            e->text = isKw(t, "USER") ? "user_name" : "getdate";
            next();
            return e;
        }
        if ((isKw(t, "LEFT") || isKw(t, "RIGHT") || isKw(t, "NULLIF") || isKw(t, "UPDATE")) &&
            peekOp("(", 1)) {
            e->kind = ExprKind::Function;
            e->text = toLowerAscii(next().text);
            functionArgs(*e);
            return e;
        }
        if (isReserved(t)) fail();
        return nullptr;
    }

    // A column, or a function call with its OVER clause.
    ExprPtr namedPrimary() {
        auto e = std::make_unique<Expr>();
        QualifiedName q = qualifiedName();
        if (!peekOp("(")) {
            e->kind = ExprKind::Column;
            e->name = std::move(q);
            return e;
        }
        e->kind = ExprKind::Function;
        e->text = toLowerAscii(q.last());
        e->name = std::move(q);
        functionArgs(*e);
        if (acceptKw("OVER")) {
            expectOp("(");
            e->over = std::make_unique<OverClause>();
            if (acceptKw("PARTITION")) {
                expectKw("BY");
                do {
                    e->over->partitionBy.push_back(expr());
                } while (acceptOp(","));
            }
            if (acceptKw("ORDER")) {
                expectKw("BY");
                for (OrderItem& o : orderList())
                    e->over->orderBy.emplace_back(std::move(o.expr), o.descending);
            }
            expectOp(")");
        }
        return e;
    }

    void functionArgs(Expr& e) {
        expectOp("(");
        if (acceptOp(")")) return;
        if (peekOp("*")) {
            next();
            auto star = std::make_unique<Expr>();
            star->kind = ExprKind::Star;
            e.args.push_back(std::move(star));
            expectOp(")");
            return;
        }
        if (acceptKw("DISTINCT"))
            e.distinct = true;
        else
            acceptKw("ALL");
        do {
            e.args.push_back(expr());
        } while (acceptOp(","));
        expectOp(")");
    }

    ExprPtr caseExpr() {
        expectKw("CASE");
        auto e = std::make_unique<Expr>();
        e->kind = ExprKind::Case;
        if (!peekKw("WHEN")) {
            e->caseHasOperand = true;
            e->args.push_back(expr());
        }
        if (!peekKw("WHEN")) fail();
        while (acceptKw("WHEN")) {
            e->args.push_back(expr());
            expectKw("THEN");
            e->args.push_back(expr());
        }
        if (acceptKw("ELSE")) {
            e->caseHasElse = true;
            e->args.push_back(expr());
        }
        expectKw("END");
        return e;
    }

    // ---- DML -----------------------------------------------------------
    StmtPtr insertStatement() {
        expectKw("INSERT");
        acceptKw("INTO");
        auto s = std::make_unique<InsertStmt>();
        s->table = qualifiedName();
        tableHints(false);
        if (peekOp("(") && !peekKw("SELECT", 1)) {
            next();
            do {
                s->columns.emplace_back(identifier());
            } while (acceptOp(","));
            expectOp(")");
        }
        if (acceptKw("VALUES")) {
            do {
                expectOp("(");
                std::vector<ExprPtr> row;
                do {
                    row.push_back(expr());
                } while (acceptOp(","));
                expectOp(")");
                s->rows.push_back(std::move(row));
            } while (acceptOp(","));
        } else if (peekKw("SELECT") || peekOp("(")) {
            s->select = select();
        } else if (peekKw("DEFAULT")) {
            next();
            expectKw("VALUES");
            s->defaultValues = true;
        } else {
            fail();
        }
        return s;
    }

    std::vector<Assignment> assignments() {
        std::vector<Assignment> sets;
        do {
            Assignment a;
            if (peek().kind == Tok::Variable) {
                a.variable = toLowerAscii(next().text);
                if (peekOp("=") && isIdentifierToken(peek(1)) && peekOp("=", 2)) {
                    next();
                    a.column = next().text;
                }
            } else {
                QualifiedName col = qualifiedName();
                a.column = col.last();
            }
            const Token& op = peek();
            if (op.kind != Tok::Op) fail();
            const std::string_view o = op.text;
            if (o != "=" && o != "+=" && o != "-=" && o != "*=" && o != "/=") fail();
            next();
            a.value = expr();
            if (o != "=") {
                auto target = std::make_unique<Expr>();
                if (!a.column.empty()) {
                    target->kind = ExprKind::Column;
                    target->name.parts.push_back(a.column);
                } else {
                    target->kind = ExprKind::Variable;
                    target->text = a.variable;
                }
                a.value = makeBinary(std::string(o.substr(0, 1)), std::move(target), std::move(a.value));
            }
            sets.push_back(std::move(a));
        } while (acceptOp(","));
        return sets;
    }

    StmtPtr updateStatement() {
        expectKw("UPDATE");
        auto s = std::make_unique<UpdateStmt>();
        if (acceptKw("TOP")) s->top = topClause();
        s->table = qualifiedName();
        tableHints();
        expectKw("SET");
        s->sets = assignments();
        if (acceptKw("FROM")) s->from = fromList();
        if (acceptKw("WHERE")) s->where = expr();
        return s;
    }

    StmtPtr deleteStatement() {
        expectKw("DELETE");
        auto s = std::make_unique<DeleteStmt>();
        if (acceptKw("TOP")) s->top = topClause();
        acceptKw("FROM");
        s->table = qualifiedName();
        tableHints();
        if (acceptKw("FROM")) s->from = fromList();
        if (acceptKw("WHERE")) s->where = expr();
        return s;
    }

    // ---- DDL -----------------------------------------------------------
    void indexOptions() {
        // WITH FILLFACTOR = n, WITH (PAD_INDEX = OFF, ...) and ON [filegroup]:
        // storage settings that have no meaning for a SQLite file.
        if (peekKw("WITH")) {
            next();
            bool paren = acceptOp("(");
            do {
                word();
                if (acceptOp("=")) {
                    const Token& v = peek();
                    if (v.kind == Tok::Number || v.kind == Tok::Ident || v.kind == Tok::QuotedIdent)
                        next();
                    else
                        fail();
                }
            } while (acceptOp(","));
            if (paren) expectOp(")");
        }
        if (peekKw("ON") && (peek(1).kind == Tok::QuotedIdent || peek(1).kind == Tok::Ident) &&
            !peekOp("(", 2)) {
            next();
            next();
        }
    }

    std::vector<IndexColumn> indexColumns() {
        std::vector<IndexColumn> cols;
        expectOp("(");
        do {
            IndexColumn c;
            c.name = identifier();
            if (acceptKw("DESC"))
                c.descending = true;
            else
                acceptKw("ASC");
            cols.push_back(c);
        } while (acceptOp(","));
        expectOp(")");
        return cols;
    }

    std::string referentialAction() {
        if (acceptKw("CASCADE")) return "CASCADE";
        if (acceptKw("NO")) {
            expectKw("ACTION");
            return "NO ACTION";
        }
        if (acceptKw("SET")) {
            if (acceptKw("NULL")) return "SET NULL";
            expectKw("DEFAULT");
            return "SET DEFAULT";
        }
        fail();
    }

    void notForReplication() {
        if (peekKw("NOT") && peekKw("FOR", 1)) {
            next();
            next();
            expectKw("REPLICATION");
        }
    }

    // One constraint after its optional CONSTRAINT name; `column` is set for
    // a column-level constraint.
    ConstraintDef constraintDef(const std::string* column) {
        ConstraintDef c;
        if (acceptKw("CONSTRAINT")) c.name = identifier();
        if (acceptKw("PRIMARY")) {
            expectKw("KEY");
            c.kind = ConstraintKind::PrimaryKey;
        } else if (acceptKw("UNIQUE")) {
            c.kind = ConstraintKind::Unique;
        } else if (acceptKw("FOREIGN")) {
            expectKw("KEY");
            c.kind = ConstraintKind::ForeignKey;
        } else if (peekKw("REFERENCES") && column) {
            c.kind = ConstraintKind::ForeignKey;
        } else if (acceptKw("CHECK")) {
            c.kind = ConstraintKind::Check;
            notForReplication();
            expectOp("(");
            size_t from = peek().begin;
            c.expr = expr();
            c.exprText = source(from, prevEnd());
            expectOp(")");
            if (column) c.columns.push_back({*column, false});
            return c;
        } else if (acceptKw("DEFAULT")) {
            c.kind = ConstraintKind::Default;
            size_t from = peek().begin;
            c.expr = expr();
            c.exprText = source(from, prevEnd());
            if (column) {
                c.forColumn = *column;
            } else {
                expectKw("FOR");
                c.forColumn = identifier();
            }
            acceptKw("WITH") && acceptKw("VALUES");
            return c;
        } else {
            fail();
        }
        if (c.kind == ConstraintKind::PrimaryKey || c.kind == ConstraintKind::Unique) {
            if (acceptKw("CLUSTERED"))
                c.clustered = true;
            else if (acceptKw("NONCLUSTERED"))
                c.clustered = false;
            if (column && !peekOp("("))
                c.columns.push_back({*column, false});
            else
                c.columns = indexColumns();
            indexOptions();
            return c;
        }
        // FOREIGN KEY
        if (!column || peekOp("(")) {
            c.columns = indexColumns();
        } else {
            c.columns.push_back({*column, false});
        }
        expectKw("REFERENCES");
        c.refTable = qualifiedName();
        if (peekOp("(")) {
            for (const IndexColumn& rc : indexColumns()) c.refColumns.push_back(rc.name);
        }
        for (;;) {
            if (peekKw("ON") && peekKw("DELETE", 1)) {
                next();
                next();
                c.onDelete = referentialAction();
            } else if (peekKw("ON") && peekKw("UPDATE", 1)) {
                next();
                next();
                c.onUpdate = referentialAction();
            } else {
                break;
            }
        }
        notForReplication();
        return c;
    }

    bool startsConstraint() const {
        return peekKw("CONSTRAINT") || peekKw("PRIMARY") || peekKw("UNIQUE") || peekKw("FOREIGN") ||
               peekKw("CHECK") || peekKw("DEFAULT") || peekKw("REFERENCES");
    }

    // Fills a column definition in place: it is large and tables have many.
    void columnDef(ColumnDef& col, bool allowConstraints) {
        col.name = identifier();
        if (peekKw("AS")) fail();  // computed columns are outside the subset
        col.type = typeSpec();
        for (;;) {
            if (acceptKw("COLLATE")) {
                col.collation = word();
            } else if (acceptKw("NULL")) {
                col.nullable = true;
            } else if (peekKw("NOT") && peekKw("NULL", 1)) {
                next();
                next();
                col.nullable = false;
            } else if (acceptKw("IDENTITY")) {
                col.identity = true;
                if (acceptOp("(")) {
                    ExprPtr seed = unary();
                    expectOp(",");
                    ExprPtr step = unary();
                    expectOp(")");
                    if (seed->kind != ExprKind::Number || step->kind != ExprKind::Number) fail();
                    col.seed = std::atoll(seed->text.c_str());
                    col.step = std::atoll(step->text.c_str());
                }
                notForReplication();
            } else if (acceptKw("ROWGUIDCOL")) {
                col.rowGuid = true;
            } else if (allowConstraints && startsConstraint()) {
                col.constraints.push_back(constraintDef(&col.name));
            } else {
                break;
            }
        }
    }

    StmtPtr createStatement(bool firstInBatch, bool alter) {
        size_t begin = peek().begin;
        next();  // CREATE or ALTER
        if (acceptKw("TABLE")) return createTable();
        if (peekKw("UNIQUE") || peekKw("CLUSTERED") || peekKw("NONCLUSTERED") || peekKw("INDEX"))
            return createIndex();
        if (acceptKw("DATABASE")) return createDatabase();
        if (acceptKw("LOGIN")) return loginStatement(StmtKind::CreateLogin);
        if (acceptKw("USER")) return createUser();
        return createModule(begin, firstInBatch, alter);
    }

    StmtPtr createTable() {
        auto s = std::make_unique<CreateTableStmt>();
        s->table = qualifiedName();
        expectOp("(");
        do {
            if (startsConstraint())
                s->constraints.push_back(constraintDef(nullptr));
            else
                columnDef(s->columns.emplace_back(), true);
        } while (acceptOp(",") && !peekOp(")"));
        expectOp(")");
        for (Keyword clause : {Keyword("ON"), Keyword("TEXTIMAGE_ON")})
            if (acceptKw(clause)) word();
        return s;
    }

    StmtPtr createIndex() {
        auto s = std::make_unique<CreateIndexStmt>();
        if (acceptKw("UNIQUE")) s->unique = true;
        if (acceptKw("CLUSTERED"))
            s->clustered = true;
        else
            acceptKw("NONCLUSTERED");
        expectKw("INDEX");
        s->name = identifier();
        expectKw("ON");
        s->table = qualifiedName();
        s->columns = indexColumns();
        if (peekKw("INCLUDE")) fail();
        indexOptions();
        return s;
    }

    StmtPtr createUser() {
        auto s = std::make_unique<CreateUserStmt>();
        s->name = identifier();
        if (acceptKw("FOR") || acceptKw("FROM")) {
            expectKw("LOGIN");
            s->login = identifier();
        } else if (acceptKw("WITHOUT")) {
            expectKw("LOGIN");
            s->withoutLogin = true;
        }
        if (acceptKw("WITH")) {
            expectKw("DEFAULT_SCHEMA");
            expectOp("=");
            s->defaultSchema = identifier();
        }
        return s;
    }

    // CREATE or ALTER of a view, procedure, trigger or function, from
    // `begin` (the CREATE) to the end of the batch.
    StmtPtr createModule(size_t begin, bool firstInBatch, bool alter) {
        struct Module {
            Keyword keyword;
            ObjectType type;
            const char* what;
        };
        static const Module kModules[] = {{"VIEW", ObjectType::View, "VIEW"},
                                          {"PROCEDURE", ObjectType::Procedure, "PROCEDURE"},
                                          {"PROC", ObjectType::Procedure, "PROCEDURE"},
                                          {"TRIGGER", ObjectType::Trigger, "TRIGGER"},
                                          {"FUNCTION", ObjectType::Function, "FUNCTION"}};
        auto s = std::make_unique<CreateModuleStmt>();
        std::string what;
        for (const Module& m : kModules)
            if (what.empty() && acceptKw(m.keyword)) {
                s->type = m.type;
                what = m.what;
            }
        if (what.empty()) fail();
        if (!firstInBatch)
            throw sqlError<Msg::ModuleNotFirstInBatch>(std::string(alter ? "ALTER " : "CREATE ") + what);
        s->alter = alter;
        s->name = qualifiedName();
        s->definition = source(begin, m_sql.size());
        while (!s->definition.empty() && (s->definition.back() == '\0' ||
                                          std::isspace(static_cast<unsigned char>(s->definition.back()))))
            s->definition.pop_back();
        if (s->type == ObjectType::View) return viewBody(std::move(s));
        if (s->type == ObjectType::Function) {
            // A function body may use constructs the engine does not run;
            // it is kept as text and calling it is refused.
            expectOp("(");
            m_pos = m_last;
            return s;
        }
        if (s->type == ObjectType::Trigger)
            triggerHeader(*s);
        else
            procedureHeader(*s);
        expectKw("AS");
        s->bodyText = source(peek().begin, m_sql.size());
        // The body runs to the end of the batch; it must parse as well.
        while (!atEnd()) {
            if (acceptOp(";")) continue;
            statement(false);
        }
        return s;
    }

    StmtPtr viewBody(std::unique_ptr<CreateModuleStmt> s) {
        if (acceptOp("(")) {
            do {
                s->viewColumns.emplace_back(identifier());
            } while (acceptOp(","));
            expectOp(")");
        }
        moduleOptions();
        expectKw("AS");
        s->select = select();
        if (acceptKw("WITH")) {
            expectKw("CHECK");
            expectKw("OPTION");
        }
        acceptOp(";");
        if (!atEnd()) fail();
        return s;
    }

    void triggerHeader(CreateModuleStmt& s) {
        expectKw("ON");
        s.onTable = qualifiedName();
        moduleOptions();
        if (acceptKw("INSTEAD")) {
            expectKw("OF");
        } else if (!acceptKw("FOR")) {
            expectKw("AFTER");
        }
        do {
            if (!acceptKw("INSERT") && !acceptKw("UPDATE") && !acceptKw("DELETE")) fail();
        } while (acceptOp(","));
        notForReplication();
    }

    void procedureHeader(CreateModuleStmt& s) {
        bool paren = acceptOp("(");
        while (peek().kind == Tok::Variable) {
            ProcParam p;
            p.name = toLowerAscii(next().text);
            acceptKw("AS");
            p.type = typeSpec();
            if (acceptOp("=")) p.defaultValue = unary();
            if (acceptKw("OUTPUT") || acceptKw("OUT")) p.output = true;
            s.params.push_back(std::move(p));
            if (!acceptOp(",")) break;
        }
        if (paren) expectOp(")");
        moduleOptions();
        if (peekKw("FOR") && peekKw("REPLICATION", 1)) {
            next();
            next();
        }
    }

    void moduleOptions() {
        if (peekKw("WITH") && !peekKw("CHECK", 1)) {
            next();
            do {
                std::string o = toUpperAscii(word());
                if (o != "ENCRYPTION" && o != "SCHEMABINDING" && o != "RECOMPILE" && o != "APPEND") fail();
            } while (acceptOp(","));
        }
    }

    FileSpec fileSpec() {
        FileSpec f;
        expectOp("(");
        do {
            std::string key = toUpperAscii(word());
            expectOp("=");
            if (key == "NAME") {
                const Token& v = peek();
                if (v.kind == Tok::String || v.kind == Tok::NString || isIdentifierToken(v))
                    f.name = next().text;
                else
                    fail();
            } else if (key == "FILENAME") {
                const Token& v = peek();
                if (v.kind != Tok::String && v.kind != Tok::NString) fail();
                f.fileName = next().text;
            } else if (key == "SIZE" || key == "MAXSIZE" || key == "FILEGROWTH") {
                if (peek().kind == Tok::Number) {
                    next();
                    if (peek().kind == Tok::Ident &&
                        (peekKw("KB") || peekKw("MB") || peekKw("GB") || peekKw("TB")))
                        next();
                    acceptOp("%");
                } else if (!acceptKw("UNLIMITED")) {
                    fail();
                }
            } else {
                fail();
            }
        } while (acceptOp(",") && !peekOp(")"));
        expectOp(")");
        return f;
    }

    StmtPtr createDatabase() {
        auto s = std::make_unique<CreateDatabaseStmt>();
        s->name = identifier();
        if (acceptKw("ON")) {
            acceptKw("PRIMARY");
            s->data = fileSpec();
            while (acceptOp(",")) fileSpec();
        }
        if (peekKw("LOG")) {
            next();
            expectKw("ON");
            s->log = fileSpec();
            while (acceptOp(",")) fileSpec();
        }
        if (acceptKw("COLLATE")) word();
        return s;
    }

    std::string stringValue() {
        const Token& v = peek();
        if (v.kind != Tok::String && v.kind != Tok::NString) fail();
        return std::string(next().text);
    }

    bool onOff() {
        if (acceptKw("ON")) return true;
        if (acceptKw("OFF")) return false;
        fail();
    }

    StmtPtr loginStatement(StmtKind kind) {
        auto s = std::make_unique<LoginStmt>(kind);
        s->name = identifier();
        if (kind == StmtKind::AlterLogin) {
            if (acceptKw("ENABLE")) {
                s->enable = true;
                return s;
            }
            if (acceptKw("DISABLE")) {
                s->enable = false;
                return s;
            }
        }
        expectKw("WITH");
        do {
            std::string key = toUpperAscii(word());
            expectOp("=");
            if (key == "PASSWORD") {
                s->password = stringValue();
                if (kind == StmtKind::AlterLogin && peekKw("OLD_PASSWORD")) {
                    next();
                    expectOp("=");
                    s->oldPassword = stringValue();
                }
            } else if (key == "OLD_PASSWORD" && kind == StmtKind::AlterLogin) {
                s->oldPassword = stringValue();
            } else if (key == "DEFAULT_DATABASE") {
                s->defaultDatabase = identifier();
            } else if (key == "DEFAULT_LANGUAGE") {
                word();
            } else if (key == "CHECK_POLICY") {
                s->checkPolicy = onOff();
            } else if (key == "CHECK_EXPIRATION") {
                onOff();
            } else {
                fail();
            }
        } while (acceptOp(","));
        if (kind == StmtKind::CreateLogin && !s->password) fail();
        return s;
    }

    StmtPtr alterStatement(bool firstInBatch) {
        if (peekKw("VIEW", 1) || peekKw("PROCEDURE", 1) || peekKw("PROC", 1) || peekKw("TRIGGER", 1) ||
            peekKw("FUNCTION", 1))
            return createStatement(firstInBatch, true);
        next();
        if (acceptKw("LOGIN")) return loginStatement(StmtKind::AlterLogin);
        expectKw("TABLE");
        auto s = std::make_unique<AlterTableStmt>();
        s->table = qualifiedName();
        if (acceptKw("WITH")) {
            if (acceptKw("NOCHECK"))
                s->noCheck = true;
            else
                expectKw("CHECK");
        }
        if (acceptKw("ADD")) {
            bool any = false;
            do {
                if (startsConstraint()) {
                    ConstraintDef c = constraintDef(nullptr);
                    c.noCheck = s->noCheck;
                    s->constraints.push_back(std::move(c));
                } else {
                    columnDef(s->columns.emplace_back(), true);
                }
                any = true;
            } while (acceptOp(","));
            if (!any) fail();
            s->action = s->columns.empty() ? AlterAction::AddConstraints : AlterAction::AddColumns;
            return s;
        }
        if (acceptKw("DROP")) {
            if (acceptKw("COLUMN")) {
                s->action = AlterAction::DropColumn;
            } else {
                acceptKw("CONSTRAINT");
                s->action = AlterAction::DropConstraint;
            }
            do {
                s->names.emplace_back(identifier());
            } while (acceptOp(","));
            return s;
        }
        if (acceptKw("ALTER")) {
            expectKw("COLUMN");
            s->action = AlterAction::AlterColumn;
            columnDef(s->columns.emplace_back(), false);
            return s;
        }
        if (acceptKw("CHECK")) {
            // Re-enabling constraints: they are never disabled here.
            expectKw("CONSTRAINT");
            s->action = AlterAction::CheckConstraint;
            if (!acceptKw("ALL")) {
                do {
                    s->names.emplace_back(identifier());
                } while (acceptOp(","));
            }
            return s;
        }
        fail();
    }

    StmtPtr dropStatement() {
        next();
        if (acceptKw("DATABASE")) {
            auto s = std::make_unique<NameStmt>(StmtKind::DropDatabase);
            do {
                s->names.emplace_back(identifier());
            } while (acceptOp(","));
            return s;
        }
        if (acceptKw("LOGIN")) {
            auto s = std::make_unique<NameStmt>(StmtKind::DropLogin);
            s->names.emplace_back(identifier());
            return s;
        }
        if (acceptKw("USER")) {
            auto s = std::make_unique<NameStmt>(StmtKind::DropUser);
            s->names.emplace_back(identifier());
            return s;
        }
        auto s = std::make_unique<DropObjectStmt>();
        if (acceptKw("TABLE"))
            s->type = ObjectType::Table;
        else if (acceptKw("VIEW"))
            s->type = ObjectType::View;
        else if (acceptKw("PROCEDURE") || acceptKw("PROC"))
            s->type = ObjectType::Procedure;
        else if (acceptKw("TRIGGER"))
            s->type = ObjectType::Trigger;
        else if (acceptKw("FUNCTION"))
            s->type = ObjectType::Function;
        else if (acceptKw("INDEX"))
            s->type = ObjectType::Index;
        else if (acceptKw("DEFAULT"))
            s->type = ObjectType::Default;
        else
            fail();
        if (peekKw("IF") && peekKw("EXISTS", 1)) {
            next();
            next();
            s->ifExists = true;
        }
        do {
            s->names.push_back(qualifiedName());
            if (s->type == ObjectType::Index) {
                if (acceptKw("ON")) {
                    s->onTables.push_back(qualifiedName());
                } else {
                    if (s->names.back().parts.size() < 2) fail();
                    QualifiedName t;
                    t.parts.assign(s->names.back().parts.begin(), s->names.back().parts.end() - 1);
                    s->onTables.push_back(t);
                    QualifiedName ix;
                    ix.parts.push_back(s->names.back().last());
                    s->names.back() = ix;
                }
            }
        } while (acceptOp(","));
        return s;
    }

    // ---- control flow and the rest -------------------------------------
    StmtPtr ifStatement() {
        expectKw("IF");
        auto s = std::make_unique<IfStmt>();
        s->condition = expr();
        s->then = statement(false);
        while (acceptOp(";")) {
        }
        if (acceptKw("ELSE")) s->otherwise = statement(false);
        return s;
    }

    StmtPtr whileStatement() {
        expectKw("WHILE");
        auto s = std::make_unique<WhileStmt>();
        s->condition = expr();
        s->body = statement(false);
        return s;
    }

    StmtPtr beginStatement() {
        if (peekKw("TRAN", 1) || peekKw("TRANSACTION", 1)) {
            next();
            next();
            auto s = std::make_unique<TransactionStmt>();
            s->action = "BEGIN";
            // A reserved word after TRAN starts the next statement instead.
            if (isIdentifierToken(peek()) || peek().kind == Tok::Variable) transactionNameInto(*s);
            return s;
        }
        expectKw("BEGIN");
        auto s = std::make_unique<BlockStmt>();
        while (!peekKw("END")) {
            if (atEnd()) fail();
            if (acceptOp(";")) continue;
            s->body.push_back(statement(false));
        }
        expectKw("END");
        return s;
    }

    StmtPtr transactionEnd() {
        auto s = std::make_unique<TransactionStmt>();
        s->action = toUpperAscii(next().text);
        if (acceptKw("TRAN") || acceptKw("TRANSACTION")) {
            if (isIdentifierToken(peek()) || peek().kind == Tok::Variable) transactionNameInto(*s);
        } else {
            acceptKw("WORK");
        }
        return s;
    }

    StmtPtr saveTransaction() {
        expectKw("SAVE");
        if (!acceptKw("TRAN")) expectKw("TRANSACTION");
        auto s = std::make_unique<TransactionStmt>();
        s->action = "SAVE";
        transactionNameInto(*s);
        return s;
    }

    // A name as written, or the @variable whose value is the name.
    void transactionNameInto(TransactionStmt& s) {
        if (peek().kind == Tok::Variable)
            s.nameValue = primary();
        else
            s.name = sqlengine::transactionName(identifier());
    }

    StmtPtr declareStatement() {
        expectKw("DECLARE");
        auto s = std::make_unique<DeclareStmt>();
        do {
            if (peek().kind != Tok::Variable) fail();
            DeclareItem item;
            item.name = toLowerAscii(next().text);
            acceptKw("AS");
            if (peekKw("TABLE") || peekKw("CURSOR")) fail();
            item.type = typeSpec();
            if (acceptOp("=")) item.init = expr();
            s->items.push_back(std::move(item));
        } while (acceptOp(","));
        return s;
    }

    StmtPtr setStatement() {
        expectKw("SET");
        if (peek().kind == Tok::Variable) {
            auto s = std::make_unique<SetVariableStmt>();
            s->name = toLowerAscii(next().text);
            const Token& op = peek();
            if (!isOp(op, "=") && !isOp(op, "+=") && !isOp(op, "-=") && !isOp(op, "*=") && !isOp(op, "/="))
                fail();
            s->op = next().text;
            s->value = expr();
            return s;
        }
        if (acceptKw("IDENTITY_INSERT")) {
            auto s = std::make_unique<SetIdentityInsertStmt>();
            s->table = qualifiedName();
            s->on = onOff();
            return s;
        }
        if (peek().kind == Tok::Ident && toUpperAscii(peek().text) == "LOCK_TIMEOUT") {
            next();
            auto s = std::make_unique<SetOptionStmt>();
            s->options.push_back("LOCK_TIMEOUT");
            bool negative = acceptOp("-");
            if (peek().kind != Tok::Number) fail();
            // Appending, not `"-" + std::string(...)`: GCC 12 at -O3 reports
            // a false -Wrestrict inside the inlined insert of operator+.
            s->value = negative ? "-" : "";
            s->value += next().text;
            return s;
        }
        auto s = std::make_unique<SetOptionStmt>();
        static const std::unordered_set<std::string> options = {"NOCOUNT",
                                                                "ANSI_NULLS",
                                                                "QUOTED_IDENTIFIER",
                                                                "ANSI_PADDING",
                                                                "ANSI_WARNINGS",
                                                                "ARITHABORT",
                                                                "XACT_ABORT",
                                                                "CONCAT_NULL_YIELDS_NULL",
                                                                "NUMERIC_ROUNDABORT",
                                                                "ANSI_NULL_DFLT_ON",
                                                                "ANSI_DEFAULTS",
                                                                "CURSOR_CLOSE_ON_COMMIT",
                                                                "IMPLICIT_TRANSACTIONS"};
        do {
            std::string o = toUpperAscii(word());
            if (!options.count(o)) fail();
            s->options.push_back(o);
        } while (acceptOp(","));
        s->value = onOff() ? "ON" : "OFF";
        return s;
    }

    bool startsStatement(const Token& t) const {
        if (t.kind == Tok::End) return true;
        if (t.kind == Tok::Op) return isOp(t, ";");
        return isReserved(t) || isKw(t, "GO");
    }

    StmtPtr execStatement() {
        next();  // EXEC
        if (peekOp("(")) {
            next();
            auto s = std::make_unique<ExecStringStmt>();
            s->text = expr();
            expectOp(")");
            return s;
        }
        return execCall();
    }

    StmtPtr execCall() {
        auto s = std::make_unique<ExecStmt>();
        if (peek().kind == Tok::Variable && peekOp("=", 1)) {
            s->returnVariable = toLowerAscii(next().text);
            next();
        }
        s->proc = qualifiedName();
        if (startsStatement(peek())) return s;
        do {
            ExecArg a;
            if (peek().kind == Tok::Variable && peekOp("=", 1)) {
                a.param = toLowerAscii(next().text);
                next();
            }
            const Token& v = peek();
            if (v.kind == Tok::Ident && !isReserved(v)) {
                // Bare words are character strings in a procedure call.
                a.value = std::make_unique<Expr>();
                a.value->kind = ExprKind::String;
                a.value->text = next().text;
            } else if (v.kind == Tok::QuotedIdent) {
                a.value = std::make_unique<Expr>();
                a.value->kind = ExprKind::String;
                a.value->text = next().text;
            } else if (peekKw("DEFAULT")) {
                next();
                a.value = std::make_unique<Expr>();
                a.value->kind = ExprKind::Default;
            } else {
                a.value = unary();
            }
            if (acceptKw("OUTPUT") || acceptKw("OUT")) a.output = true;
            s->args.push_back(std::move(a));
        } while (acceptOp(","));
        return s;
    }
};

thread_local std::vector<Token> Parser::t_spare;

}  // namespace

SqlError nestedTooDeeply() {
    return sqlError<Msg::NestedTooDeeply>();
}

std::vector<StmtPtr> parseBatch(std::string_view sql) {
    Parser p(sql);
    return p.batch();
}

std::string transactionName(std::string_view name) {
    size_t chars = 0, i = 0;
    for (; i < name.size(); ++i)
        if ((static_cast<unsigned char>(name[i]) & 0xC0) != 0x80 && ++chars > 32) break;
    return std::string(name.substr(0, i));
}

ExprPtr parseExpression(std::string_view sql) {
    Parser p(sql);
    return p.standaloneExpression();
}

}  // namespace sqlengine
