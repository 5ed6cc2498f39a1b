#pragma once
// The seven-significant-digit number text of tree captions and the material form's fields:
// 1 -> "1.", 0.05 -> "5.e-002", 1234567 -> "1234567", 10000000 -> "1.e+007".

#include <string>

std::string FormatSevenDigits(double value);
