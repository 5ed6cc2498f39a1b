#pragma once
// What the tests of whole study runs share: the commands' output caught, environment for the
// scripted solvers, and pemblar-study started as a child process.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "StudyCommands.h"
#include "StudyManifest.h"
#include "StudyTestSupport.h"

extern char** environ;

namespace studytest {

using namespace std::chrono_literals;

struct CCapture {
    std::vector<std::string> lines;
    StudyCommandIO io;
    CCapture() {
        io.out = [this](const std::string& l) { lines.push_back(l); };
        io.err = [this](const std::string& l) { lines.push_back("E " + l); };
    }
    bool Said(const std::string& part) const {
        for (const std::string& l : lines)
            if (l.find(part) != std::string::npos)
                return true;
        return false;
    }
    std::string All() const {
        std::string s;
        for (const std::string& l : lines)
            s += l + "\n";
        return s;
    }
};

// Environment for the scripted solvers, put back at the end of a test.
class CEnv {
public:
    void Set(const char* name, const std::string& value) {
        m_names.push_back(name);
        ::setenv(name, value.c_str(), 1);
    }
    ~CEnv() {
        for (const char* n : m_names)
            ::unsetenv(n);
    }

private:
    std::vector<const char*> m_names;
};

// pemblar-study as a child in its own process group, as a user's terminal would run it.
inline pid_t StartStudyProgram(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::string program = PEMBLAR_STUDY_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copy = args;
    for (std::string& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return pid;
}

template <class Pred>
inline bool WaitFor(Pred pred, std::chrono::milliseconds limit = 20s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (pred())
            return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

inline const std::string kFakes = FAKE_SOLVERS;

// A study file "s.toml" of the project input/plate.dat run by solver.
inline std::string StudyFile(const CTempProject& p, const std::string& solver, const std::string& body) {
    return p.Write("s.toml", "project = \"input/plate.dat\"\nsolver = \"" + solver + "\"\n" + body);
}

inline StudyManifest Manifest(const CTempProject& p) {
    StudyManifest m;
    std::string error;
    EXPECT_TRUE(ReadManifest(p.Path("output/plate/studies/s"), m, &error)) << error;
    return m;
}

}  // namespace studytest
