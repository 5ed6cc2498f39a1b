#pragma once
// Shared by the tests of runs beside the project's own (dispersion curves, wave fields): a
// document whose home, named after the test, holds links to the built solvers in "bin" and
// "binFGM"; its messages recorded, its runs recorded and run for real (or cancelled, as a person
// pressing Cancel). The target defines LUMDEX_PATH and KAVRIT_PATH.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "OstrelDoc.h"
#include "PosixProcessRunner.h"
#include "WorkingDirectory.h"
#include "test_project_support.h"

namespace projtest {

struct RecordingRunner : IProcessRunner {
    std::vector<ProcessRequest> requests;
    bool cancel = false;
    CPosixProcessRunner real;
    ProcessOutcome Run(const ProcessRequest& r) override {
        requests.push_back(r);
        if (cancel)
            return {ProcessOutcome::Status::Cancelled, -1, "", {}};
        return real.Run(r);
    }
};

class RealSolverHome : public ::testing::Test {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        m_before = CurrentDirectory();
        m_root = fs::temp_directory_path() /
                 ("pemblar-" + std::string(test->test_suite_name()) + "-" + test->name());
        fs::remove_all(m_root);
        fs::create_directories(m_root / "bin");
        fs::create_directories(m_root / "binFGM");
        m_root = fs::canonical(m_root);
        fs::create_symlink(LUMDEX_PATH, m_root / "bin" / "lumdex");
        fs::create_symlink(KAVRIT_PATH, m_root / "binFGM" / "Kavrit");
        doc.m_szStartDir = m_root.string();
        doc.m_services.messages = &sink;
        doc.m_services.processes = &runner;
    }
    void TearDown() override {
        ChangeDirectory(m_before);
        std::filesystem::remove_all(m_root);
    }
    // The first message, or nothing.
    std::string Said() const { return sink.messages.empty() ? "" : sink.messages.front(); }

    std::filesystem::path m_root;
    std::string m_before;
    COstrelDoc doc;
    RecordingSink sink;
    RecordingRunner runner;
};

}  // namespace projtest
