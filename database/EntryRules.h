#pragma once
// What the database page takes from the operator before anything is
// created: texts the server, the examination database's columns and the
// registry can hold, and names that can never be the web application's
// login.
#include <cstddef>
#include <string>

namespace t7::entryrules {

// A login name or a password on the server (sysname, and the longest
// password the server keeps).
constexpr size_t kLoginLength = 128;
// The administrator's account name: USERINFO.NAME and CHINESENAME.
constexpr size_t kAccountNameLength = 50;
// The stored password form USERINFO.PWD: two hexadecimal digits for a
// single-byte character, four for a Chinese one.
constexpr size_t kPasswordFormLength = 50;

// True for "sa" and the server's fixed principals, in any letter case:
// guest, dbo, sys, public, INFORMATION_SCHEMA, and the fixed server and
// database roles.
bool isReservedLogin(const std::wstring& name);

// The page's message for a text longer than `maxLength` characters or with
// a character outside code page 936, naming the box as `what` ("用户名");
// empty when the text passes.
std::wstring textMessage(const std::wstring& what, const std::wstring& text, size_t maxLength);

// The message for an administrator password whose stored form does not fit
// USERINFO.PWD; empty when it fits. The password has passed textMessage.
std::wstring passwordFormMessage(const std::wstring& password);

}  // namespace t7::entryrules
