#pragma once
// Tables and settings read from text files another program may have written: a UTF-8
// byte-order mark is dropped (spreadsheets write one, and it would glue itself to the first
// cell), and UTF-16 or UTF-32 text, which no reader here takes, is named as such rather than
// read as garbage or as a header.

#include <string>
#include <string_view>

// text without a leading UTF-8 byte-order mark.
std::string_view WithoutUtf8Bom(std::string_view text);

// Empty for text the readers take (ASCII or UTF-8, with or without the mark); else one sentence
// saying what the text is instead ("the file is UTF-16 text; save it as UTF-8 or plain text").
std::string TextEncodingProblem(std::string_view text);
