#include "FormatSevenDigits.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <system_error>

namespace {

// to_chars is used throughout because it ignores the process locale, which Qt sets from the
// environment: a German desktop must still get a decimal point.
std::string ToChars(double value, std::chars_format format, int precision) {
    char buffer[512];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
    if (result.ec != std::errc())
        return {};
    return std::string(buffer, result.ptr);
}

// The decimal exponent of the first significant digit of the exact value. Forty digits are
// far more than a double can need, so the rounding of the last one never carries into the
// exponent.
int LeadingExponent(double magnitude) {
    if (magnitude == 0.0)
        return -1;
    const std::string text = ToChars(magnitude, std::chars_format::scientific, 40);
    const auto mark = text.find('e');
    return std::atoi(text.c_str() + mark + 1);
}

// "1.500000" -> "1.5", "2.000000" -> "2."; texts without a point stay as they are.
void TrimFraction(std::string& digits) {
    if (digits.find('.') == std::string::npos)
        return;
    while (!digits.empty() && digits.back() == '0')
        digits.pop_back();
}

}  // namespace

std::string FormatSevenDigits(double value) {
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";

    const bool negative = value < 0;  // -0 is not negative: it shows as "0."
    const double magnitude = std::fabs(value);
    const int exponent = LeadingExponent(magnitude);

    std::string text;
    if (exponent < -1 || exponent > 6) {
        // "d.dddddde+xx" from the library; the exponent is re-written with three digits.
        const std::string raw = ToChars(magnitude, std::chars_format::scientific, 6);
        const auto mark = raw.find('e');
        std::string mantissa = raw.substr(0, mark);
        TrimFraction(mantissa);
        const char sign = raw[mark + 1];
        std::string expDigits = raw.substr(mark + 2);
        while (expDigits.size() < 3)
            expDigits.insert(expDigits.begin(), '0');
        text = mantissa + 'e' + sign + expDigits;
    } else {
        text = ToChars(magnitude, std::chars_format::fixed, 6 - exponent);
        TrimFraction(text);
    }
    return negative ? "-" + text : text;
}
