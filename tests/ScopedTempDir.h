#pragma once
// A directory of one test's own below the system temporary directory: a fresh unique name
// (tests of several build trees may run at once), removed with everything in it when the
// object goes, so no test leaves anything behind.

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

class CScopedTempDir {
public:
    explicit CScopedTempDir(const std::string& prefix = "pemblar-test") {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()))
            m_path = pattern;
    }
    ~CScopedTempDir() { Remove(); }
    CScopedTempDir(const CScopedTempDir&) = delete;
    CScopedTempDir& operator=(const CScopedTempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    bool Valid() const { return !m_path.empty(); }
    void Remove() {
        if (m_path.empty())
            return;
        std::error_code ec;
        // Entries a test made unwritable would stop the removal of their directory.
        for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_path, ec);
        m_path.clear();
    }

private:
    std::filesystem::path m_path;
};
