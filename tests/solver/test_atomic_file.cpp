#include <gtest/gtest.h>


#include <filesystem>
#include <fstream>
#include <sstream>

#include "AtomicFile.h"
#include "../ScopedTempDir.h"
#include "../FileSizeLimit.h"

#include <memory>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The directories of this run's cases, removed when the test program ends.
fs::path FreshDir(const std::string& name) {
    static std::vector<std::unique_ptr<CScopedTempDir>> made;
    made.push_back(std::make_unique<CScopedTempDir>("pemblar-atomic-" + name));
    return made.back()->Path();
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

int EntryCount(const fs::path& dir) {
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir))
        ++n;
    return n;
}

}  // namespace

TEST(AtomicFile, WritesAndReplacesWholeFiles) {
    const fs::path dir = FreshDir("replace");
    const std::string target = (dir / "a.dat").string();
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(target, "first\n", &error)) << error;
    EXPECT_EQ(Slurp(target), "first\n");
    ASSERT_TRUE(WriteFileAtomically(target, std::string("x\0y", 3), &error)) << error;
    EXPECT_EQ(Slurp(target), std::string("x\0y", 3));
    ASSERT_TRUE(WriteFileAtomically(target, "", &error)) << error;
    EXPECT_EQ(Slurp(target), "");
    EXPECT_EQ(EntryCount(dir), 1) << "no temporary file may stay behind";
}

TEST(AtomicFile, ExistingPermissionsAreKept) {
    const fs::path dir = FreshDir("perms");
    const std::string target = (dir / "a.dat").string();
    ASSERT_TRUE(WriteFileAtomically(target, "1", nullptr));
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(WriteFileAtomically(target, "2", nullptr));
    EXPECT_EQ(fs::status(target).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(AtomicFile, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
    const fs::path dir = FreshDir("full");
    const std::string target = (dir / "a.dat").string();
    ASSERT_TRUE(WriteFileAtomically(target, "old contents\n", nullptr));
    std::string error;
    bool ok = true;
    {
        CFileSizeLimit limit(100);
        ok = WriteFileAtomically(target, std::string(5000, 'n'), &error);
    }
    EXPECT_FALSE(ok);
    EXPECT_NE(error.find(target), std::string::npos) << error;
    EXPECT_EQ(Slurp(target), "old contents\n");
    EXPECT_EQ(EntryCount(dir), 1);
}

TEST(AtomicFile, MissingDirectoryOrDirectoryTargetFails) {
    const fs::path dir = FreshDir("nodir");
    std::string error;
    EXPECT_FALSE(WriteFileAtomically((dir / "missing" / "a.dat").string(), "x", &error));
    EXPECT_FALSE(error.empty());
    fs::create_directories(dir / "sub");
    fs::path blocked = dir / "sub";
    EXPECT_FALSE(WriteFileAtomically(blocked.string(), "x", &error));
    EXPECT_TRUE(fs::is_directory(blocked));
    EXPECT_EQ(EntryCount(dir), 1);
    EXPECT_FALSE(WriteFileAtomically("", "x", &error));
}

TEST(AtomicFile, CopyReplacesTargetOrLeavesItAlone) {
    const fs::path dir = FreshDir("copy");
    std::string big;
    for (int i = 0; i < 100000; ++i)
        big += std::to_string(i) + "\n";
    ASSERT_TRUE(WriteFileAtomically((dir / "src").string(), big, nullptr));
    ASSERT_TRUE(WriteFileAtomically((dir / "dst").string(), "old", nullptr));
    std::string error;
    ASSERT_TRUE(CopyFileAtomically((dir / "src").string(), (dir / "dst").string(), &error)) << error;
    EXPECT_EQ(Slurp(dir / "dst"), big);

    ASSERT_TRUE(WriteFileAtomically((dir / "dst").string(), "old", nullptr));
    EXPECT_FALSE(CopyFileAtomically((dir / "nothing").string(), (dir / "dst").string(), &error));
    EXPECT_NE(error.find("nothing"), std::string::npos);
    EXPECT_FALSE(CopyFileAtomically(dir.string(), (dir / "dst").string(), &error));
    {
        CFileSizeLimit limit(1000);
        EXPECT_FALSE(CopyFileAtomically((dir / "src").string(), (dir / "dst").string(), &error));
    }
    EXPECT_EQ(Slurp(dir / "dst"), "old");
    EXPECT_EQ(EntryCount(dir), 2);
}
