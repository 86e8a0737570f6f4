// Running batches: statements one by one, control flow, variables,
// procedures and dynamic SQL, and SQLite errors as SQL Server's.
#include <algorithm>
#include <optional>

#include "sqlengine/Functions.h"
#include "sqlengine/Lexer.h"
#include "sqlengine/Messages.h"
#include "sqlengine/Parser.h"
#include "sqlengine/SessionImpl.h"

namespace sqlengine {

std::optional<std::string> SessionImpl::variableText(const std::string& name) const {
    auto it = m_vars.find(toLowerAscii(name));
    if (it == m_vars.end()) throw sqlError<Msg::UndeclaredVariable>(name);
    const Variable& v = it->second;
    if (v.value.isNull()) return std::nullopt;
    if (v.type.scale > 0) return decimalText(v.value, v.type.scale);
    return v.value.toText();
}

std::string SessionImpl::userName() {
    if (m_sysadmin) return "dbo";
    Query q(cached("SELECT name FROM main._t7_users WHERE login = ?"));
    q.bind(1, m_login);
    return q.step() ? q.text(0) : "guest";
}

BatchResult SessionImpl::executeBatch(std::string_view batch) {
    BatchResult result;
    executeBatch(batch, result);
    return result;
}

void SessionImpl::planBatch(const std::vector<StmtPtr>& stmts) {
    // One plain statement needs no savepoint of its own (see runLeaf).
    static const StmtKind compound[] = {
        StmtKind::Use,         StmtKind::If,   StmtKind::While,      StmtKind::Block,
        StmtKind::Transaction, StmtKind::Exec, StmtKind::ExecString, StmtKind::CreateDatabase,
        StmtKind::DropDatabase};
    // Within a script it does: the batch's failure must not undo the
    // batches before it.
    // So it does within a transaction that spans batches: the failure
    // must not undo what the batches before the transaction did.
    m_singleStatement =
        !m_inScript && m_tranCount == 0 && !(m_spanBatches && m_implicitTransactions) && stmts.size() == 1 &&
        std::find(std::begin(compound), std::end(compound), stmts[0]->kind) == std::end(compound);
    // Beginning or ending a transaction needs no lock of its own: one that
    // wrote holds the write lock already.
    static const StmtKind readOnly[] = {StmtKind::Select,      StmtKind::Print,     StmtKind::Declare,
                                        StmtKind::SetVariable, StmtKind::SetOption, StmtKind::Transaction};
    m_batchWrites =
        m_inScript || std::any_of(stmts.begin(), stmts.end(), [](const StmtPtr& s) {
            return std::find(std::begin(readOnly), std::end(readOnly), s->kind) == std::end(readOnly);
        });
}

void SessionImpl::abandonBatch() {
    catalogChanged();
    // SQLite itself may have rolled the transaction back (an
    // interrupted write does): nothing is left to commit.
    bool lost = m_db && m_inTransaction && sqlite3_get_autocommit(m_db);
    if (m_tranCount > 0 && m_db && (!m_spanBatches || lost || m_xactAbort)) {
        // Within a batch a failing statement ends the whole transaction,
        // as with XACT_ABORT ON. One that spans batches goes on, as with
        // SQL Server's default, unless the session set XACT_ABORT ON: the
        // statement's savepoint undid it alone.
        endUserTransaction(BatchResult::TransactionChange::Rollback);
        dropPendingSchema();
        sqlite3_exec(m_db, "ROLLBACK TO usertran; RELEASE usertran", nullptr, nullptr, nullptr);
    }
    m_result = nullptr;
    if (lost) {
        m_inTransaction = false;
        dropPendingSchema();
    }
    try {
        if (m_singleStatement && m_inTransaction) {
            m_inTransaction = false;
            dropPendingSchema();
            execSql(m_db, "ROLLBACK");
        }
        endBatch();
    } catch (const SqliteError&) {
        dropPendingSchema();
        if (m_db) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        m_inTransaction = false;
    }
}

void SessionImpl::executeBatch(std::string_view batch, BatchResult& result) {
    result = {};
    std::vector<StmtPtr> stmts = parseBatch(batch);
    if (!m_db) throw sqlError<Msg::ServerNotFound>();
    try {
        checkRunning();
    } catch (const SqliteError& e) {
        throw mapError(e);
    }
    if (m_cache.size() > kCachedStatements) {
        // Between batches nothing is running: start the cache afresh.
        m_cache.clear();
    }
    m_result = &result;
    m_vars.clear();
    struct Running {
        SessionImpl& s;
        explicit Running(SessionImpl& session) : s(session) {
            std::lock_guard<std::mutex> lock(s.m_dbLock);
            s.m_cancelled = false;
            s.m_running = true;
        }
        ~Running() {
            std::lock_guard<std::mutex> lock(s.m_dbLock);
            s.m_running = false;
            s.m_cancelled = false;
        }
    } running(*this);
    planBatch(stmts);
    try {
        begin();
        refreshCatalog();
        for (const StmtPtr& s : stmts) {
            if (run(*s) == Flow::Return) break;
        }
        if (m_tranCount > 0 && !m_spanBatches) {
            // Transactions live within one batch here; one left open is undone.
            endUserTransaction(BatchResult::TransactionChange::Rollback);
            dropPendingSchema();
            execSql(m_db, "ROLLBACK TO usertran; RELEASE usertran");
            endBatch();
            throw sqlError<Msg::TransactionCountMismatch>();
        }
        endBatch();
    } catch (...) {
        abandonBatch();
        // Failures of SQLite outside a statement (the batch's own begin or
        // commit) still reach the client as server errors.
        try {
            throw;
        } catch (const SqliteError& e) {
            throw mapError(e);
        }
    }
    m_result = nullptr;
}

namespace {

SqlError cancelled() {
    return sqlError<Msg::QueryCanceled>();
}

}  // namespace

SessionImpl::Flow SessionImpl::run(const Stmt& s) {
    if (m_cancelled) throw cancelled();
    switch (s.kind) {
        case StmtKind::Block:
            for (const StmtPtr& inner : static_cast<const BlockStmt&>(s).body) {
                Flow f = run(*inner);
                if (f != Flow::Normal) return f;
            }
            return Flow::Normal;
        case StmtKind::If: {
            const auto& st = static_cast<const IfStmt&>(s);
            if (condition(*st.condition)) return run(*st.then);
            if (st.otherwise) return run(*st.otherwise);
            return Flow::Normal;
        }
        case StmtKind::While: {
            const auto& st = static_cast<const WhileStmt&>(s);
            while (condition(*st.condition)) {
                Flow f = run(*st.body);
                if (f == Flow::Break) break;
                if (f == Flow::Return) return f;
            }
            return Flow::Normal;
        }
        case StmtKind::Break:
            return Flow::Break;
        case StmtKind::Continue:
            return Flow::Continue;
        case StmtKind::Return:
            return Flow::Return;
        case StmtKind::Use:
            if (m_tranCount > 0) throw sqlError<Msg::UseInTransaction>();
            switchDatabase(static_cast<const NameStmt&>(s).names[0]);
            return Flow::Normal;
        case StmtKind::Transaction: {
            const auto& t = static_cast<const TransactionStmt&>(s);
            if (!t.nameValue) {
                runTransaction(t.action, t.name);
            } else {
                // A variable holds the name; NULL is no name.
                Value name = evaluate(*t.nameValue);
                runTransaction(t.action, name.isNull() ? std::string() : transactionName(name.toText()));
            }
            return Flow::Normal;
        }
        case StmtKind::CreateDatabase:
        case StmtKind::DropDatabase:
            runServerStatement(s);
            return Flow::Normal;
        case StmtKind::Exec:
        case StmtKind::ExecString:
            // A procedure or dynamic batch is not atomic as a whole: each of
            // its statements is, and those before a failure stay.
            try {
                runStatement(s);
            } catch (const SqliteError& e) {
                throw mapError(e);
            }
            return Flow::Normal;
        default:
            return runLeaf(s);
    }
}

SqlError SessionImpl::mapError(const SqliteError& e) {
    std::string msg = e.what();
    int number;
    std::string text;
    if (decodeError(msg, number, text)) return SqlError(number, text);
    if ((e.code() & 0xFF) == SQLITE_INTERRUPT || m_cancelled) return cancelled();
    // SQLite's own bounds on a statement: its parser's stack and the
    // depth of an expression.
    if (msg == "parser stack overflow" || msg.rfind("Expression tree is too large", 0) == 0)
        return nestedTooDeeply();
    auto after = [&](const std::string& prefix) -> std::optional<std::string> {
        if (msg.rfind(prefix, 0) != 0) return std::nullopt;
        std::string rest = msg.substr(prefix.size());
        if (rest.rfind("main.", 0) == 0) rest = rest.substr(5);
        return rest;
    };
    if (auto t = after("no such table: ")) return sqlError<Msg::InvalidObjectName>(*t);
    if (auto t = after("no such column: ")) {
        std::string c = *t;
        size_t dot = c.rfind('.');
        if (dot != std::string::npos) c = c.substr(dot + 1);
        return sqlError<Msg::InvalidColumnName>(c);
    }
    if (auto t = after("ambiguous column name: ")) return sqlError<Msg::AmbiguousColumnName>(*t);
    if (auto t = after("no such function: ")) return sqlError<Msg::UnknownBuiltinFunction>(*t);
    if (auto t = after("UNIQUE constraint failed: ")) {
        // "T.a, T.b": find the unique index over exactly these columns.
        std::string list = *t;
        std::string table = list.substr(0, list.find('.'));
        std::vector<std::string> cols;
        size_t pos = 0;
        while (pos < list.size()) {
            size_t comma = list.find(", ", pos);
            std::string part = list.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
            cols.push_back(part.substr(part.find('.') + 1));
            if (comma == std::string::npos) break;
            pos = comma + 2;
        }
        TablePtr info = findTable(table);
        if (info) {
            for (const IndexInfo& ix : info->indexes) {
                if (ix.columns.size() != cols.size()) continue;
                bool same = true;
                for (size_t i = 0; i < cols.size(); ++i)
                    same = same && equalsIgnoreCase(ix.columns[i].name, cols[i]);
                if (!same) continue;
                if (ix.kind == "PK")
                    return sqlError<Msg::ConstraintViolation>("PRIMARY KEY", ix.name, "dbo." + info->name);
                if (ix.kind == "UQ")
                    return sqlError<Msg::ConstraintViolation>("UNIQUE KEY", ix.name, "dbo." + info->name);
                return sqlError<Msg::DuplicateKeyRow>("dbo." + info->name, ix.name);
            }
        }
        return sqlError<Msg::DuplicateKey>("dbo." + table);
    }
    if ((e.code() & 0xFF) == SQLITE_BUSY || (e.code() & 0xFF) == SQLITE_LOCKED) return lockTimeout();
    if (msg.find("values for") != std::string::npos && msg.find("columns") != std::string::npos)
        return sqlError<Msg::InsertSelectListTooLong>();
    if (msg.find("syntax error") != std::string::npos || msg.find("near \"") != std::string::npos)
        return sqlError<Msg::SyntaxErrorNear>(msg);
    return sqlError<Msg::EngineError>(msg);
}

SessionImpl::Flow SessionImpl::runLeaf(const Stmt& s) {
    // A batch of one statement needs no savepoint: the batch's own
    // transaction is rolled back when it fails.
    bool savepoint = !(m_singleStatement && m_execDepth == 0);
    // Statements that only change the schema may hold their SQLite schema
    // changes back; any other first carries out what is held back.
    static const StmtKind schemaOnly[] = {StmtKind::CreateTable,  StmtKind::AlterTable, StmtKind::CreateIndex,
                                          StmtKind::CreateModule, StmtKind::Declare,    StmtKind::SetOption};
    bool outer = m_execDepth == 0;
    if (outer && m_implicitTransactions && m_spanBatches && m_tranCount == 0 && opensImplicitTransaction(s))
        runTransaction("BEGIN");
    if (outer) {
        bool deferring =
            std::find(std::begin(schemaOnly), std::end(schemaOnly), s.kind) != std::end(schemaOnly);
        if (!deferring) flushSchema();
        m_pending.beginStatement(deferring);
    }
    ++m_execDepth;
    std::string sp = "sp" + std::to_string(m_execDepth);
    if (savepoint) Query(cached("SAVEPOINT " + sp)).run();
    m_writeRules.clear();
    m_identities.clear();
    auto undo = [&] {
        if (savepoint && m_db)
            sqlite3_exec(m_db, ("ROLLBACK TO " + sp + "; RELEASE " + sp).c_str(), nullptr, nullptr, nullptr);
        --m_execDepth;
        if (outer) m_pending.undoStatement();
        catalogChanged();
    };
    try {
        runStatement(s);
        finishIdentities();
        if (savepoint) Query(cached("RELEASE " + sp)).run();
    } catch (const SqliteError& e) {
        SqlError mapped = mapError(e);
        undo();
        throw mapped;
    } catch (...) {
        undo();
        throw;
    }
    --m_execDepth;
    if (outer) m_pending.endStatement();
    return Flow::Normal;
}

void SessionImpl::runStatement(const Stmt& s) {
    requireSchemaRight(s);
    switch (s.kind) {
        case StmtKind::Select:
            runSelect(static_cast<const SelectStmt&>(s));
            break;
        case StmtKind::Insert:
            runInsert(static_cast<const InsertStmt&>(s));
            break;
        case StmtKind::Update:
            runUpdate(static_cast<const UpdateStmt&>(s));
            break;
        case StmtKind::Delete:
            runDelete(static_cast<const DeleteStmt&>(s));
            break;
        case StmtKind::Truncate:
            runTruncate(static_cast<const TruncateStmt&>(s));
            break;
        case StmtKind::Exec:
            runExec(static_cast<const ExecStmt&>(s));
            break;
        case StmtKind::ExecString:
            runExecString(static_cast<const ExecStringStmt&>(s));
            break;
        case StmtKind::Declare:
            runDeclare(static_cast<const DeclareStmt&>(s));
            break;
        case StmtKind::SetVariable:
            runSetVariable(static_cast<const SetVariableStmt&>(s));
            break;
        case StmtKind::SetOption:
            runSetOption(static_cast<const SetOptionStmt&>(s));
            break;
        case StmtKind::SetIdentityInsert:
            runSetIdentityInsert(static_cast<const SetIdentityInsertStmt&>(s));
            break;
        case StmtKind::Print: {
            Value v = evaluate(*static_cast<const ExprStmt&>(s).value);
            if (m_result) m_result->messages.push_back(v.toText());
            break;
        }
        case StmtKind::Transaction:
            throw sqlError<Msg::ExplicitTransactions>();
        default:
            runDefinition(s);
    }
}

void SessionImpl::runSetVariable(const SetVariableStmt& st) {
    if (!m_vars.count(st.name)) throw sqlError<Msg::UndeclaredVariable>(st.name);
    if (st.op == "=") {
        assign(st.name, evaluate(*st.value));
    } else {
        auto target = std::make_unique<Expr>();
        target->kind = ExprKind::Variable;
        target->text = st.name;
        Expr bin;
        bin.kind = ExprKind::BinaryOp;
        bin.text = st.op.substr(0, 1);
        bin.args.push_back(std::move(target));
        // The value expression is owned by the statement; evaluate it
        // first and combine through a literal.
        Value rhs = evaluate(*st.value);
        auto lit = std::make_unique<Expr>();
        lit->kind = ExprKind::Variable;
        lit->text = "@@t7_rhs";
        m_vars["@@t7_rhs"] = Variable{TypeSpec{}, rhs};
        bin.args.push_back(std::move(lit));
        Value v;
        try {
            v = evaluate(bin);
        } catch (...) {
            m_vars.erase("@@t7_rhs");
            throw;
        }
        m_vars.erase("@@t7_rhs");
        assign(st.name, v);
    }
}

void SessionImpl::runDefinition(const Stmt& s) {
    switch (s.kind) {
        case StmtKind::CreateTable:
            runCreateTable(static_cast<const CreateTableStmt&>(s));
            break;
        case StmtKind::AlterTable:
            runAlterTable(static_cast<const AlterTableStmt&>(s));
            break;
        case StmtKind::CreateIndex:
            runCreateIndex(static_cast<const CreateIndexStmt&>(s));
            break;
        case StmtKind::DropObject:
            runDropObject(static_cast<const DropObjectStmt&>(s));
            break;
        case StmtKind::CreateModule:
            runCreateModule(static_cast<const CreateModuleStmt&>(s));
            break;
        case StmtKind::CreateLogin:
            runCreateLogin(static_cast<const LoginStmt&>(s));
            break;
        case StmtKind::AlterLogin:
            runAlterLogin(static_cast<const LoginStmt&>(s));
            break;
        case StmtKind::DropLogin:
            runDropLogin(static_cast<const NameStmt&>(s));
            break;
        case StmtKind::CreateUser:
            runCreateUser(static_cast<const CreateUserStmt&>(s));
            break;
        case StmtKind::DropUser:
            runDropUser(static_cast<const NameStmt&>(s));
            break;
        default:
            throw sqlError<Msg::SyntaxError>();
    }
}

Value SessionImpl::evaluate(const Expr& e) {
    Translator t(*this);
    std::string sql = "SELECT " + t.expr(e);
    Query q = prepare(sql);
    t.bindAll(q);
    if (!q.step()) return Value::null();
    return q.value(0);
}

bool SessionImpl::condition(const Expr& e) {
    Translator t(*this);
    std::string sql = "SELECT CASE WHEN " + t.expr(e) + " THEN 1 ELSE 0 END";
    try {
        Query q = prepare(sql);
        t.bindAll(q);
        return q.step() && q.integer(0) == 1;
    } catch (const SqliteError& err) {
        throw mapError(err);
    }
}

void SessionImpl::assign(const std::string& var, const Value& v) {
    auto it = m_vars.find(var);
    if (it == m_vars.end()) throw sqlError<Msg::UndeclaredVariable>(var);
    it->second.value = it->second.type.name.empty() ? v : convertValue(v, it->second.type, ConvertMode::Cast);
}

void SessionImpl::runDeclare(const DeclareStmt& s) {
    for (const DeclareItem& item : s.items) {
        if (m_vars.count(item.name)) throw sqlError<Msg::VariableAlreadyDeclared>(item.name);
        if (!isKnownType(item.type.name)) throw sqlError<Msg::UnknownDataType>(1, item.type.name);
        m_vars[item.name] = Variable{normalizeType(item.type, false), Value::null()};
        if (item.init) assign(item.name, evaluate(*item.init));
    }
}

void SessionImpl::runExecString(const ExecStringStmt& s) {
    Value text = evaluate(*s.text);
    if (!text.isNull()) runText(text.toText());
}

SessionImpl::NestLevel::NestLevel(SessionImpl& s) : m_s(s) {
    if (m_s.m_nestLevel == kMaxNestLevel) throw sqlError<Msg::NestingLevelExceeded>(kMaxNestLevel);
    ++m_s.m_nestLevel;
}

void SessionImpl::runText(const std::string& sql) {
    // Dynamic SQL is a batch of its own, with its own variables.
    NestLevel nest(*this);
    std::vector<StmtPtr> stmts = parseBatch(sql);
    auto saved = std::move(m_vars);
    m_vars.clear();
    // Dynamic SQL runs with the caller's own rights, even in a procedure.
    int moduleDepth = m_moduleDepth;
    m_moduleDepth = 0;
    try {
        for (const StmtPtr& st : stmts)
            if (run(*st) == Flow::Return) break;
    } catch (...) {
        m_vars = std::move(saved);
        m_moduleDepth = moduleDepth;
        throw;
    }
    m_vars = std::move(saved);
    m_moduleDepth = moduleDepth;
}

void SessionImpl::runExec(const ExecStmt& s) {
    std::string name = toLowerAscii(s.proc.last());
    if (name == "sp_addrolemember") return roleMember(s, true);
    if (name == "sp_droprolemember") return roleMember(s, false);
    if (name == "sp_addsrvrolemember") return serverRoleMember(s, true);
    if (name == "sp_dropsrvrolemember") return serverRoleMember(s, false);
    if (name == "sp_addlogin") return runAddLogin(s);
    if (name == "sp_executesql") {
        // Only the statement itself; parameterised calls are not supported.
        if (s.args.size() != 1 || (!s.args[0].param.empty() && s.args[0].param != "@statement"))
            throw sqlError<Msg::ExecuteSqlParameters>();
        Value text = evaluate(*s.args[0].value);
        if (!text.isNull()) runText(text.toText());
        return;
    }
    runProcedure(s.proc.last(), s);
}

void SessionImpl::runProcedure(const std::string& name, const ExecStmt& s) {
    NestLevel nest(*this);
    std::string definition;
    {
        // Done with before the body runs: the body may call this procedure.
        Query q(cached("SELECT definition FROM main._t7_objects WHERE name = ? AND xtype = 'P'"));
        q.bind(1, name);
        if (!q.step()) throw sqlError<Msg::ProcedureNotFound>(name);
        definition = q.text(0);
    }
    std::vector<StmtPtr> parsed = parseBatch(definition);
    if (parsed.empty() || parsed[0]->kind != StmtKind::CreateModule)
        throw sqlError<Msg::ProcedureNotFound>(name);
    const auto& proc = static_cast<const CreateModuleStmt&>(*parsed[0]);
    requireExecute(name);
    // Arguments are evaluated in the caller's scope.
    std::unordered_map<std::string, Variable> locals;
    std::vector<bool> given(proc.params.size(), false);
    for (size_t i = 0; i < s.args.size(); ++i) {
        const ExecArg& a = s.args[i];
        size_t p = i;
        if (!a.param.empty()) {
            p = proc.params.size();
            for (size_t k = 0; k < proc.params.size(); ++k)
                if (proc.params[k].name == a.param) p = k;
            if (p == proc.params.size()) throw sqlError<Msg::NotAParameter>(a.param, name);
        } else if (p >= proc.params.size()) {
            throw sqlError<Msg::TooManyArguments>(name);
        }
        if (a.value->kind == ExprKind::Default) continue;
        TypeSpec type = normalizeType(proc.params[p].type, false);
        locals[proc.params[p].name] =
            Variable{type, convertValue(evaluate(*a.value), type, ConvertMode::Cast)};
        given[p] = true;
    }
    auto saved = std::move(m_vars);
    m_vars.clear();
    try {
        for (size_t p = 0; p < proc.params.size(); ++p) {
            TypeSpec type = normalizeType(proc.params[p].type, false);
            if (given[p]) {
                m_vars[proc.params[p].name] = locals[proc.params[p].name];
            } else if (proc.params[p].defaultValue) {
                m_vars[proc.params[p].name] = Variable{type, Value::null()};
                assign(proc.params[p].name, evaluate(*proc.params[p].defaultValue));
            } else {
                throw sqlError<Msg::ParameterNotSupplied>(name, proc.params[p].name);
            }
        }
        std::vector<StmtPtr> body = parseBatch(proc.bodyText);
        ++m_moduleDepth;
        try {
            for (const StmtPtr& st : body)
                if (run(*st) == Flow::Return) break;
        } catch (...) {
            --m_moduleDepth;
            throw;
        }
        --m_moduleDepth;
    } catch (...) {
        m_vars = std::move(saved);
        throw;
    }
    auto procVars = std::move(m_vars);
    m_vars = std::move(saved);
    for (size_t i = 0; i < s.args.size(); ++i) {
        const ExecArg& a = s.args[i];
        if (!a.output || a.value->kind != ExprKind::Variable) continue;
        std::string pname = a.param.empty() && i < proc.params.size() ? proc.params[i].name : a.param;
        auto it = procVars.find(pname);
        if (it != procVars.end()) assign(a.value->text, it->second.value);
    }
    if (!s.returnVariable.empty()) assign(s.returnVariable, Value::integer(0));
}

}  // namespace sqlengine
