#pragma once
// What every fuzz target shares: a check that stops the run on the first broken property, with
// enough said to reproduce it, and small text helpers.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace fuzzcheck {

// Aborts rather than returning: libFuzzer (and the corpus replay test) keep the input that did it.
[[noreturn]] inline void Fail(const char* file, int line, const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s:%d: property broken: %s\n%s\n", file, line, what, detail.c_str());
    std::abort();
}

// Bitwise, so that a changed sign of zero or a changed NaN payload counts as a difference.
template <class T>
bool SameBits(T a, T b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

inline std::string Shown(std::string_view s) {
    std::string out;
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        }
    }
    return out;
}

inline int LineCount(std::string_view text) {
    int n = 0;
    for (char c : text)
        n += c == '\n';
    return n + (text.empty() || text.back() == '\n' ? 0 : 1);
}

}  // namespace fuzzcheck

#define FUZZ_CHECK(cond, detail)                                      \
    do {                                                              \
        if (!(cond))                                                  \
            ::fuzzcheck::Fail(__FILE__, __LINE__, #cond, (detail));   \
    } while (0)
