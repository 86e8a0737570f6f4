#pragma once
// The wizard's command line: splitting the raw argument text, and the
// process service that hands that text over.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace t7 {

class IProcessService;

// Splits the raw argument text (the command line after the program's own
// name, unsplit and with its quotes) into the argument list: entry 0 is
// always empty, entries 1..n are the arguments, n <= MaxArgs.
//
// An argument that begins with a double quote runs to the next double quote
// (the quotes are dropped); any other argument runs to the end of the text,
// spaces, tabs and quotes included. Spaces and tabs between arguments are
// skipped; text after the MaxArgs-th argument is ignored. Raises AppError 9
// (subscript out of range) when MaxArgs is negative.
std::vector<std::wstring> SplitCommandLine(std::wstring_view rawText, int32_t MaxArgs = 10);

// The same over the running process's own argument text.
std::vector<std::wstring> SplitCommandLine(const IProcessService& process, int32_t MaxArgs = 10);

// Rejoins arguments that arrived pre-split (the shell has already removed
// the operator's quotes) into raw argument text: single spaces between them,
// each argument in double quotes unless it already begins with one, so that
// SplitCommandLine gives them back one by one.
std::wstring joinArguments(const std::vector<std::wstring>& arguments);

}  // namespace t7
