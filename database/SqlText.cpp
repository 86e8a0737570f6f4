#include "database/SqlText.h"

#include "base/Text.h"

namespace t7::sqltext {
namespace {

std::wstring replaceAll(std::wstring text, const std::wstring& what, const std::wstring& with) {
    size_t pos = 0;
    while ((pos = text.find(what, pos)) != std::wstring::npos) {
        text.replace(pos, what.size(), with);
        pos += with.size();
    }
    return text;
}

}  // namespace

bool isPlainName(const std::wstring& name) {
    if (name.empty()) return false;
    for (wchar_t c : name) {
        bool alnum = (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
        if (!alnum) return false;
    }
    return true;
}

std::wstring identifier(const std::wstring& name) {
    if (isPlainName(name)) return name;
    return bracketed(name);
}

std::wstring literalBody(const std::wstring& text) {
    return replaceAll(text, L"'", L"''");
}

std::wstring bracketed(const std::wstring& name) {
    return L"[" + replaceAll(name, L"]", L"]]") + L"]";
}

std::wstring unicodeLiteral(const std::wstring& text) {
    return L"N'" + literalBody(text) + L"'";
}

std::wstring createDatabase(const std::wstring& name) {
    return L"CREATE DATABASE " + identifier(name);
}

std::wstring createDatabaseWithFile(const std::wstring& name, const std::wstring& dataPath) {
    const std::wstring id = identifier(name);
    return L"CREATE DATABASE " + id + L" ON (NAME =" + id + L" ,FILENAME = '" +
           literalBody(dataPath + L"\\" + name + L".mdf") + L"' )";
}

std::wstring loginScript(const std::wstring& name, const std::wstring& dbName) {
    static const wchar_t* const kTemplate[] = {
        L"if (not exists(select * from sys.syslogins where name='@name'))",
        L"begin",
        L"    create login @name with password='@name', default_database=@dbname",
        L"End",
        L"if exists (select * from sys .sysusers where name='@name' )",
        L"begin",
        L"    drop user @name",
        L"End",
        L"create user @name for login @name with default_schema=dbo",
        L"exec sp_addrolemember 'db_owner','@name'",
    };
    // Inside quotes the name is a literal, elsewhere an identifier. For a
    // plain name both forms are the name itself. The template is read once,
    // so a name that itself contains "@dbname" stays as typed.
    const std::wstring literal = L"'" + literalBody(name) + L"'";
    const std::wstring id = identifier(name);
    const std::wstring db = identifier(dbName);
    std::wstring script;
    for (const wchar_t* line : kTemplate) {
        const std::wstring_view text(line);
        for (size_t i = 0; i < text.size();) {
            if (text.substr(i).starts_with(L"'@name'")) {
                script += literal;
                i += 7;
            } else if (text.substr(i).starts_with(L"@name")) {
                script += id;
                i += 5;
            } else if (text.substr(i).starts_with(L"@dbname")) {
                script += db;
                i += 7;
            } else {
                script += text[i++];
            }
        }
        script += L"\r\n";
    }
    return script;
}

std::vector<std::wstring> accountStatements(const std::wstring& name, const std::wstring& md5Lower,
                                            const std::wstring& hex) {
    const std::wstring n = literalBody(name);
    const std::wstring m = literalBody(md5Lower);
    const std::wstring h = literalBody(hex);
    std::vector<std::wstring> statements;
    statements.push_back(L" if not exists (select * from userinfo where name='" + n + L"')\r\n" +
                         L" insert into userinfo(name,password,pwd,role,UserCode,ChineseName,lastupdated) " +
                         L" values('" + n + L"','" + m + L"','" + h + L"',0,'" + n + L"','" + n +
                         L"',getdate())\r\n" + L" else\r\n" + L" update userinfo set password='" + m +
                         L"', pwd='" + h + L"',role=0,lastupdated=getdate() where name='" + n + L"'\r\n");
    statements.push_back(
        L"if not exists(select * from userrole ur,userinfo u where ur.userid=u.userid and roleid=0 and "
        L"u.name='" +
        n + L"')\r\n" + L" insert into userrole(userid,roleid) select userid,0 from userinfo where name='" +
        n + L"'\r\n");
    statements.push_back(L"delete from CoursesUsers where UserID=(select userid from userinfo where name='" +
                         n + L"')");
    statements.push_back(
        L" insert into CoursesUsers(userid,courseid) select userid,-1 from userinfo where name='" + n + L"'");
    return statements;
}

std::wstring StrToHex(const std::wstring& password) {
    static const wchar_t* const kDigits = L"0123456789ABCDEF";
    std::wstring out;
    for (wchar_t c : password) {
        std::string bytes = toCp936(std::wstring_view(&c, 1));
        unsigned code = 0;
        for (char b : bytes) code = code * 256 + static_cast<unsigned char>(b);
        std::wstring digits;
        do {
            digits.insert(digits.begin(), kDigits[code % 16]);
            code /= 16;
        } while (code != 0);
        out += digits;
    }
    return out;
}

}  // namespace t7::sqltext
