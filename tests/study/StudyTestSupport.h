#pragma once
// A project directory in a fresh temporary directory, removed at the end.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <stdlib.h>

namespace studytest {

namespace fs = std::filesystem;

// Two plies of one carbon material on a small, fast mesh; a 4 us window; a load Sin(wt) at
// 3.14 rad/us, whose frequency a study can sweep.
inline const char* const kSharedPlyProject =
    "plate\n"
    "2    2    3.113646\n"
    "5    3.1400\n"
    "3    3\n"
    "0.00    4.00\n"
    "2.0000\n"
    "carbon  1  181.0000  10.3000  7.1700  0.2800  0.4000  0.0000  1.6000\n"
    "glass  2  38.6000  8.2700  4.1400  0.2600  0.3000  45.0000  1.8000\n"
    "Layer 1  carbon  1  0.2500 2\n"
    "Layer 2  carbon  1  0.5000 2\n"
    "1 \n";

class CTempProject {
public:
    CTempProject() {
        std::string pattern = (fs::temp_directory_path() / "pemblar-study-XXXXXX").string();
        m_dir = ::mkdtemp(pattern.data()) ? pattern : std::string();
        fs::create_directories(fs::path(m_dir) / "input");
    }
    ~CTempProject() {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    CTempProject(const CTempProject&) = delete;
    CTempProject& operator=(const CTempProject&) = delete;

    const std::string& Dir() const { return m_dir; }
    std::string Path(const std::string& relative) const { return (fs::path(m_dir) / relative).string(); }
    std::string Write(const std::string& relative, const std::string& text) const {
        const fs::path p = fs::path(m_dir) / relative;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }

private:
    std::string m_dir;
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace studytest
