// T-SQL built-in function calls rendered as SQLite SQL: one table entry per
// function, with its argument counts and its rendering.
#include <limits>
#include <string>
#include <unordered_map>

#include "sqlengine/Lexer.h"
#include "sqlengine/Messages.h"
#include "sqlengine/SessionImpl.h"

namespace sqlengine {

// A call being rendered, with what the renderings share.
struct FunctionCall {
    Translator& tr;
    const Expr& e;
    std::string& out;

    const std::string& name() const { return e.text; }
    size_t argc() const { return e.args.size(); }
    void arg(size_t i) { tr.expr(*e.args[i], out); }
    // The arguments from `first` on, separated by commas.
    void args(size_t first = 0) {
        for (size_t i = first; i < argc(); ++i) {
            if (i > first) out += ", ";
            arg(i);
        }
    }
    void call(const std::string& sqliteName) {
        out += sqliteName + "(";
        args();
        out += ")";
    }
    // What the renderings need of the translator and the session.
    bool isMaxText(size_t i) { return tr.isMaxText(*e.args[i]); }
    std::string literal(const Value& v) { return tr.literalOrParam(v); }
    const Value& lastIdentity() const { return tr.m_s.m_lastIdentity; }
    const std::string& masterSchema() const { return tr.m_s.m_mst; }
    const std::string& database() const { return tr.m_s.m_dbName; }
    const std::string& login() const { return tr.m_s.m_login; }
    std::string userName() const { return tr.m_s.userName(); }
    void window();
};

namespace {

const char* const kObjects = "main._t7_objects";

using Render = void (*)(FunctionCall&);

struct FunctionDef {
    size_t minArgs;
    size_t maxArgs;
    // Either a rendering, or the SQLite function the call goes to as is.
    Render render;
    const char* sqliteName;
};

constexpr size_t kAny = std::numeric_limits<size_t>::max();

void renderCount(FunctionCall& c) {
    if (c.e.args[0]->kind == ExprKind::Star) {
        c.out += "count(*)";
        return;
    }
    c.out += c.e.distinct ? "count(DISTINCT " : "count(";
    c.arg(0);
    c.out += ")";
}

void renderAggregate(FunctionCall& c) {
    c.out += c.name() + (c.e.distinct ? "(DISTINCT " : "(");
    c.arg(0);
    c.out += ")";
}

void renderTrim(FunctionCall& c) {
    c.out += c.name() + "(";
    c.arg(0);
    c.out += ", ' ')";
}

void renderRound(FunctionCall& c) {
    // The third argument (truncate rather than round) is not SQLite's.
    c.out += "round(";
    c.arg(0);
    c.out += ", ";
    c.arg(1);
    c.out += ")";
}

void renderNamedCall(FunctionCall& c) {
    c.call("_t7_" + c.name());
}

void renderSpace(FunctionCall& c) {
    c.out += "_t7_replicate(' ', ";
    c.arg(0);
    c.out += ", 0)";
}

void renderReplicate(FunctionCall& c) {
    // Only a varchar(max) value grows past 8000.
    c.out += "_t7_replicate(";
    c.args();
    c.out += c.isMaxText(0) ? ", 1)" : ", 0)";
}

void renderChar(FunctionCall& c) {
    // Outside the code range the character is NULL.
    std::string code = c.tr.expr(*c.e.args[0]);
    c.out += "(CASE WHEN " + code + " BETWEEN 0 AND " + (c.name() == "char" ? "255" : "65535") +
             " THEN char(" + code + ") END)";
}

void renderDatePartOf(FunctionCall& c) {
    c.out += "_t7_datepart('" + c.name() + "', ";
    c.arg(0);
    c.out += ")";
}

void renderDateFunction(FunctionCall& c) {
    const Expr& part = *c.e.args[0];
    if (part.kind != ExprKind::Column || part.name.parts.size() != 1)
        throw sqlError<Msg::DatepartNameRequired>(c.name());
    c.out += "_t7_" + c.name() + "('" + part.name.last() + "', ";
    c.args(1);
    c.out += ")";
}

void renderObjectId(FunctionCall& c) {
    c.out += std::string("(SELECT id FROM ") + kObjects + " WHERE name = _t7_objname(";
    c.arg(0);
    c.out += ")";
    if (c.argc() > 1) {
        c.out += " AND xtype = upper(trim(";
        c.arg(1);
        c.out += "))";
    }
    c.out += " ORDER BY parent_obj LIMIT 1)";
}

void renderObjectName(FunctionCall& c) {
    c.out += std::string("(SELECT name FROM ") + kObjects + " WHERE id = ";
    c.arg(0);
    c.out += ")";
}

// OBJECTPROPERTY's property names and the condition on the object row each
// one stands for.
const std::unordered_map<std::string, std::string>& objectProperties() {
    static const std::unordered_map<std::string, std::string> properties = {
        {"isusertable", "xtype = 'U'"},
        {"istable", "xtype = 'U'"},
        {"isview", "xtype = 'V'"},
        {"isprocedure", "xtype = 'P'"},
        {"istrigger", "xtype = 'TR'"},
        {"isprimarykey", "xtype = 'PK'"},
        {"isforeignkey", "xtype = 'F'"},
        {"ischeckcnst", "xtype = 'C'"},
        {"isdefaultcnst", "xtype = 'D'"},
        {"isuniquecnst", "xtype = 'UQ'"},
        {"isconstraint", "xtype IN ('PK','UQ','F','C','D')"},
        {"isscalarfunction", "xtype = 'FN'"},
        {"istablefunction", "xtype IN ('IF','TF')"},
        {"isinlinefunction", "xtype = 'IF'"},
        {"ismsshipped", "0"},
        {"ownerid", "1"},
    };
    return properties;
}

void renderObjectProperty(FunctionCall& c) {
    const Expr& property = *c.e.args[1];
    if (property.kind != ExprKind::String) throw sqlError<Msg::SyntaxErrorNear>("OBJECTPROPERTY");
    auto it = objectProperties().find(toLowerAscii(property.text));
    if (it == objectProperties().end()) throw sqlError<Msg::SyntaxErrorNear>(property.text);
    c.out += "(SELECT CASE WHEN " + it->second + " THEN 1 ELSE 0 END FROM " + kObjects + " WHERE id = ";
    c.arg(0);
    c.out += ")";
}

// The column of _t7_columns (as "c") that COLUMNPROPERTY's property reads.
std::string columnProperty(const Expr& property) {
    if (property.kind != ExprKind::String) throw sqlError<Msg::SyntaxErrorNear>("COLUMNPROPERTY");
    std::string p = toLowerAscii(property.text);
    if (p == "allowsnull") return "1 - c.not_null";
    if (p == "isidentity") return "c.is_identity";
    if (p == "precision") return "CASE WHEN c.prec > 0 THEN c.prec ELSE c.length END";
    if (p == "scale") return "c.scale";
    throw sqlError<Msg::SyntaxErrorNear>(property.text);
}

void renderColumnProperty(FunctionCall& c) {
    bool byName = c.name() == "col_length";
    std::string what = byName ? "c.max_length" : columnProperty(*c.e.args[2]);
    c.out +=
        "(SELECT " + what + " FROM main._t7_columns c JOIN " + kObjects + " o ON o.id = c.table_id WHERE ";
    if (byName) {
        c.out += "o.name = _t7_objname(";
        c.arg(0);
        c.out += ")";
    } else {
        c.out += "o.id = ";
        c.arg(0);
    }
    c.out += " AND c.name = ";
    c.arg(1);
    c.out += " AND o.xtype IN ('U','V'))";
}

void renderIdentCurrent(FunctionCall& c) {
    c.out += std::string("(SELECT coalesce(c.ident_current, c.seed) FROM main._t7_columns c JOIN ") +
             kObjects + " o ON o.id = c.table_id WHERE o.name = _t7_objname(";
    c.arg(0);
    c.out += ") AND c.is_identity = 1)";
}

void renderScopeIdentity(FunctionCall& c) {
    c.out += c.literal(c.lastIdentity());
}

void renderDbName(FunctionCall& c) {
    if (c.argc() == 0) {
        c.out += quoteString(c.database());
        return;
    }
    c.out += "(SELECT name FROM " + c.masterSchema() + "._t7_databases WHERE dbid = ";
    c.arg(0);
    c.out += ")";
}

void renderDbId(FunctionCall& c) {
    c.out += "(SELECT dbid FROM " + c.masterSchema() + "._t7_databases WHERE name = ";
    if (c.argc() == 0)
        c.out += quoteString(c.database());
    else
        c.arg(0);
    c.out += ")";
}

void renderUserName(FunctionCall& c) {
    c.out += quoteString(c.userName());
}
void renderLoginName(FunctionCall& c) {
    c.out += quoteString(c.login());
}
void renderGetdate(FunctionCall& c) {
    c.out += "_t7_getdate()";
}
void renderGetutcdate(FunctionCall& c) {
    c.out += "strftime('%Y-%m-%d %H:%M:%f', 'now')";
}
void renderNewid(FunctionCall& c) {
    c.out += "_t7_newid()";
}

const std::unordered_map<std::string, FunctionDef>& builtinFunctions() {
    static const std::unordered_map<std::string, FunctionDef> functions = {
        {"count", {1, 1, renderCount, nullptr}},
        {"count_big", {1, 1, renderCount, nullptr}},
        {"sum", {1, 1, renderAggregate, nullptr}},
        {"avg", {1, 1, renderAggregate, nullptr}},
        {"min", {1, 1, renderAggregate, nullptr}},
        {"max", {1, 1, renderAggregate, nullptr}},
        {"getdate", {0, 0, renderGetdate, nullptr}},
        {"sysdatetime", {0, 0, renderGetdate, nullptr}},
        {"getutcdate", {0, 0, renderGetutcdate, nullptr}},
        {"isnull", {2, 2, nullptr, "ifnull"}},
        {"coalesce", {2, kAny, nullptr, "coalesce"}},
        {"nullif", {2, 2, nullptr, "nullif"}},
        {"len", {1, 1, nullptr, "_t7_len"}},
        {"datalength", {1, 1, nullptr, "_t7_datalength"}},
        {"upper", {1, 1, nullptr, "upper"}},
        {"lower", {1, 1, nullptr, "lower"}},
        {"ltrim", {1, 1, renderTrim, nullptr}},
        {"rtrim", {1, 1, renderTrim, nullptr}},
        {"substring", {3, 3, nullptr, "_t7_substring"}},
        {"left", {2, 2, nullptr, "_t7_left"}},
        {"right", {2, 2, nullptr, "_t7_right"}},
        {"replace", {3, 3, nullptr, "_t7_replace"}},
        {"charindex", {2, 3, nullptr, "_t7_charindex"}},
        {"newid", {0, 0, renderNewid, nullptr}},
        {"abs", {1, 1, nullptr, "abs"}},
        {"round", {2, 3, renderRound, nullptr}},
        {"floor", {1, 1, renderNamedCall, nullptr}},
        {"ceiling", {1, 1, renderNamedCall, nullptr}},
        {"sqrt", {1, 1, renderNamedCall, nullptr}},
        {"sign", {1, 1, renderNamedCall, nullptr}},
        {"power", {2, 2, nullptr, "_t7_power"}},
        {"str", {1, 3, nullptr, "_t7_str"}},
        {"space", {1, 1, renderSpace, nullptr}},
        {"replicate", {2, 2, renderReplicate, nullptr}},
        {"reverse", {1, 1, nullptr, "_t7_reverse"}},
        {"char", {1, 1, renderChar, nullptr}},
        {"nchar", {1, 1, renderChar, nullptr}},
        {"ascii", {1, 1, nullptr, "unicode"}},
        {"unicode", {1, 1, nullptr, "unicode"}},
        {"isnumeric", {1, 1, nullptr, "_t7_isnumeric"}},
        {"isdate", {1, 1, nullptr, "_t7_isdate"}},
        {"year", {1, 1, renderDatePartOf, nullptr}},
        {"month", {1, 1, renderDatePartOf, nullptr}},
        {"day", {1, 1, renderDatePartOf, nullptr}},
        {"datepart", {2, 2, renderDateFunction, nullptr}},
        {"dateadd", {3, 3, renderDateFunction, nullptr}},
        {"datediff", {3, 3, renderDateFunction, nullptr}},
        {"object_id", {1, 2, renderObjectId, nullptr}},
        {"object_name", {1, 1, renderObjectName, nullptr}},
        {"objectproperty", {2, 2, renderObjectProperty, nullptr}},
        {"col_length", {2, 2, renderColumnProperty, nullptr}},
        {"columnproperty", {3, 3, renderColumnProperty, nullptr}},
        {"ident_current", {1, 1, renderIdentCurrent, nullptr}},
        {"scope_identity", {0, 0, renderScopeIdentity, nullptr}},
        {"db_name", {0, 1, renderDbName, nullptr}},
        {"db_id", {0, 1, renderDbId, nullptr}},
        {"user_name", {0, 0, renderUserName, nullptr}},
        {"current_user", {0, 0, renderUserName, nullptr}},
        {"suser_sname", {0, 0, renderLoginName, nullptr}},
        {"suser_name", {0, 0, renderLoginName, nullptr}},
        {"system_user", {0, 0, renderLoginName, nullptr}},
    };
    return functions;
}

bool isWindowFunction(const std::string& f) {
    return f == "row_number" || f == "rank" || f == "dense_rank" || f == "count" || f == "sum" ||
           f == "min" || f == "max" || f == "avg";
}

}  // namespace

void FunctionCall::window() {
    if (!isWindowFunction(name())) throw sqlError<Msg::UnknownBuiltinFunction>(name());
    if (argc() == 1 && e.args[0]->kind == ExprKind::Star)
        out += name() + "(*)";
    else
        call(name());
    out += " OVER (";
    if (!e.over->partitionBy.empty()) {
        out += "PARTITION BY ";
        for (size_t i = 0; i < e.over->partitionBy.size(); ++i) {
            if (i) out += ", ";
            tr.expr(*e.over->partitionBy[i], out);
        }
        out += " ";
    }
    if (!e.over->orderBy.empty()) {
        out += "ORDER BY ";
        for (size_t i = 0; i < e.over->orderBy.size(); ++i) {
            if (i) out += ", ";
            tr.orderItem(*e.over->orderBy[i].first, out);
            if (e.over->orderBy[i].second) out += " DESC";
        }
    }
    out += ")";
}

void Translator::function(const Expr& e, std::string& out) {
    const std::string& f = e.text;
    if (e.name.parts.size() > 1) {
        std::string xtype;
        if (m_s.findObject(e.name.last(), &xtype) && (xtype == "FN" || xtype == "IF" || xtype == "TF"))
            throw sqlError<Msg::UserFunctionNotRunnable>(e.name.last());
        throw sqlError<Msg::ColumnOrFunctionNotFound>(e.name.parts[0], e.name.parts[0] + "." + e.name.last());
    }
    FunctionCall c{*this, e, out};
    if (e.over) return c.window();
    auto it = builtinFunctions().find(f);
    if (it == builtinFunctions().end()) throw sqlError<Msg::UnknownBuiltinFunction>(f);
    const FunctionDef& def = it->second;
    if (c.argc() < def.minArgs || c.argc() > def.maxArgs)
        throw sqlError<Msg::WrongArgumentCount>(f, def.minArgs);
    if (def.render)
        def.render(c);
    else
        c.call(def.sqliteName);
}

}  // namespace sqlengine
