#include "TextEncoding.h"

#include <algorithm>

namespace {

bool StartsWith(std::string_view text, std::string_view head) {
    return text.substr(0, head.size()) == head;
}

}  // namespace

std::string_view WithoutUtf8Bom(std::string_view text) {
    return StartsWith(text, "\xEF\xBB\xBF") ? text.substr(3) : text;
}

std::string TextEncodingProblem(std::string_view text) {
    const char* const advice = "; save it as UTF-8 or plain text";
    // UTF-32 first: its little-endian mark begins with UTF-16's.
    if (StartsWith(text, std::string_view("\xFF\xFE\0\0", 4)) || StartsWith(text, std::string_view("\0\0\xFE\xFF", 4)))
        return std::string("the file is UTF-32 text") + advice;
    if (StartsWith(text, "\xFF\xFE") || StartsWith(text, "\xFE\xFF"))
        return std::string("the file is UTF-16 text") + advice;
    // Without a mark, zero bytes among the first characters are wide text (or no text at all).
    const std::string_view head = text.substr(0, 4096);
    if (std::find(head.begin(), head.end(), '\0') != head.end())
        return std::string("the file holds zero bytes: it is UTF-16 or UTF-32 text, or no text at all") + advice;
    return {};
}
