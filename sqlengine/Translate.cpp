// T-SQL expressions and queries rendered as SQLite SQL.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <unordered_map>

#include "sqlengine/Functions.h"
#include "sqlengine/Lexer.h"
#include "sqlengine/Messages.h"
#include "sqlengine/Parser.h"
#include "sqlengine/SessionImpl.h"

namespace sqlengine {

namespace {

// Catalog views: T-SQL name (lower case, "sys." for the sys schema) to the
// temporary view the session creates for it.
const std::unordered_map<std::string, std::string>& catalogViews() {
    static const std::unordered_map<std::string, std::string> views = {
        {"sysobjects", "_t7v_sysobjects"},
        {"sys.sysobjects", "_t7v_sysobjects"},
        {"syscolumns", "_t7v_syscolumns"},
        {"sys.syscolumns", "_t7v_syscolumns"},
        {"sysindexes", "_t7v_sysindexes"},
        {"sys.sysindexes", "_t7v_sysindexes"},
        {"syscomments", "_t7v_syscomments"},
        {"sys.syscomments", "_t7v_syscomments"},
        {"sys.objects", "_t7v_sys_objects"},
        {"sys.tables", "_t7v_sys_tables"},
        {"sys.views", "_t7v_sys_views"},
        {"sys.procedures", "_t7v_sys_procedures"},
        {"sys.columns", "_t7v_sys_columns"},
        {"sys.indexes", "_t7v_sys_indexes"},
        {"sys.foreign_keys", "_t7v_sys_foreign_keys"},
        {"sys.default_constraints", "_t7v_sys_default_constraints"},
        {"sys.check_constraints", "_t7v_sys_check_constraints"},
        {"sys.key_constraints", "_t7v_sys_key_constraints"},
        {"sys.triggers", "_t7v_sys_triggers"},
        {"syslogins", "_t7v_syslogins"},
        {"sys.syslogins", "_t7v_syslogins"},
        {"sys.sql_logins", "_t7v_syslogins"},
        {"sys.server_principals", "_t7v_syslogins"},
        {"sysusers", "_t7v_sysusers"},
        {"sys.sysusers", "_t7v_sysusers"},
        {"sys.database_principals", "_t7v_sysusers"},
        {"sys.database_role_members", "_t7v_sys_database_role_members"},
        {"sysdatabases", "_t7v_sysdatabases"},
        {"sys.sysdatabases", "_t7v_sysdatabases"},
        {"sys.databases", "_t7v_sys_databases"},
        {"information_schema.tables", "_t7v_is_tables"},
        {"information_schema.columns", "_t7v_is_columns"},
        {"information_schema.views", "_t7v_is_views"},
        {"information_schema.routines", "_t7v_is_routines"},
    };
    return views;
}

// A numeric literal as SQLite reads it: an integer when it has no point or
// exponent and fits 64 bits, a double otherwise.
Value numberLiteral(const std::string& text) {
    if (text.find_first_of(".eE") == std::string::npos) {
        errno = 0;
        char* end = nullptr;
        long long i = std::strtoll(text.c_str(), &end, 10);
        if (errno == 0 && end && *end == '\0') return Value::integer(i);
    }
    return Value::real(std::strtod(text.c_str(), nullptr));
}

// The operators of a left-nested chain of arithmetic: + - * / % & | ^.
bool isArithmetic(const Expr& e) {
    if (e.kind != ExprKind::BinaryOp || e.text.size() != 1 || e.args.size() != 2) return false;
    switch (e.text[0]) {
        case '+':
        case '-':
        case '*':
        case '/':
        case '%':
        case '&':
        case '|':
        case '^':
            return true;
        default:
            return false;
    }
}

// SQLite limits an expression tree to a depth of 1000. A run of one
// associative operator longer than kRun terms goes out in parenthesised
// groups of kRun terms, so that a chain of thousands of terms stays shallow.
class ChainWriter {
public:
    static constexpr int kRun = 400;
    ChainWriter(std::string& out, const std::string& op) : m_out(out), m_op(" " + op + " ") { m_out += "("; }
    // Where the next term is written.
    std::string& term() {
        ++m_terms;
        if (m_terms <= kRun) {
            if (m_terms > 1) m_out += m_op;
            return m_out;
        }
        if ((m_terms - kRun - 1) % kRun == 0)
            flushGroup();
        else
            m_group += m_op;
        return m_group;
    }
    void finish() {
        flushGroup();
        m_out += ")";
    }

private:
    void flushGroup() {
        if (m_group.empty()) return;
        m_out += m_op;
        m_out += "(";
        m_out += m_group;
        m_out += ")";
        m_group.clear();
    }
    std::string& m_out;
    std::string m_op;
    std::string m_group;
    int m_terms = 0;
};

bool isHidden(const std::string& name) {
    return isInternalName(name);
}

}  // namespace

std::string Translator::param(const Value& v) {
    params.push_back(v);
    // Appending, not `"?" + std::to_string(...)`: GCC 12 at -O3 reports a
    // false -Wrestrict inside the inlined insert of operator+.
    std::string name = "?";
    name += std::to_string(params.size());
    return name;
}

void Translator::bindAll(Query& q) const {
    for (size_t i = 0; i < params.size(); ++i) q.bind(static_cast<int>(i + 1), params[i]);
}

std::string Translator::literalOrParam(const Value& v) {
    // Literals go in as parameters, so that statements differing only in
    // their values share one prepared statement. Far beyond SQLite's
    // parameter limit they stay inline.
    if (!inlineOnly && params.size() < 30000) return param(v);
    switch (v.kind) {
        case Value::Kind::Null:
            return "NULL";
        case Value::Kind::Int:
            return std::to_string(v.i);
        case Value::Kind::Real:
            return v.toText();
        default:
            return quoteString(v.s);
    }
}

void Translator::orderItem(const Expr& e, std::string& out) {
    // A number here is a position in the select list, never a value.
    if (e.kind == ExprKind::Number) {
        out += e.text;
        return;
    }
    expr(e, out);
}

std::string Translator::itemName(const SelectItem& item) {
    if (item.hasAlias) return item.alias;
    if (item.expr && item.expr->kind == ExprKind::Column) return item.expr->name.last();
    return "";
}

std::string Translator::tableSql(const QualifiedName& name, TablePtr* info) {
    const auto& parts = name.parts;
    std::string key;
    if (parts.size() >= 2 && !parts[parts.size() - 2].empty())
        key = toLowerAscii(parts[parts.size() - 2]) + ".";
    key += toLowerAscii(parts.back());
    if (parts.size() >= 3 && !parts[parts.size() - 3].empty() &&
        !equalsIgnoreCase(parts[parts.size() - 3], m_s.m_dbName) &&
        !equalsIgnoreCase(parts[parts.size() - 3], "master"))
        throw sqlError<Msg::InvalidObjectName>(parts.back());
    auto it = catalogViews().find(key);
    if (it == catalogViews().end() && key.rfind("dbo.", 0) == 0) it = catalogViews().find(key.substr(4));
    if (it != catalogViews().end()) {
        m_s.ensureCatalogViews();
        return quoteIdent(it->second);
    }
    if (parts.size() >= 2 && !parts[parts.size() - 2].empty() &&
        !equalsIgnoreCase(parts[parts.size() - 2], "dbo"))
        throw sqlError<Msg::InvalidObjectName>(parts[parts.size() - 2] + "." + parts.back());
    if (isHidden(parts.back()) || parts.back().empty() || parts.back()[0] == '#')
        throw sqlError<Msg::InvalidObjectName>(parts.back());
    // A user table must exist in SQLite before a statement can name it.
    m_s.flushSchema();
    // Views and constraints run with their owner's rights.
    if (!inlineOnly) m_s.requireSelect(parts.back());
    if (info) *info = m_s.findTable(parts.back());
    return quoteIdent(parts.back());
}

void Translator::pushTable(const std::string& alias, TablePtr t) {
    m_scopes.push_back({{alias, std::move(t)}});
}

void Translator::addEntries(const TableRef& t, std::vector<Entry>& entries) {
    if (t.join != JoinKind::None) {
        addEntries(*t.left, entries);
        addEntries(*t.right, entries);
        return;
    }
    if (t.derived) {
        entries.push_back({t.alias, nullptr});
        return;
    }
    TablePtr info;
    try {
        tableSql(t.name, &info);
    } catch (const SqlError&) {
    }
    entries.push_back({t.alias.empty() ? t.name.last() : t.alias, info});
}

void Translator::pushScope(const std::vector<TableRefPtr>& from) {
    std::vector<Entry> entries;
    for (const auto& t : from) addEntries(*t, entries);
    m_scopes.push_back(std::move(entries));
}

const ColumnInfo* Translator::findColumn(const Expr& col) {
    const std::string& name = col.name.last();
    std::string qualifier = col.name.parts.size() >= 2 ? col.name.parts[col.name.parts.size() - 2] : "";
    for (auto s = m_scopes.rbegin(); s != m_scopes.rend(); ++s) {
        for (const Entry& e : *s) {
            if (!qualifier.empty() && !equalsIgnoreCase(e.alias, qualifier)) continue;
            if (!e.table) {
                if (!qualifier.empty()) return nullptr;
                continue;
            }
            int i = e.table->findColumn(name);
            if (i >= 0) return &e.table->columns[static_cast<size_t>(i)];
        }
    }
    return nullptr;
}

Translator::Kind Translator::kindOf(const Expr& e) {
    switch (e.kind) {
        case ExprKind::Number: {
            if (e.text.find_first_of(".eE") != std::string::npos || e.text.size() > 11) return Kind::Number;
            long long v = std::atoll(e.text.c_str());
            return v >= INT32_MIN && v <= INT32_MAX ? Kind::Int : Kind::Number;
        }
        case ExprKind::String:
            return Kind::String;
        case ExprKind::Variable: {
            auto it = m_s.m_vars.find(e.text);
            if (it == m_s.m_vars.end()) return Kind::Unknown;
            return kindOfType(it->second.type.name);
        }
        case ExprKind::Column: {
            const ColumnInfo* c = findColumn(e);
            return c ? kindOfType(c->type.name) : Kind::Unknown;
        }
        case ExprKind::Cast: {
            Kind k = kindOfType(e.type.name);
            return k == Kind::String && typeClass(e.type.name) == TypeClass::Guid ? Kind::Unknown : k;
        }
        case ExprKind::Function: {
            static const std::unordered_map<std::string, Kind> kinds = {
                {"upper", Kind::String},       {"lower", Kind::String},         {"ltrim", Kind::String},
                {"rtrim", Kind::String},       {"substring", Kind::String},     {"left", Kind::String},
                {"right", Kind::String},       {"replace", Kind::String},       {"db_name", Kind::String},
                {"user_name", Kind::String},   {"str", Kind::String},           {"space", Kind::String},
                {"replicate", Kind::String},   {"char", Kind::String},          {"nchar", Kind::String},
                {"suser_sname", Kind::String}, {"object_name", Kind::String},   {"reverse", Kind::String},
                {"len", Kind::Number},         {"charindex", Kind::Number},     {"count", Kind::Number},
                {"object_id", Kind::Number},   {"col_length", Kind::Number},    {"datalength", Kind::Number},
                {"abs", Kind::Number},         {"year", Kind::Number},          {"month", Kind::Number},
                {"day", Kind::Number},         {"datepart", Kind::Number},      {"datediff", Kind::Number},
                {"ascii", Kind::Number},       {"unicode", Kind::Number},       {"round", Kind::Number},
                {"floor", Kind::Number},       {"ceiling", Kind::Number},       {"sum", Kind::Number},
                {"avg", Kind::Number},         {"scope_identity", Kind::Number}};
            auto it = kinds.find(e.text);
            if (it != kinds.end()) return it->second;
            if ((e.text == "isnull" || e.text == "coalesce" || e.text == "max" || e.text == "min" ||
                 e.text == "nullif") &&
                !e.args.empty())
                return kindOf(*e.args[0]);
            return Kind::Unknown;
        }
        case ExprKind::BinaryOp: {
            if (!isArithmetic(e)) return Kind::Number;  // a condition
            // Down the chain's left side, then back up without recursion.
            std::vector<const Expr*> chain;
            const Expr* n = &e;
            for (; isArithmetic(*n); n = n->args[0].get()) chain.push_back(n);
            Kind k = kindOf(*n);
            for (size_t i = chain.size(); i-- > 0;)
                k = combine(chain[i]->text, k, kindOf(*chain[i]->args[1]));
            return k;
        }
        case ExprKind::Case:
            return e.args.size() > 1 ? kindOf(*e.args[e.caseHasOperand ? 2 : 1]) : Kind::Unknown;
        case ExprKind::Unary:
            if (e.text == "-") {
                Kind k = kindOf(*e.args[0]);
                return k == Kind::Int ? Kind::Int : Kind::Number;
            }
            return Kind::Number;
        default:
            return Kind::Unknown;
    }
}

void Translator::expr(const Expr& e, std::string& out) {
    if (++m_depth > kMaxDepth) {
        --m_depth;
        throw nestedTooDeeply();
    }
    struct Leave {
        int& depth;
        ~Leave() { --depth; }
    } leave{m_depth};
    switch (e.kind) {
        case ExprKind::Null:
            out += "NULL";
            return;
        case ExprKind::Number:
            if (inlineOnly) {
                out += e.text;
                if (e.text.back() == '.') out += '0';
            } else {
                out += literalOrParam(numberLiteral(e.text));
            }
            return;
        case ExprKind::String:
            out += literalOrParam(Value::text(e.text));
            return;
        case ExprKind::Binary: {
            std::string hex = e.text;
            if (hex.size() % 2) hex = "0" + hex;
            out += "X'" + hex + "'";
            return;
        }
        case ExprKind::Variable:
            out += literalOrParam(variableValue(e.text));
            return;
        case ExprKind::Column: {
            const auto& p = e.name.parts;
            if (p.size() >= 2 && !p[p.size() - 2].empty()) {
                out += quoteIdent(p[p.size() - 2]) + "." + quoteIdent(p.back());
            } else {
                out += columnPrefix + quoteIdent(p.back());
            }
            return;
        }
        case ExprKind::Star:
            if (!e.name.empty()) out += quoteIdent(e.name.last()) + ".";
            out += "*";
            return;
        case ExprKind::Unary:
            // "- -1", not the comment "--1"
            out += e.text == "NOT" ? "(NOT " : "(" + e.text + " ";
            expr(*e.args[0], out);
            out += ")";
            return;
        case ExprKind::BinaryOp:
            return binaryOp(e, out);
        case ExprKind::Function:
            return function(e, out);
        case ExprKind::Case:
            return caseExpr(e, out);
        case ExprKind::Subquery:
            out += "(" + select(*e.select) + ")";
            return;
        case ExprKind::Exists:
            out += e.negated ? "(NOT EXISTS (" : "(EXISTS (";
            out += select(*e.select) + "))";
            return;
        case ExprKind::InList:
        case ExprKind::InSelect:
        case ExprKind::Between:
        case ExprKind::IsNull:
            return predicate(e, out);
        case ExprKind::Like:
            return like(e, out);
        case ExprKind::Cast:
            return cast(e, out);
        case ExprKind::Default:
            throw sqlError<Msg::SyntaxErrorNearKeyword>("DEFAULT");
    }
}

Value Translator::variableValue(const std::string& n) {
    if (n.rfind("@@", 0) != 0) {
        auto it = m_s.m_vars.find(n);
        if (it == m_s.m_vars.end() || inlineOnly) throw sqlError<Msg::UndeclaredVariable>(n);
        return it->second.value;
    }
    if (n == "@@rowcount") return Value::integer(m_s.m_rowcount);
    if (n == "@@identity") return m_s.m_lastIdentity;
    if (n == "@@error") return Value::integer(0);
    if (n == "@@trancount") return Value::integer(m_s.m_tranCount);
    if (n == "@@spid") return Value::integer(51);
    if (n == "@@servername") return Value::text("(local)");
    if (n == "@@version")
        return Value::text("Microsoft SQL Server 2005 - 9.00 (embedded T7 server on SQLite " +
                           std::string(sqlite3_libversion()) + ")");
    throw sqlError<Msg::UndeclaredVariable>(n);
}

void Translator::binaryOp(const Expr& e, std::string& out) {
    const std::string& op = e.text;
    if (op == "AND" || op == "OR") {
        ChainWriter w(out, op);
        for (const ExprPtr& a : e.args) expr(*a, w.term());
        w.finish();
        return;
    }
    if (isArithmetic(e)) return arithmetic(e, out);
    out += "(";
    operand(*e.args[0], *e.args[1], out);
    out += " " + op + " ";
    operand(*e.args[1], *e.args[0], out);
    out += ")";
}

void Translator::caseExpr(const Expr& e, std::string& out) {
    out += "CASE";
    size_t i = 0;
    if (e.caseHasOperand) {
        out += " ";
        expr(*e.args[0], out);
        i = 1;
    }
    size_t end = e.args.size() - (e.caseHasElse ? 1 : 0);
    for (; i + 1 < end + 1 && i < end; i += 2) {
        out += " WHEN ";
        expr(*e.args[i], out);
        out += " THEN ";
        expr(*e.args[i + 1], out);
    }
    if (e.caseHasElse) {
        out += " ELSE ";
        expr(*e.args.back(), out);
    }
    out += " END";
}

void Translator::predicate(const Expr& e, std::string& out) {
    out += "(";
    expr(*e.args[0], out);
    switch (e.kind) {
        case ExprKind::InList:
            out += e.negated ? " NOT IN (" : " IN (";
            for (size_t i = 1; i < e.args.size(); ++i) {
                if (i > 1) out += ", ";
                expr(*e.args[i], out);
            }
            out += "))";
            return;
        case ExprKind::InSelect:
            out += e.negated ? " NOT IN (" : " IN (";
            out += select(*e.select) + "))";
            return;
        case ExprKind::Between:
            out += e.negated ? " NOT BETWEEN " : " BETWEEN ";
            operand(*e.args[1], *e.args[0], out);
            out += " AND ";
            operand(*e.args[2], *e.args[0], out);
            out += ")";
            return;
        default:
            out += e.negated ? " IS NOT NULL)" : " IS NULL)";
            return;
    }
}

void Translator::like(const Expr& e, std::string& out) {
    // SQLite's LIKE has no [ ] character sets: such patterns go to _t7_like.
    const Expr& pattern = *e.args[1];
    bool plain = pattern.kind == ExprKind::String && pattern.text.find('[') == std::string::npos;
    if (plain) {
        out += "(";
        expr(*e.args[0], out);
        out += e.negated ? " NOT LIKE " : " LIKE ";
        expr(pattern, out);
        if (e.args.size() > 2) {
            out += " ESCAPE ";
            expr(*e.args[2], out);
        }
        out += ")";
        return;
    }
    out += e.negated ? "(NOT _t7_like(" : "(_t7_like(";
    expr(*e.args[0], out);
    out += ", ";
    expr(pattern, out);
    if (e.args.size() > 2) {
        out += ", ";
        expr(*e.args[2], out);
    }
    out += "))";
}

void Translator::cast(const Expr& e, std::string& out) {
    TypeSpec t = e.type;
    if (!isKnownType(t.name)) throw sqlError<Msg::UndefinedSystemType>(t.name);
    t = normalizeType(t, true);
    out += "_t7_cast(";
    expr(*e.args[0], out);
    out += ", '" + t.name + "', " + std::to_string(t.length) + ", " + std::to_string(t.precision) + ", " +
           std::to_string(t.scale) + ", ";
    if (e.args.size() > 1)
        expr(*e.args[1], out);
    else
        out += "NULL";
    out += ")";
}

Translator::Kind Translator::kindOfType(const std::string& type) {
    switch (typeClass(type)) {
        case TypeClass::Char:
        case TypeClass::Guid:
            return Kind::String;
        case TypeClass::Integer:
            return type == "bigint" ? Kind::Number : Kind::Int;
        case TypeClass::Decimal:
        case TypeClass::Float:
        case TypeClass::Bit:
            return Kind::Number;
        default:
            return Kind::Unknown;
    }
}

Translator::Kind Translator::combine(const std::string& op, Kind a, Kind b) {
    bool intOp = op == "+" || op == "-" || op == "*" || op == "/" || op == "%";
    if (intOp && a == Kind::Int && b == Kind::Int) return Kind::Int;
    if (op != "+") return Kind::Number;
    if (a == Kind::String && b == Kind::String) return Kind::String;
    if (isNumeric(a) || isNumeric(b)) return Kind::Number;
    return Kind::Unknown;
}

const char* Translator::infixOperator(const std::string& op, Kind k, Kind kr, std::string& right,
                                      int& precedence) {
    // SQLite's precedence: | & < + - < * / % < ||
    switch (op[0]) {
        case '+':
            if (isNumeric(k) && isNumeric(kr)) {
                precedence = 2;
                return "+";
            }
            if (k == Kind::String && kr == Kind::String) {
                precedence = 4;
                return "||";
            }
            return nullptr;
        case '-':
            // Between numbers a - b is a + (-b), so that a chain of sums and
            // differences is one run of the associative +.
            precedence = 2;
            if (!isNumeric(k) || !isNumeric(kr)) return "-";
            right = "(- " + right + ")";  // the space keeps "-" from starting a comment
            return "+";
        case '*':
            precedence = 3;
            return "*";
        case '/':
        case '%':
            // Division by zero is an error in T-SQL, NULL in SQLite.
            precedence = 3;
            right = "_t7_nonzero(" + right + ")";
            return op[0] == '/' ? "/" : "%";
        case '&':
        case '|':
            precedence = 1;
            return op[0] == '&' ? "&" : "|";
        default:
            return nullptr;
    }
}

void Translator::arithmetic(const Expr& top, std::string& out) {
    // The chain's left side is walked as a list, not recursed on. `acc`
    // holds the chain so far; when it is an unparenthesised run of infix
    // operators, `level` is their SQLite precedence (0: one operand). A run
    // of one associative operator goes through a ChainWriter.
    std::vector<const Expr*> chain;
    const Expr* n = &top;
    for (; isArithmetic(*n); n = n->args[0].get()) chain.push_back(n);
    std::string acc, run, runOp;
    expr(*n, acc);
    Kind k = kindOf(*n);
    int level = 0;
    bool unchecked = false;  // int arithmetic whose overflow is not checked yet
    int calls = 0;
    std::optional<ChainWriter> writer;
    auto endRun = [&] {
        if (!writer) return;
        writer->finish();
        writer.reset();
        acc = std::move(run);
        run.clear();
        runOp.clear();
        level = 0;
    };
    auto call = [&](const char* fn, const std::string& second) {
        endRun();
        if (++calls > kMaxCalls) throw nestedTooDeeply();
        acc.insert(0, std::string(fn) + "(");
        if (!second.empty()) acc += ", " + second;
        acc += ")";
        level = 0;
    };
    for (size_t i = chain.size(); i-- > 0;) {
        const std::string& op = chain[i]->text;
        const Expr& right = *chain[i]->args[1];
        Kind kr = kindOf(right);
        Kind next = combine(op, k, kr);
        if (unchecked && next != Kind::Int) {
            call("_t7_int", "");
            unchecked = false;
        }
        std::string r;
        expr(right, r);
        int precedence = 0;
        const char* infix = infixOperator(op, k, kr, r, precedence);
        bool associative = infix && (infix[0] == '|' ? infix[1] == '|' : infix[0] == '+');
        if (writer && (!associative || runOp != infix)) endRun();
        if (!infix) {
            call(op == "^" ? "_t7_xor" : "_t7_add", r);
        } else {
            if (level != 0 && level < precedence) {
                acc.insert(0, "(");
                acc += ")";
            }
            if (associative) {
                if (!writer) {
                    writer.emplace(run, infix);
                    runOp = infix;
                    writer->term() += acc;
                    acc.clear();
                    level = 0;
                }
                writer->term() += r;
            } else {
                acc += " ";
                acc += infix;
                acc += " ";
                acc += r;
                level = precedence;
            }
        }
        if (next == Kind::Int) unchecked = true;
        k = next;
    }
    endRun();
    if (unchecked) {
        call("_t7_int", "");
    } else if (level != 0) {
        acc.insert(0, "(");
        acc += ")";
    }
    out += acc;
}

std::vector<int> Translator::decimalScales(const Select& s) {
    std::vector<int> scales;
    for (const SelectItem& item : s.items)
        if (item.expr->kind == ExprKind::Star) return scales;
    pushScope(s.from);
    for (const SelectItem& item : s.items) {
        std::optional<TypeSpec> t = declaredType(*item.expr);
        bool exact = t && (t->name == "decimal" || t->name == "numeric");
        scales.push_back(exact ? t->scale : -1);
    }
    popScope();
    return scales;
}

std::optional<TypeSpec> Translator::declaredType(const Expr& e) {
    if (e.kind == ExprKind::Cast) return normalizeType(e.type, true);
    if (e.kind == ExprKind::Column) {
        const ColumnInfo* c = findColumn(e);
        if (c) return c->type;
    } else if (e.kind == ExprKind::Variable) {
        auto it = m_s.m_vars.find(e.text);
        if (it != m_s.m_vars.end()) return it->second.type;
    }
    return std::nullopt;
}

bool Translator::isMaxText(const Expr& e) {
    std::optional<TypeSpec> t = declaredType(e);
    return t && (t->length == -1 || t->name == "text" || t->name == "ntext");
}

bool Translator::isDateTime(const Expr& e) {
    if (e.kind == ExprKind::Column) {
        const ColumnInfo* c = findColumn(e);
        return c && typeClass(c->type.name) == TypeClass::DateTime;
    }
    if (e.kind == ExprKind::Cast) return typeClass(e.type.name) == TypeClass::DateTime;
    if (e.kind == ExprKind::Function) return e.text == "getdate" || e.text == "dateadd";
    if (e.kind == ExprKind::Variable) {
        auto it = m_s.m_vars.find(e.text);
        return it != m_s.m_vars.end() && typeClass(it->second.type.name) == TypeClass::DateTime;
    }
    return false;
}

void Translator::operand(const Expr& e, const Expr& other, std::string& out) {
    // A string compared with a datetime is converted to one, as the server
    // does by type precedence; stored datetimes then compare as text.
    if (e.kind == ExprKind::String && isDateTime(other)) {
        TypeSpec t;
        t.name = "datetime";
        out += literalOrParam(Value::text(convertValue(Value::text(e.text), t, ConvertMode::Cast).s));
        return;
    }
    expr(e, out);
}

void Translator::tableRef(const TableRef& t, std::string& out) {
    if (t.join != JoinKind::None) {
        out += "(";
        tableRef(*t.left, out);
        switch (t.join) {
            case JoinKind::Inner:
                out += " JOIN ";
                break;
            case JoinKind::Left:
                out += " LEFT JOIN ";
                break;
            case JoinKind::Right:
                out += " RIGHT JOIN ";
                break;
            case JoinKind::Full:
                out += " FULL JOIN ";
                break;
            case JoinKind::Cross:
                out += " CROSS JOIN ";
                break;
            case JoinKind::None:
                break;
        }
        tableRef(*t.right, out);
        if (t.on) {
            out += " ON ";
            expr(*t.on, out);
        }
        out += ")";
        return;
    }
    if (t.derived) {
        out += "(" + select(*t.derived) + ") AS " + quoteIdent(t.alias);
        return;
    }
    out += tableSql(t.name, nullptr);
    out += " AS " + quoteIdent(t.alias.empty() ? t.name.last() : t.alias);
}

std::string Translator::fromList(const std::vector<TableRefPtr>& from) {
    std::string out;
    for (size_t i = 0; i < from.size(); ++i) {
        if (i) out += ", ";
        tableRef(*from[i], out);
    }
    return out;
}

std::string Translator::select(const Select& s) {
    auto core = [&](const Select& c, bool allowLimit) {
        pushScope(c.from);
        std::string out = "SELECT ";
        if (c.distinct) out += "DISTINCT ";
        for (size_t i = 0; i < c.items.size(); ++i) {
            if (i) out += ", ";
            const SelectItem& item = c.items[i];
            expr(*item.expr, out);
            if (item.expr->kind == ExprKind::Star) continue;
            std::string name = itemName(item);
            if (name.empty()) name = "_t7_anon" + std::to_string(i);
            out += " AS " + quoteIdent(name);
        }
        if (!c.from.empty()) out += " FROM " + fromList(c.from);
        if (c.where) {
            out += " WHERE ";
            expr(*c.where, out);
        }
        if (!c.groupBy.empty()) {
            out += " GROUP BY ";
            for (size_t i = 0; i < c.groupBy.size(); ++i) {
                if (i) out += ", ";
                orderItem(*c.groupBy[i], out);
            }
        }
        if (c.having) {
            out += " HAVING ";
            expr(*c.having, out);
        }
        if (allowLimit && c.top) {
            out += " LIMIT ";
            expr(*c.top, out);
        }
        popScope();
        return out;
    };
    if (s.topPercent) throw sqlError<Msg::SyntaxErrorNear>("PERCENT");
    std::string out;
    bool simple = s.compound.empty();
    if (simple) {
        out = core(s, false);
    } else {
        out = s.top ? "SELECT * FROM (" + core(s, true) + ")" : core(s, false);
        for (const auto& [op, more] : s.compound) {
            out += " " + op + " ";
            if (more->top || !more->orderBy.empty())
                out += "SELECT * FROM (" + select(*more) + ")";
            else
                out += core(*more, false);
        }
    }
    if (!s.orderBy.empty()) {
        // ORDER BY sees the select list's aliases and the FROM tables.
        pushScope(s.from);
        out += " ORDER BY ";
        for (size_t i = 0; i < s.orderBy.size(); ++i) {
            if (i) out += ", ";
            orderItem(*s.orderBy[i].expr, out);
            if (s.orderBy[i].descending) out += " DESC";
        }
        popScope();
    }
    if (simple && s.top) {
        out += " LIMIT ";
        expr(*s.top, out);
    }
    return out;
}

}  // namespace sqlengine
