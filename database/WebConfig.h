#pragma once
// The web application's connection string in <installation>\Webroot\web.config.
#include <string>

namespace t7 {

class IFileSystem;

// "server=S;uid=N;pwd=P;database=D". A value that contains ";" or begins
// with a quote or a blank is quoted the way connection strings allow, so
// that it reads back as typed; every other value is written as it stands.
std::wstring connectionText(const std::wstring& server, const std::wstring& user,
                            const std::wstring& password, const std::wstring& database);

// Sets connectionString of connectionStrings/add[@name="Ostrel"] (exact
// name) below the root element of <installPath>\Webroot\web.config.
// A missing file is skipped silently. A file that is not XML, or has no
// such entry, raises AppError 91; a file that cannot be written raises
// AppError 75. The declaration, the comments and the other entries are
// kept as written, references included, and the file is replaced
// atomically. It is written in the encoding it begins with or declares:
// UTF-8 or UTF-16 (either byte order), with or without a byte order mark,
// or gb2312/GBK; a character that encoding cannot hold goes in as a
// character reference ("&#128512;"), as does every non-ASCII character
// under any other declared encoding.
void updateConnectionString(IFileSystem& fileSystem, const std::wstring& installPath,
                            const std::wstring& server, const std::wstring& user,
                            const std::wstring& password, const std::wstring& database);

}  // namespace t7
