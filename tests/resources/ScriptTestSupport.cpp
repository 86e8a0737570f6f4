#include "ScriptTestSupport.h"

#include <cstdlib>
#include <stdexcept>

#include "base/Text.h"
#include "resources/ScriptResources.h"
#include "support/TestPaths.h"

namespace t7::test {

std::wstring embeddedScript(const std::wstring& name) {
    std::wstring text = LoadScriptText(name);
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

std::wstring sourceFile(const std::string& relativePath) {
    // ctest names the source tree; a test run by hand finds it from here.
    const char* root = std::getenv("T7_SOURCE_DIR");
    std::filesystem::path base =
        root ? std::filesystem::path(root)
             : std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
    std::filesystem::path path = base / relativePath;
    if (!std::filesystem::exists(path)) throw std::runtime_error("missing source file " + path.string());
    return fromUtf8(readFileBytes(path));
}

SplitScript splitAtSeparators(const std::wstring& text) {
    SplitScript out;
    std::wstring batch;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find(L'\n', pos);
        bool last = end == std::wstring::npos;
        std::wstring line = text.substr(pos, last ? std::wstring::npos : end - pos);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        size_t first = line.find_first_not_of(L" \t");
        size_t lastChar = line.find_last_not_of(L" \t");
        bool separator = first != std::wstring::npos && lastChar - first == 1 &&
                         asciiUpper(line.substr(first, 2)) == L"GO";
        if (separator) {
            out.batches.push_back(batch);
            out.separators.push_back(line);
            batch.clear();
        } else {
            batch += line;
            batch += L'\n';
        }
        if (last) break;
        pos = end + 1;
    }
    if (batch.find_first_not_of(L" \t\r\n") != std::wstring::npos) out.batches.push_back(batch);
    return out;
}

std::wstring withoutComments(const std::wstring& text) {
    std::wstring out = text;
    size_t i = 0;
    while (i < out.size()) {
        if (out[i] == L'\'') {
            size_t close = out.find(L'\'', i + 1);
            // A doubled quote inside the literal is two adjacent literals here,
            // which is just as good for skipping.
            i = close == std::wstring::npos ? out.size() : close + 1;
        } else if (out.compare(i, 2, L"--") == 0) {
            size_t end = out.find(L'\n', i);
            if (end == std::wstring::npos) end = out.size();
            for (size_t k = i; k < end; ++k) out[k] = L' ';
            i = end;
        } else if (out.compare(i, 2, L"/*") == 0) {
            size_t end = out.find(L"*/", i + 2);
            end = end == std::wstring::npos ? out.size() : end + 2;
            for (size_t k = i; k < end; ++k) {
                if (out[k] != L'\n') out[k] = L' ';
            }
            i = end;
        } else {
            ++i;
        }
    }
    return out;
}

}  // namespace t7::test
