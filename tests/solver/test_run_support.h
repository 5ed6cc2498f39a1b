#pragma once
// Shared by the run and result tests: a scratch working directory, a message recorder, a
// scripted file chooser, and the fake solver scripts next to this file.

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "OstrelDoc.h"
#include "UiServices.h"

namespace testsupport {

namespace fs = std::filesystem;

class CTempDir {
public:
    CTempDir() {
        std::string pattern = (fs::temp_directory_path() / "pemblar-run-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            m_path = pattern;
    }
    ~CTempDir() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

class CRecordingMessages : public IMessageSink {
public:
    void ShowMessage(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

class CCountingViews : public IViewNotifier {
public:
    void UpdateAllViews() override { ++count; }
    int count = 0;
};

// Answers every dialog with the next scripted answer (no value: Cancel) and keeps the requests.
class CScriptedChooser : public IFileChooser {
public:
    std::optional<std::string> ChooseFile(const FileDialogRequest& request) override {
        requests.push_back(request);
        if (answers.empty())
            return std::nullopt;
        auto answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    std::vector<std::optional<std::string>> answers;
    std::vector<FileDialogRequest> requests;
};

inline fs::path FakeSolver(const std::string& name) {
    if (const char* root = std::getenv("PEMBLAR_SOURCE_DIR"))
        return fs::path(root) / "tests/solver/fake_solvers" / name;
    return fs::path(__FILE__).parent_path() / "fake_solvers" / name;
}

inline void WriteText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Puts a fake solver in place under the real solver's name (executable bits kept).
inline void InstallSolver(const std::string& fake, const fs::path& dir, const std::string& asName) {
    fs::create_directories(dir);
    fs::copy_file(FakeSolver(fake), dir / asName, fs::copy_options::overwrite_existing);
    fs::permissions(dir / asName, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec,
                    fs::perm_options::replace);
}

// Gone, or only a zombie waiting for a parent that does not reap (as in some containers).
inline bool ProcessIsGone(pid_t pid) {
    for (int i = 0; i < 200; ++i) {
        if (::kill(pid, 0) != 0)
            return true;
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string pidText, name, state;
        stat >> pidText >> name >> state;
        if (state == "Z")
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace testsupport
