#pragma once
// Process-wide values of the wizard, kept in one place. Tests reset them.
#include <string>
#include <vector>

namespace t7 {

struct ProcessValues {
    // Local IPv4 addresses, then (after start-up) the machine name.
    std::vector<std::wstring> IPArray;
    // False until LoadIPArray first dimensions IPArray.
    bool ipArrayDimensioned = false;
    // The address or machine name chosen for the web site.
    std::wstring SelectedIP;
    // Key of ScrambleString, set first thing at start-up.
    std::wstring ScrambleKey;
    // Set when the database page has written "ifDataSucceed": the run
    // reached its end.
    bool ifDataSucceedWritten = false;
    // Failures a page reported and went on from: the web server left
    // unconfigured, a registry value not written, a database user not made,
    // an error of the database page. A run that reaches its end with any of
    // them says so in its result.
    int failuresReported = 0;

    void reset() { *this = ProcessValues(); }
};

}  // namespace t7
