#pragma once
// The results of a started study read back: for every case, one curve per receiving point (empty
// where the task is not complete), and the whole as one CSV table.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "MateCon.h"
#include "StudyManifest.h"

struct StudyResults {
    // curves[case][receiver]: the points of that result, empty when it is not there yet.
    std::vector<std::vector<std::vector<CCurvePoint>>> curves;
    int complete = 0;  // results read
    int missing = 0;   // results of tasks not complete
    // A study of wave fields: every case's file (absolute), empty where it is not complete.
    std::vector<std::string> fields;
    int fieldsMissing = 0;
};

// Reads every complete task's results. False with *error only when a complete task's result is
// unreadable (a complete directory never holds a bad file, so that is damage worth saying).
bool LoadStudyResults(const StudyManifest& m, StudyResults& out, std::string* error);

// "case,<columns>...,receiver_x,time,value" (a point source's: receiver_x,receiver_y) and one
// line per point, "C" number format, case by
// case and receiver by receiver, handed to sink piece by piece: one result file is in memory at
// a time, whatever the study's size. False with *error when a block is not complete or the
// sink refuses.
bool WriteResultsCsv(const StudyManifest& m, const std::function<bool(std::string_view, std::string*)>& sink,
                     std::string* error);

// Writes "results.csv" into the study directory, atomically, as a stream.
bool CollectResults(const StudyManifest& m, std::string* error);
