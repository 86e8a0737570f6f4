#include "sqlengine/Messages.h"

#include <algorithm>

namespace sqlengine {

const MessageDef* findMessage(int number) {
    const MessageDef* end = kMessages + kMessageCount;
    const MessageDef* m =
        std::lower_bound(kMessages, end, number, [](const MessageDef& d, int n) { return d.number < n; });
    return m != end && m->number == number ? m : nullptr;
}

int severityOf(int number) {
    if (number == 0) return 0;
    const MessageDef* m = findMessage(number);
    return m ? m->severity : 16;
}

namespace messages {

std::string format(std::string_view text, const std::string* args, size_t count) {
    std::string out;
    out.reserve(text.size() + 32);
    size_t next = 0;
    for (size_t i = 0; i < text.size();) {
        if (text[i] != '%') {
            out += text[i++];
            continue;
        }
        size_t length = 0;
        placeholder(text, i, length);
        // The catalogue's templates are checked when compiled; an argument
        // short here would be a caller bypassing sqlError.
        if (next < count) out += args[next++];
        i += length;
    }
    return out;
}

}  // namespace messages
}  // namespace sqlengine
