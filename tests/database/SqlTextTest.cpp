#include <gtest/gtest.h>

#include "database/SqlText.h"

namespace t7::sqltext {
namespace {

TEST(SqlTextTest, PlainNamesGiveTheExactStatementTexts) {
    EXPECT_EQ(createDatabase(L"T7"), L"CREATE DATABASE T7");
    EXPECT_EQ(createDatabaseWithFile(L"T7", L"D:\\Exam\\Data"),
              L"CREATE DATABASE T7 ON (NAME =T7 ,FILENAME = 'D:\\Exam\\Data\\T7.mdf' )");

    EXPECT_EQ(loginScript(L"admin", L"T7"),
              L"if (not exists(select * from sys.syslogins where name='admin'))\r\n"
              L"begin\r\n"
              L"    create login admin with password='admin', default_database=T7\r\n"
              L"End\r\n"
              L"if exists (select * from sys .sysusers where name='admin' )\r\n"
              L"begin\r\n"
              L"    drop user admin\r\n"
              L"End\r\n"
              L"create user admin for login admin with default_schema=dbo\r\n"
              L"exec sp_addrolemember 'db_owner','admin'\r\n");

    auto statements = accountStatements(L"admin", L"0123abcd", L"616263");
    ASSERT_EQ(statements.size(), 4u);
    EXPECT_EQ(statements[0],
              L" if not exists (select * from userinfo where name='admin')\r\n"
              L" insert into userinfo(name,password,pwd,role,UserCode,ChineseName,lastupdated)  "
              L"values('admin','0123abcd','616263',0,'admin','admin',getdate())\r\n"
              L" else\r\n"
              L" update userinfo set password='0123abcd', pwd='616263',role=0,lastupdated=getdate() "
              L"where name='admin'\r\n");
    EXPECT_EQ(statements[1],
              L"if not exists(select * from userrole ur,userinfo u where ur.userid=u.userid and roleid=0 "
              L"and u.name='admin')\r\n"
              L" insert into userrole(userid,roleid) select userid,0 from userinfo where name='admin'\r\n");
    EXPECT_EQ(statements[2],
              L"delete from CoursesUsers where UserID=(select userid from userinfo where name='admin')");
    EXPECT_EQ(
        statements[3],
        L" insert into CoursesUsers(userid,courseid) select userid,-1 from userinfo where name='admin'");
}

TEST(SqlTextTest, OtherNamesAreEscapedForWhereTheyStand) {
    EXPECT_EQ(identifier(L"a b"), L"[a b]");
    EXPECT_EQ(identifier(L"x]y"), L"[x]]y]");
    EXPECT_EQ(identifier(L"考试"), L"[考试]");
    EXPECT_EQ(literalBody(L"o'brien"), L"o''brien");

    std::wstring script = loginScript(L"o'b x", L"T7");
    EXPECT_NE(script.find(L"name='o''b x'"), std::wstring::npos);
    EXPECT_NE(script.find(L"create login [o'b x] with password='o''b x', default_database=T7"),
              std::wstring::npos);
    EXPECT_NE(script.find(L"create user [o'b x] for login [o'b x] with default_schema=dbo"),
              std::wstring::npos);
    EXPECT_NE(script.find(L"exec sp_addrolemember 'db_owner','o''b x'"), std::wstring::npos);
    // A name holding a placeholder is written as typed.
    EXPECT_NE(loginScript(L"a@dbname", L"T7").find(L"drop user [a@dbname]"), std::wstring::npos);

    auto statements = accountStatements(L"x'; drop table userinfo --", L"m", L"h");
    for (const auto& s : statements) {
        EXPECT_EQ(s.find(L"x';"), std::wstring::npos)
            << "unescaped apostrophe in: " << std::string(s.begin(), s.end());
    }
    // A data path with an apostrophe stays inside its literal.
    EXPECT_EQ(createDatabaseWithFile(L"T7", L"D:\\O'Neil\\Data"),
              L"CREATE DATABASE T7 ON (NAME =T7 ,FILENAME = 'D:\\O''Neil\\Data\\T7.mdf' )");
}

TEST(SqlTextTest, StrToHexWritesAnsiCodesWithoutLeadingZeros) {
    EXPECT_EQ(StrToHex(L"abc"), L"616263");
    EXPECT_EQ(StrToHex(L""), L"");
    // Tab is 9: one digit, no leading zero.
    EXPECT_EQ(StrToHex(L"\tA"), L"941");
    // 中 is D6 D0 in code page 936: one four-digit code.
    EXPECT_EQ(StrToHex(L"中1"), L"D6D031");
    // 26 letters give 52 digits: more than the PWD column takes.
    EXPECT_EQ(StrToHex(std::wstring(26, L'a')).size(), 52u);
}

}  // namespace
}  // namespace t7::sqltext
