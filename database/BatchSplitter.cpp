#include "database/BatchSplitter.h"

namespace t7 {
namespace {

bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r';
}

bool isSeparatorLine(std::wstring_view line) {
    size_t begin = 0;
    size_t end = line.size();
    while (begin < end && isBlank(line[begin])) ++begin;
    while (end > begin && isBlank(line[end - 1])) --end;
    return end - begin == 2 && (line[begin] == L'G' || line[begin] == L'g') &&
           (line[begin + 1] == L'O' || line[begin + 1] == L'o');
}

bool isBlankText(std::wstring_view text) {
    for (wchar_t c : text) {
        if (!isBlank(c) && c != L'\n') return false;
    }
    return true;
}

}  // namespace

std::vector<std::wstring> splitBatches(std::wstring_view script) {
    // Stored scripts are padded with NUL characters to a multiple of four
    // bytes; the padding is not part of the text.
    while (!script.empty() && script.back() == L'\0') script.remove_suffix(1);

    std::vector<std::wstring> batches;
    std::wstring current;
    auto flush = [&] {
        if (!isBlankText(current)) batches.push_back(std::move(current));
        current.clear();
    };
    size_t pos = 0;
    while (pos < script.size()) {
        size_t newline = script.find(L'\n', pos);
        size_t next = newline == std::wstring_view::npos ? script.size() : newline + 1;
        std::wstring_view line = script.substr(pos, next - pos);
        std::wstring_view text = line;
        if (!text.empty() && text.back() == L'\n') text.remove_suffix(1);
        if (isSeparatorLine(text)) {
            flush();
        } else {
            current.append(line);
        }
        pos = next;
    }
    flush();
    return batches;
}

}  // namespace t7
