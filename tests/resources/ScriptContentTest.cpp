// Structural checks of the embedded scripts, read as the wizard loads them.
// They hold without a server: what the schema must contain, the guards that
// make the upgrade and log scripts safe to repeat, the rules SQL Server puts
// on batches, and the consistency of the default rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

// GCC 12 reports a false maybe-uninitialized inside <regex> when building
// with the sanitizers.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <regex>
#pragma GCC diagnostic pop
#else
#include <regex>
#endif

#include "ScriptTestSupport.h"
#include "base/Text.h"

namespace t7 {
namespace {

using test::embeddedScript;
using test::sourceFile;
using test::splitAtSeparators;
using test::withoutComments;

std::wstring scriptOrFixture(const std::wstring& name) {
    if (name == L"previous-release") return sourceFile("tests/fixtures/previous-release.sql");
    return embeddedScript(name);
}

// Batches of a script with comments blanked out.
std::vector<std::wstring> batches(const std::wstring& name) {
    std::vector<std::wstring> out;
    for (const std::wstring& b : splitAtSeparators(scriptOrFixture(name)).batches)
        out.push_back(withoutComments(b));
    return out;
}

std::wregex re(const std::wstring& pattern) {
    return std::wregex(pattern, std::regex_constants::icase | std::regex_constants::ECMAScript);
}

// Index of the parenthesis that closes the one at `open`, quotes respected;
// npos when it is not closed.
size_t closingParen(const std::wstring& text, size_t open) {
    int depth = 0;
    for (size_t i = open; i < text.size(); ++i) {
        if (text[i] == L'\'') {
            size_t close = text.find(L'\'', i + 1);
            if (close == std::wstring::npos) return std::wstring::npos;
            i = close;
        } else if (text[i] == L'(') {
            ++depth;
        } else if (text[i] == L')' && --depth == 0) {
            return i;
        }
    }
    return std::wstring::npos;
}

// Items of a parenthesised list, split at top-level commas.
std::vector<std::wstring> listItems(const std::wstring& text, size_t open) {
    std::vector<std::wstring> items;
    size_t close = closingParen(text, open);
    if (close == std::wstring::npos) return items;
    int depth = 0;
    std::wstring item;
    for (size_t i = open + 1; i < close; ++i) {
        wchar_t c = text[i];
        if (c == L'\'') {
            size_t end = text.find(L'\'', i + 1);
            item += text.substr(i, end - i + 1);
            i = end;
            continue;
        }
        if (c == L'(') ++depth;
        if (c == L')') --depth;
        if (c == L',' && depth == 0) {
            items.push_back(item);
            item.clear();
        } else {
            item += c;
        }
    }
    items.push_back(item);
    return items;
}

// Lower case, single blanks, no blanks around parentheses and commas.
std::wstring normalized(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : asciiLower(text)) {
        bool blank = c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
        if (blank) {
            if (!out.empty() && out.back() != L' ') out += L' ';
            continue;
        }
        if ((c == L'(' || c == L')' || c == L',') && !out.empty() && out.back() == L' ') out.pop_back();
        out += c;
    }
    while (!out.empty() && out.back() == L' ') out.pop_back();
    std::wstring compact;
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == L' ' && i > 0 && (out[i - 1] == L'(' || out[i - 1] == L',')) continue;
        compact += out[i];
    }
    return compact;
}

// A column definition reduced to name, type, identity and nullability.
std::wstring columnShape(const std::wstring& definition) {
    std::wstring d = normalized(definition);
    d = std::regex_replace(d, re(L" constraint \\w+ default ?\\(.*\\)$"), L"");
    d = std::regex_replace(d, re(L" default ?\\(.*\\)$"), L"");
    d = std::regex_replace(d, re(L" collate chinese_prc_ci_as"), L"");
    return d;
}

std::wstring columnName(const std::wstring& shape) {
    return shape.substr(0, shape.find(L' '));
}

bool isTextType(const std::wstring& shape) {
    return std::regex_search(shape, re(L"^\\w+ (n?(var)?char|n?text)\\b"));
}

struct TableDef {
    std::vector<std::wstring> columns;  // as written
};

// Tables created by a script, with their column definitions.
std::map<std::wstring, TableDef> createdTables(const std::vector<std::wstring>& script) {
    std::map<std::wstring, TableDef> tables;
    std::wregex create = re(L"\\bcreate\\s+table\\s+\\[?(\\w+)\\]?\\s*\\(");
    for (const std::wstring& b : script) {
        for (std::wsregex_iterator it(b.begin(), b.end(), create), end; it != end; ++it) {
            size_t open = static_cast<size_t>(it->position(0) + it->length(0) - 1);
            TableDef def;
            for (const std::wstring& item : listItems(b, open)) {
                if (!std::regex_search(item, re(L"^\\s*constraint\\b"))) def.columns.push_back(item);
            }
            tables[asciiLower((*it)[1].str())] = def;
        }
    }
    return tables;
}

std::set<std::wstring> names(const std::vector<std::wstring>& script, const std::wstring& pattern,
                             int group = 1) {
    std::set<std::wstring> out;
    std::wregex r = re(pattern);
    for (const std::wstring& b : script) {
        for (std::wsregex_iterator it(b.begin(), b.end(), r), end; it != end; ++it) {
            out.insert(asciiLower((*it)[group].str()));
        }
    }
    return out;
}

std::set<std::wstring> lowered(std::initializer_list<const wchar_t*> list) {
    std::set<std::wstring> out;
    for (const wchar_t* s : list) out.insert(asciiLower(s));
    return out;
}

// The tables a new examination database has.
// clang-format off
const wchar_t* const kSchemaTables[] = {
    L"ANSWERSHEET_CACHE", L"ANSWERSHEET_DELETE", L"COURSEPERMISSION", L"FEATUREFORMAT", L"GroupInfo",
    L"OfficeCompareEnum", L"OfficeCompareItem", L"PAPER_DELETE", L"PROBLEMGROUP", L"PaperAnalyze",
    L"PaperAuditRecord", L"PaperAuditSetting", L"PaperPrintSetting", L"ProblemComments",
    L"REF_PROBLEMTYPE", L"ROLEADMIN", L"RightItem", L"SUBJECT", L"ServerConfig", L"SystemConfig",
    L"USERDETAILFIELDS", L"USER_DELETE", L"UserConfig", L"UserLog", L"UserTextSettings", L"COURSE",
    L"CoursesGroups", L"FEATURE", L"GroupRole", L"PAPERDESIGN", L"PROBLEM", L"RolesRights", L"USERINFO",
    L"CONTENT", L"COURSESSUBJECTS", L"CourseExt", L"CoursePracticeSetting", L"CoursesUsers",
    L"FEATUREPARTITION", L"GroupUser", L"LOCKEDPROBLEM", L"PAPER", L"PROBLEMSFEATURES", L"ProblemDetails",
    L"ProblemExt", L"RESULT", L"USERDETAILS", L"UserFavoriteType", L"UserRole", L"UsersRights",
    L"ANSWERSHEET", L"COURSESFEATUREPARTITIONS", L"PAPERTEACHER", L"PROBLEMSCONTENTS", L"Practice",
    L"SYLLABUS", L"TESTARRANGE", L"TestSetting", L"USERPERMISSION", L"UserProblem", L"ExamLog",
    L"PaperTeacherProblem", L"PaperTeacherStudent", L"PracticeResult", L"TESTSTUDENT", L"ExamMessage"
};
// clang-format on

TEST(ScriptContentTest, SchemaScriptHasAboutTwoHundredSeventySeparatorsInAllThreeSpellings) {
    test::SplitScript split = splitAtSeparators(embeddedScript(L"T7SQL"));
    EXPECT_GE(split.separators.size(), 250u);
    EXPECT_LE(split.separators.size(), 290u);
    std::set<std::wstring> spellings(split.separators.begin(), split.separators.end());
    EXPECT_TRUE(spellings.count(L"GO"));
    EXPECT_TRUE(spellings.count(L"go"));
    EXPECT_TRUE(spellings.count(L" go"));
}

TEST(ScriptContentTest, SchemaScriptCreatesEveryTableTheProceduresAndTheTrigger) {
    std::vector<std::wstring> script = batches(L"T7SQL");
    std::set<std::wstring> tables = names(script, L"\\bcreate\\s+table\\s+(\\w+)");
    for (const wchar_t* name : kSchemaTables) {
        std::wstring t = asciiLower(name);
        EXPECT_TRUE(tables.count(t)) << toUtf8(t);
    }
    EXPECT_EQ(names(script, L"\\bcreate\\s+proc(?:edure)?\\s+(\\w+)"),
              lowered({L"sp_drop_group", L"sp_drop_role", L"sp_drop_content", L"sp_drop_course",
                       L"sp_drop_course_featurepartition", L"sp_drop_feature", L"sp_drop_featurepartition",
                       L"sp_drop_problem", L"sp_drop_subject", L"sp_update_ProblemsContents",
                       L"sp_drop_paper", L"sp_drop_user"}));
    EXPECT_EQ(names(script, L"\\bcreate\\s+trigger\\s+(\\w+)"), lowered({L"tri_Fea_Upd_subjectsensitive"}));
    // Every table of the schema has a primary key.
    std::set<std::wstring> keyed =
        names(script, L"\\balter\\s+table\\s+(\\w+)\\s+add\\s+constraint\\s+\\w+\\s+primary");
    EXPECT_EQ(keyed, tables);
}

class AccountTablesTest : public ::testing::TestWithParam<const wchar_t*> {};

// The administrator step writes these tables; their columns are fixed.
TEST_P(AccountTablesTest, HaveExactlyTheColumnsTheAdministratorStepWrites) {
    auto tables = createdTables(batches(GetParam()));
    std::map<std::wstring, std::vector<std::wstring>> expected = {
        {L"userinfo",
         {L"userid int identity(1,1) not null", L"name nvarchar(50) not null", L"password nvarchar(100) null",
          L"pwd nvarchar(50) null", L"role int not null", L"usercode nvarchar(100) null",
          L"chinesename nvarchar(50) null", L"lastupdated datetime not null"}},
        {L"userrole", {L"userid int not null", L"roleid int not null"}},
        {L"coursesusers", {L"userid int not null", L"courseid int not null"}},
    };
    for (const auto& [table, columns] : expected) {
        ASSERT_TRUE(tables.count(table)) << toUtf8(table);
        std::vector<std::wstring> shapes;
        for (const std::wstring& c : tables[table].columns) shapes.push_back(columnShape(c));
        EXPECT_EQ(shapes, columns) << toUtf8(table);
    }
}

INSTANTIATE_TEST_SUITE_P(Scripts, AccountTablesTest, ::testing::Values(L"T7SQL", L"T7UPDATE"));

class SchemaScriptTest : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(SchemaScriptTest, TextColumnsUseTheChineseCollation) {
    std::vector<std::wstring> script = batches(GetParam());
    std::vector<std::wstring> definitions;
    for (const auto& [table, def] : createdTables(script)) {
        definitions.insert(definitions.end(), def.columns.begin(), def.columns.end());
    }
    std::wregex added =
        re(L"\\balter\\s+table\\s+\\w+\\s+(?:add|alter\\s+column)\\s+(?!constraint\\b)([^\\n]*)");
    for (const std::wstring& b : script) {
        for (std::wsregex_iterator it(b.begin(), b.end(), added), end; it != end; ++it) {
            definitions.push_back((*it)[1].str());
        }
    }
    ASSERT_FALSE(definitions.empty());
    for (const std::wstring& d : definitions) {
        if (!isTextType(normalized(d))) continue;
        EXPECT_TRUE(std::regex_search(d, re(L"\\bcollate\\s+Chinese_PRC_CI_AS\\b"))) << toUtf8(d);
    }
}

INSTANTIATE_TEST_SUITE_P(Scripts, SchemaScriptTest,
                         ::testing::Values(L"T7SQL", L"T7UPDATE", L"OSTRELLOG", L"previous-release"));

class AnyScriptTest : public ::testing::TestWithParam<const wchar_t*> {};

// SQL Server requires these statements to begin their batch.
TEST_P(AnyScriptTest, ViewProcedureAndTriggerStartTheirBatch) {
    std::wregex create = re(L"\\bcreate\\s+(view|proc|procedure|trigger|function)\\b");
    for (const std::wstring& b : batches(GetParam())) {
        auto count =
            std::distance(std::wsregex_iterator(b.begin(), b.end(), create), std::wsregex_iterator());
        if (count == 0) continue;
        EXPECT_EQ(count, 1) << toUtf8(b);
        EXPECT_TRUE(std::regex_search(b, re(L"^\\s*create\\s+(view|proc|procedure|trigger|function)\\b")))
            << toUtf8(b);
    }
}

INSTANTIATE_TEST_SUITE_P(Scripts, AnyScriptTest,
                         ::testing::Values(L"T7SQL", L"T7DATA", L"T7UPDATE", L"OSTRELLOG",
                                           L"previous-release"));

// The guard right before `statementPos`: "if [not] exists (...)" with nothing
// after its closing parenthesis. Empty when there is none.
std::wstring guardBefore(const std::wstring& batch, size_t statementPos, bool negated) {
    std::wstring before = batch.substr(0, statementPos);
    std::wregex ifs = re(negated ? L"\\bif\\s+not\\s+exists\\s*\\(" : L"\\bif\\s+exists\\s*\\(");
    std::wsmatch last;
    bool found = false;
    for (std::wsregex_iterator it(before.begin(), before.end(), ifs), end; it != end; ++it) {
        last = *it;
        found = true;
    }
    if (!found) return L"";
    size_t open = static_cast<size_t>(last.position(0) + last.length(0) - 1);
    size_t close = closingParen(before, open);
    if (close == std::wstring::npos) return L"";
    if (before.find_first_not_of(L" \t\r\n", close + 1) != std::wstring::npos) return L"";
    return asciiLower(before.substr(open, close - open + 1));
}

bool mentions(const std::wstring& guard, const std::wstring& name) {
    return guard.find(L"'" + asciiLower(name) + L"'") != std::wstring::npos;
}

class GuardedScriptTest : public ::testing::TestWithParam<const wchar_t*> {};

// Each object is tested for existence, or dropped before it is created, so
// the script is safe on a database that already has it.
TEST_P(GuardedScriptTest, EveryObjectIsTestedForExistenceOrDroppedFirst) {
    std::vector<std::wstring> script = batches(GetParam());
    struct Rule {
        const wchar_t* pattern;
        bool negated;
        std::vector<int> groups;  // names the guard must mention
    };
    const Rule rules[] = {
        {L"\\bcreate\\s+table\\s+(\\w+)", true, {1}},
        {L"\\bcreate\\s+(?:unique\\s+)?(?:clustered\\s+|nonclustered\\s+)?index\\s+(\\w+)\\s+on\\s+(\\w+)",
         true,
         {1, 2}},
        {L"\\balter\\s+table\\s+(\\w+)\\s+add\\s+constraint\\s+(\\w+)", true, {2}},
        {L"\\balter\\s+table\\s+(\\w+)\\s+add\\s+(?!constraint\\b)(\\w+)", true, {1, 2}},
        {L"\\balter\\s+table\\s+(\\w+)\\s+alter\\s+column\\s+(\\w+)", false, {1, 2}},
        {L"\\bdrop\\s+(?:view|procedure|proc|trigger|table|index)\\s+(\\w+)", false, {1}},
    };
    int checked = 0;
    for (const std::wstring& b : script) {
        for (const Rule& rule : rules) {
            std::wregex r = re(rule.pattern);
            for (std::wsregex_iterator it(b.begin(), b.end(), r), end; it != end; ++it) {
                std::wstring guard = guardBefore(b, static_cast<size_t>(it->position(0)), rule.negated);
                for (int g : rule.groups) {
                    EXPECT_TRUE(mentions(guard, (*it)[g].str())) << "unguarded: " << toUtf8(it->str(0));
                }
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 0);

    // A view, procedure or trigger starts its own batch, so it cannot carry a
    // guard: an earlier batch drops it when it exists.
    std::wregex create = re(L"^\\s*create\\s+(view|proc|procedure|trigger)\\s+(\\w+)");
    for (size_t i = 0; i < script.size(); ++i) {
        std::wsmatch m;
        if (!std::regex_search(script[i], m, create)) continue;
        std::wstring kind = asciiLower(m[1].str()) == L"proc" ? L"procedure" : asciiLower(m[1].str());
        std::wregex drop = re(L"\\bdrop\\s+" + kind + L"\\s+" + m[2].str() + L"\\b");
        bool dropped = false;
        for (size_t k = 0; k < i && !dropped; ++k) {
            std::wsmatch d;
            if (std::regex_search(script[k], d, drop)) {
                dropped =
                    mentions(guardBefore(script[k], static_cast<size_t>(d.position(0)), false), m[2].str());
            }
        }
        EXPECT_TRUE(dropped) << "not dropped before it is created: " << toUtf8(m[2].str());
    }
}

INSTANTIATE_TEST_SUITE_P(Scripts, GuardedScriptTest, ::testing::Values(L"T7UPDATE", L"OSTRELLOG"));

TEST(ScriptContentTest, LogScriptHasTheFourTablesAndTwoTriggers) {
    std::vector<std::wstring> script = batches(L"OSTRELLOG");
    EXPECT_EQ(names(script, L"\\bcreate\\s+table\\s+(\\w+)"),
              lowered({L"Answer_Log", L"Answer_Log_History", L"Ostrel_Log", L"Ostrel_Log_History"}));
    EXPECT_EQ(names(script, L"\\bcreate\\s+trigger\\s+(\\w+)"),
              lowered({L"trigger_Answer_Log_Delete", L"trigger_Ostrel_Log_Delete"}));
}

// Every object of a new database is also made by the upgrade, and the
// previous release has nothing that a new database lacks.
TEST(ScriptContentTest, UpgradeMakesEveryObjectOfTheNewSchema) {
    std::vector<std::wstring> schema = batches(L"T7SQL");
    std::vector<std::wstring> update = batches(L"T7UPDATE");
    std::vector<std::wstring> previous = batches(L"previous-release");
    const std::pair<const wchar_t*, int> kinds[] = {
        {L"\\bcreate\\s+table\\s+(\\w+)", 1},
        {L"\\bcreate\\s+(?:unique\\s+)?index\\s+(\\w+)", 1},
        {L"\\bconstraint\\s+(\\w+)", 1},
        {L"\\bcreate\\s+(view|proc|procedure|trigger)\\s+(\\w+)", 2},
    };
    for (const auto& [pattern, group] : kinds) {
        std::set<std::wstring> inSchema = names(schema, pattern, group);
        EXPECT_EQ(names(update, pattern, group), inSchema) << toUtf8(pattern);
        std::set<std::wstring> old = names(previous, pattern, group);
        EXPECT_TRUE(std::includes(inSchema.begin(), inSchema.end(), old.begin(), old.end()))
            << toUtf8(pattern);
    }

    // Columns: what the previous release lacks is added with the new type,
    // what it has with another type is altered.
    auto newTables = createdTables(schema);
    auto oldTables = createdTables(previous);
    std::map<std::wstring, std::wstring> added, altered;  // "table.column" -> shape
    std::wregex add =
        re(L"\\balter\\s+table\\s+(\\w+)\\s+(add(?!\\s+constraint\\b)|alter\\s+column)\\s+([^\\n]*)");
    for (const std::wstring& b : update) {
        for (std::wsregex_iterator it(b.begin(), b.end(), add), end; it != end; ++it) {
            std::wstring shape = columnShape((*it)[3].str());
            std::wstring key = asciiLower((*it)[1].str()) + L"." + columnName(shape);
            (asciiLower((*it)[2].str()) == L"add" ? added : altered)[key] = shape;
        }
    }
    for (const auto& [table, def] : oldTables) {
        ASSERT_TRUE(newTables.count(table)) << toUtf8(table);
        std::map<std::wstring, std::wstring> oldColumns;
        for (const std::wstring& c : def.columns) oldColumns[columnName(columnShape(c))] = columnShape(c);
        for (const std::wstring& c : newTables[table].columns) {
            std::wstring shape = columnShape(c);
            std::wstring key = table + L"." + columnName(shape);
            auto old = oldColumns.find(columnName(shape));
            if (old == oldColumns.end()) {
                EXPECT_EQ(added[key], shape) << "not added by the upgrade: " << toUtf8(key);
            } else if (old->second != shape) {
                EXPECT_EQ(altered[key], shape) << "not altered by the upgrade: " << toUtf8(key);
            }
            oldColumns.erase(columnName(shape));
        }
        EXPECT_TRUE(oldColumns.empty()) << "the new schema drops a column of " << toUtf8(table);
    }
}

// Rows inserted by a script: table -> rows of column -> value text.
using Row = std::map<std::wstring, std::wstring>;
std::map<std::wstring, std::vector<Row>> insertedRows(const std::vector<std::wstring>& script) {
    std::map<std::wstring, std::vector<Row>> rows;
    std::wregex insert = re(L"\\binsert\\s+into\\s+(\\w+)\\s*\\(");
    for (const std::wstring& b : script) {
        for (std::wsregex_iterator it(b.begin(), b.end(), insert), end; it != end; ++it) {
            size_t open = static_cast<size_t>(it->position(0) + it->length(0) - 1);
            std::vector<std::wstring> columns = listItems(b, open);
            size_t values = b.find(L'(', closingParen(b, open));
            std::vector<std::wstring> items = listItems(b, values);
            EXPECT_EQ(columns.size(), items.size()) << toUtf8(it->str(0));
            Row row;
            for (size_t i = 0; i < columns.size() && i < items.size(); ++i) {
                std::wstring v = normalized(items[i]);
                if (v.rfind(L"n'", 0) == 0) v = v.substr(1);
                row[normalized(columns[i])] = v;
            }
            rows[asciiLower((*it)[1].str())].push_back(row);
        }
    }
    return rows;
}

TEST(ScriptContentTest, EveryDefaultRowIsGuardedByItsOwnTable) {
    std::vector<std::wstring> script = batches(L"T7DATA");
    std::wregex insert = re(L"\\binsert\\s+into\\s+(\\w+)");
    int inserts = 0;
    for (const std::wstring& b : script) {
        for (std::wsregex_iterator it(b.begin(), b.end(), insert), end; it != end; ++it) {
            std::wstring guard = guardBefore(b, static_cast<size_t>(it->position(0)), true);
            EXPECT_TRUE(
                std::regex_search(guard, re(L"^\\(\\s*select\\s.*\\sfrom\\s+" + (*it)[1].str() + L"\\b")))
                << "unguarded: " << toUtf8(it->str(0));
            ++inserts;
        }
    }
    EXPECT_GT(inserts, 0);
}

TEST(ScriptContentTest, DefaultRolesCarryThePermissionsOfTheirRights) {
    auto rows = insertedRows(batches(L"T7DATA"));
    std::map<std::wstring, long long> rightBits;
    for (const Row& r : rows[L"rightitem"]) rightBits[r.at(L"rightid")] = std::stoll(r.at(L"permission"));
    std::map<std::wstring, long long> fromLinks;
    std::map<std::wstring, size_t> linkCount;
    for (const Row& r : rows[L"rolesrights"]) {
        ASSERT_TRUE(rightBits.count(r.at(L"rightid")))
            << "link to a missing right " << toUtf8(r.at(L"rightid"));
        fromLinks[r.at(L"roleid")] |= rightBits[r.at(L"rightid")];
        ++linkCount[r.at(L"roleid")];
    }
    ASSERT_FALSE(rows[L"roleadmin"].empty());
    bool administrator = false;
    for (const Row& r : rows[L"roleadmin"]) {
        const std::wstring& id = r.at(L"roleid");
        if (id == L"0") {
            administrator = true;
            EXPECT_EQ(r.at(L"permission"), L"2147483647");
            EXPECT_EQ(linkCount[id], rightBits.size()) << "the administrator holds every right";
        } else {
            EXPECT_EQ(std::stoll(r.at(L"permission")), fromLinks[id]) << "role " << toUtf8(id);
        }
    }
    EXPECT_TRUE(administrator);
    for (const auto& link : fromLinks) {
        const std::wstring& role = link.first;
        bool known = std::any_of(rows[L"roleadmin"].begin(), rows[L"roleadmin"].end(),
                                 [&](const Row& r) { return r.at(L"roleid") == role; });
        EXPECT_TRUE(known) << "link of a missing role " << toUtf8(role);
    }
    EXPECT_FALSE(rows[L"subject"].empty()) << "no default subject";
}

}  // namespace
}  // namespace t7
