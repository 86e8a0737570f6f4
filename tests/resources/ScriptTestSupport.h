#pragma once
// Helpers for the tests of the embedded SQL scripts: their text as the
// wizard loads it, their sources, and a line-based split at separator lines.
#include <set>
#include <string>
#include <vector>

namespace t7::test {

// Text of an embedded script as LoadScriptText gives it, without the NUL
// padding.
std::wstring embeddedScript(const std::wstring& name);
// A file of the source tree (T7_SOURCE_DIR), decoded from UTF-8.
std::wstring sourceFile(const std::string& relativePath);

struct SplitScript {
    std::vector<std::wstring> batches;
    // The separator lines as written (without the line end).
    std::vector<std::wstring> separators;
};
// Splits at lines that are "GO" in any letter case with blanks around it.
SplitScript splitAtSeparators(const std::wstring& text);

// The text with "--" and "/* */" comments replaced by blanks (quotes are
// respected).
std::wstring withoutComments(const std::wstring& text);

}  // namespace t7::test
