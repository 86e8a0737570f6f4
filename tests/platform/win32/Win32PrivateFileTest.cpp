// Owner-only files on Windows: who the system lets in, and what the file
// holds. Wine makes up a file's access list from its host file's mode, so
// the list is checked for what it grants, not for its exact text.
#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "shell/PrivateFile.h"
#include "support/TestPaths.h"

namespace t7 {
namespace {

namespace fs = std::filesystem;

// The file's access list in the system's text form ("D:P(A;;FA;;;S-1-...)").
std::wstring accessListOf(const fs::path& file) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(file.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return L"(unreadable)";
    LPWSTR text = nullptr;
    std::wstring list = L"(unconvertible)";
    if (ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                             DACL_SECURITY_INFORMATION, &text, nullptr)) {
        list = text;
        LocalFree(text);
    }
    LocalFree(descriptor);
    return list;
}

std::wstring currentUserSid() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    BYTE buffer[256];
    DWORD size = sizeof buffer;
    std::wstring sid;
    LPWSTR text = nullptr;
    if (GetTokenInformation(token, TokenUser, buffer, size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
        sid = text;
        LocalFree(text);
    }
    CloseHandle(token);
    return sid;
}

// Full control for the user running the wizard; nothing for everyone, the
// users or the authenticated users.
void expectOwnerOnly(const fs::path& file) {
    const std::wstring list = accessListOf(file);
    const std::string shown(list.begin(), list.end());
    EXPECT_NE(list.find(L"(A;;FA;;;" + currentUserSid() + L")"), std::wstring::npos) << shown;
    for (const wchar_t* others : {L";;;WD)", L";;;BU)", L";;;AU)"})
        EXPECT_EQ(list.find(others), std::wstring::npos) << shown;
}

bool openToEveryone(const fs::path& file) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;FA;;;WD)", SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return false;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
    const bool set =
        SetNamedSecurityInfoW(const_cast<wchar_t*>(file.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, dacl, nullptr) == ERROR_SUCCESS;
    LocalFree(descriptor);
    return set && accessListOf(file).find(L";;;WD)") != std::wstring::npos;
}

class Win32PrivateFileTest : public ::testing::Test {
protected:
    test::TempDir dir;
    fs::path file() const { return dir.path() / L"答案.txt"; }
};

TEST_F(Win32PrivateFileTest, ANewFileHoldsWhatWasAppended) {
    std::wstring why;
    auto created = createPrivateFile(file(), why);
    ASSERT_TRUE(created) << std::string(why.begin(), why.end());
    EXPECT_TRUE(created->append("set frmNamePWD.txtOstrelPwd=pw\r\n"));
    EXPECT_TRUE(created->append(std::string(70000, 'x')));
    expectOwnerOnly(file());
    created.reset();
    EXPECT_EQ(test::readFileBytes(file()), "set frmNamePWD.txtOstrelPwd=pw\r\n" + std::string(70000, 'x'));
}

TEST_F(Win32PrivateFileTest, AnExistingFileOpenToEveryoneIsRestrictedAndEmptied) {
    test::writeFileBytes(file(), "old text that is longer\r\n");
    ASSERT_TRUE(openToEveryone(file()));
    std::wstring why;
    auto created = createPrivateFile(file(), why);
    ASSERT_TRUE(created) << std::string(why.begin(), why.end());
    expectOwnerOnly(file());
    // Written from the start over a longer text: only emptying leaves no tail.
    EXPECT_TRUE(created->append("new\r\n"));
    created.reset();
    EXPECT_EQ(test::readFileBytes(file()), "new\r\n");
}

TEST_F(Win32PrivateFileTest, AFolderOrAMissingFolderIsRefused) {
    fs::create_directory(dir.path() / L"folder");
    for (const fs::path& target : {dir.path() / L"folder", dir.path() / L"absent" / L"answers.txt"}) {
        std::wstring why;
        EXPECT_FALSE(createPrivateFile(target, why)) << target;
        EXPECT_FALSE(why.empty()) << target;
    }
}

}  // namespace
}  // namespace t7
