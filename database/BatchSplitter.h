#pragma once
// Splitting of a script into the batches the server runs one by one.
#include <string>
#include <string_view>
#include <vector>

namespace t7 {

// Splits `script` at separator lines: a line whose text, with blanks (spaces
// and tabs) at both ends removed, is "GO" in any letter case. The rule is by
// lines only: a "GO" line inside a string literal or a block comment still
// separates. Separator lines are dropped; every other line keeps its line
// end (LF or CR LF), so comments stay in their batch. Trailing NUL
// characters of the script are dropped first. A batch holding nothing but
// blanks and line ends is left out, so the result may be empty.
std::vector<std::wstring> splitBatches(std::wstring_view script);

}  // namespace t7
