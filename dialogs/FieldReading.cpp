#include "FieldReading.h"

#include <charconv>
#include <cfloat>
#include <cmath>
#include <limits>
#include <system_error>

namespace {

constexpr std::size_t kReadLimit = 31;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The part of the field that is read: the first 31 characters without the blanks and tabs
// around the number.
std::string_view Trimmed(std::string_view text) {
    text = text.substr(0, kReadLimit);
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Length of the optional sign followed by at least one digit, or 0 when there is none.
std::size_t ScanSignedDigits(std::string_view text, std::size_t at) {
    std::size_t i = at;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    const std::size_t digitsFrom = i;
    while (i < text.size() && IsDigit(text[i]))
        ++i;
    return i == digitsFrom ? 0 : i - at;
}

// A decimal number only: sign, digits with an optional fraction, an optional exponent.
// Hexadecimal, "inf" and "nan" are not what anybody types into an engineering form.
bool IsDecimalNumber(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t mantissaDigits = 0;
    while (i < text.size() && IsDigit(text[i])) {
        ++i;
        ++mantissaDigits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) {
            ++i;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        const std::size_t exponent = ScanSignedDigits(text, i + 1);
        if (exponent == 0)
            return false;
        i += 1 + exponent;
    }
    return i == text.size();
}

}  // namespace

std::optional<double> ParseNumberField(std::string_view text) {
    const std::string_view number = Trimmed(text);
    if (!IsDecimalNumber(number))
        return std::nullopt;
    std::string_view digits = number;
    if (digits.front() == '+')  // from_chars takes no plus sign
        digits.remove_prefix(1);
    double value = 0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    // Out of the range of a double (1e400, 1e-400): refused rather than read as infinity or 0.
    if (result.ec != std::errc() || result.ptr != digits.data() + digits.size())
        return std::nullopt;
    if (value == 0.0 && number.front() != '0')
        return std::nullopt;
    return value;
}

std::optional<float> ParseFloatField(std::string_view text) {
    const auto value = ParseNumberField(text);
    if (!value || std::fabs(*value) > FLT_MAX)
        return std::nullopt;
    return static_cast<float>(*value);
}

std::optional<int> ParseIntegerField(std::string_view text) {
    const std::string_view number = Trimmed(text);
    if (number.empty() || ScanSignedDigits(number, 0) != number.size())
        return std::nullopt;
    std::string_view digits = number;
    if (digits.front() == '+')
        digits.remove_prefix(1);
    int value = 0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (result.ec != std::errc() || result.ptr != digits.data() + digits.size())
        return std::nullopt;  // beyond the range of an int
    if (value == 0 && number.front() != '0')
        return std::nullopt;
    return value;
}

std::string FormatFloatField(float value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                      std::chars_format::general, 6);
    return std::string(buffer, result.ptr);
}

std::string FormatDoubleField(double value) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    return std::string(buffer, result.ptr);
}
