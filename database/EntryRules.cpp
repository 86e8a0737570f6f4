#include "database/EntryRules.h"

#include "base/Text.h"
#include "database/SqlText.h"

namespace t7::entryrules {

bool isReservedLogin(const std::wstring& name) {
    static const wchar_t* const kReserved[] = {
        L"sa", L"guest", L"dbo", L"sys", L"public", L"INFORMATION_SCHEMA",
        // fixed server roles
        L"sysadmin", L"serveradmin", L"securityadmin", L"processadmin", L"setupadmin", L"bulkadmin",
        L"diskadmin", L"dbcreator",
        // fixed database roles
        L"db_owner", L"db_accessadmin", L"db_securityadmin", L"db_ddladmin", L"db_backupoperator",
        L"db_datareader", L"db_datawriter", L"db_denydatareader", L"db_denydatawriter"};
    for (const wchar_t* reserved : kReserved) {
        if (equalsIgnoreCase(name, reserved)) return true;
    }
    return false;
}

std::wstring textMessage(const std::wstring& what, const std::wstring& text, size_t maxLength) {
    if (text.size() > maxLength) return what + L"不能超过" + std::to_wstring(maxLength) + L"个字符!";
    if (!fitsCp936(text)) return what + L"中含有无法保存的字符,请重新输入!";
    return {};
}

std::wstring passwordFormMessage(const std::wstring& password) {
    if (sqltext::StrToHex(password).size() <= kPasswordFormLength) return {};
    return L"密码不能超过" + std::to_wstring(kPasswordFormLength / 2) + L"个字符(一个汉字算两个字符)!";
}

}  // namespace t7::entryrules
