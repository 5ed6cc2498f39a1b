// Load tables and settings as other programs write them: a byte-order mark, wide text, a first
// row that is half names, and values the solvers would refuse. Whatever the readers accept
// makes an ft.dat the solvers' own reader takes.

#include <gtest/gtest.h>

#include <string>

#include "LoadResponse.h"
#include "SampledLoadFiles.h"

namespace {

using namespace std::string_literals;

// The solvers' verdict on the ft.dat the settings make: empty when they take it.
std::string SolverVerdict(const CSampledLoad& load) {
    numerics::CLoadFunction f;
    f.type = numerics::ELoadType::kSampled;
    return numerics::ParseSampledLoad(FormatLoadSamples(SampleLoad(load)), "ft.dat", f);
}

TEST(LoadText, AByteOrderMarkKeepsTheFirstSampleAndWideTextIsNamed) {
    CLoadSamples s;
    // A spreadsheet's UTF-8 export of a table without names: the first sample is data.
    EXPECT_EQ(ParseLoadTable("\xEF\xBB\xBF" "0,0\n1,2\n2,0\n", s), "");
    EXPECT_EQ(s.times, (std::vector<double>{0, 1, 2}));
    EXPECT_EQ(ParseLoadTable("\xEF\xBB\xBF" "t,f\n0,0\n1,2\n", s), "");
    EXPECT_EQ(s.times.size(), 2u);
    for (const std::string& wide : {"\xFF\xFE" "0\0,\0" "1\0\n\0"s, "\xFE\xFF\0" "0\0,\0" "1\0\n"s,
                                    "0\0,\0" "1\0\n\0" "1\0,\0" "2\0"s, "\xFF\xFE\0\0" "0\0\0\0"s}) {
        const std::string error = ParseLoadTable(wide, s);
        EXPECT_NE(error.find("UTF-"), std::string::npos) << error;
        EXPECT_TRUE(s.times.empty());
        CSampledLoad l;
        EXPECT_NE(ParseLoadSettings(wide, l).find("UTF-"), std::string::npos);
    }
    // A first row with a number in it is data, and a bad one is said with its line.
    EXPECT_EQ(ParseLoadTable("0,volts\n1,2\n2,3\n", s), "line 1: expected two numbers, a time in us and a value");
    CSampledLoad l;
    EXPECT_EQ(ParseLoadSettings("\xEF\xBB\xBF" "shape gaussian\nwidth 2\n", l), "");
    EXPECT_EQ(l.m_dWidth, 2);
}

TEST(LoadText, WhatTheReadersAcceptTheSolversTake) {
    CLoadSamples s;
    EXPECT_NE(ParseLoadTable("0 0\n2e6 1\n", s).find("line 2: the time 2e+06 us lies outside"), std::string::npos);
    EXPECT_NE(ParseLoadTable("0 0\n1 1e13\n", s).find("line 2: the value 1e+13"), std::string::npos);
    EXPECT_NE(ParseLoadTable("0 0\n1e-12 1\n", s).find("line 2: the samples lie closer than 1e-09 us"),
              std::string::npos);

    // Settings: each field bounded by what the solvers take, whichever shape reads it.
    const char* const refused[] = {
        "shape tone-burst\ndelay 1e300\n",
        "shape tone-burst\ndelay 999999.9\ncycles 5\nfrequency 1\n",
        "shape gaussian\ndelay 5e5\nwidth 2e5\n",
        "shape raised-cosine-step\ndelay 0\nrise 1\nend 1e7\n",
        "shape tone-burst\nfrequency 1e300\ncycles 1\n",
        "shape gaussian\nwidth 1e-300\n",
        "shape tone-burst\ninterval 1e-12\nfrequency 1e3\ncycles 1\n",
        "shape imported\nsamples 2\n0 0\n1 1e300\n",
        "shape imported\nsamples 2\n0 0\n1e-300 1\n",
        "shape imported\nsamples 2\n-2e6 0\n0 1\n",
        "shape imported\nsamples -1\n",  // once converted to a count before it was checked
        "shape imported\nsamples 1e300\n",
    };
    for (const char* text : refused) {
        SCOPED_TRACE(text);
        CSampledLoad l;
        EXPECT_NE(ParseLoadSettings(text, l), "") << text;
    }
    const char* const taken[] = {
        "shape tone-burst\ndelay 999000\ncycles 5\nfrequency 1\n",
        "shape gaussian\ndelay 10\nwidth 1e-3\n",
        "shape raised-cosine-step\ndelay 0\nrise 1e4\nend 1e6\n",
        "shape imported\nsamples 2\n-1e6 -1e12\n1e6 1e12\n",
    };
    for (const char* text : taken) {
        CSampledLoad l;
        ASSERT_EQ(ParseLoadSettings(text, l), "") << text;
        EXPECT_EQ(SolverVerdict(l), "") << text;
    }
}

}  // namespace
