#pragma once
// Reading numbers typed into form fields, shared by every form. Plain functions so they are
// tested without windows; the widget side (message, focus, stop) is in the forms.

#include <optional>
#include <string>
#include <string_view>

inline constexpr const char* kEnterNumberMessage = "Please enter a number.";
inline constexpr const char* kEnterIntegerMessage = "Please enter an integer.";

// At most the first 31 characters count; blanks and tabs may surround the number; the empty
// text fails; a text that reads as zero counts only when its first non-blank character is '0'.
std::optional<double> ParseNumberField(std::string_view text);
std::optional<int> ParseIntegerField(std::string_view text);
// A number for a float field: refused, like text, when it lies beyond the range of a float.
std::optional<float> ParseFloatField(std::string_view text);

// The texts a form shows when it opens: floats in the shortest %g form with at most 6
// significant digits, doubles with at most 15.
std::string FormatFloatField(float value);
std::string FormatDoubleField(double value);
