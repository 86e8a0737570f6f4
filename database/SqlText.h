#pragma once
// Statement texts of the database page. Names and passwords typed by the
// operator reach SQL text here, and only here. A name made of ASCII letters
// and digits (all that the name box lets through) is written as it stands,
// so the statements are exactly the ones the page has always sent; any
// other text is escaped for the place it goes, so that it cannot change the
// statement.
#include <string>
#include <vector>

namespace t7::sqltext {

// True for a non-empty text of ASCII letters and digits only.
bool isPlainName(const std::wstring& name);
// The name where it stands as an identifier: unchanged when plain, else
// "[name]" with "]" doubled.
std::wstring identifier(const std::wstring& name);
// The text inside a string literal: apostrophes doubled.
std::wstring literalBody(const std::wstring& text);
// "[name]" with "]" doubled, whatever the name.
std::wstring bracketed(const std::wstring& name);
// "N'text'" with apostrophes doubled.
std::wstring unicodeLiteral(const std::wstring& text);

// "CREATE DATABASE <name>" for a server that places the files itself.
std::wstring createDatabase(const std::wstring& name);
// "CREATE DATABASE T7 ON (NAME =T7 ,FILENAME = 'D:\Exam\Data\T7.mdf' )".
std::wstring createDatabaseWithFile(const std::wstring& name, const std::wstring& dataPath);

// The ten-line login script (each line ended by CR LF) for login `name`
// with default database `dbName`.
std::wstring loginScript(const std::wstring& name, const std::wstring& dbName);

// The four account statements, in the order they run. `md5Lower` and `hex`
// are the two stored password forms.
std::vector<std::wstring> accountStatements(const std::wstring& name, const std::wstring& md5Lower,
                                            const std::wstring& hex);

// The password's ANSI character codes in upper-case hexadecimal, without
// leading zeros or separators ("abc" -> "616263").
std::wstring StrToHex(const std::wstring& password);

}  // namespace t7::sqltext
