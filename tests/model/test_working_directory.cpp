#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "WorkingDirectory.h"
#include "../ScopedTempDir.h"

namespace fs = std::filesystem;

TEST(WorkingDirectory, GuardReturnsHomeWhateverHappensInside) {
    const std::string before = CurrentDirectory();
    const CScopedTempDir temp("pemblar-guard-home");
    const fs::path home = temp.Path();
    fs::create_directories(home / "sub");
    {
        CDirectoryGuard guard(home.string());
        EXPECT_EQ(CurrentDirectory(), fs::canonical(home).string());
        ASSERT_TRUE(ChangeDirectory("sub"));
    }
    EXPECT_EQ(CurrentDirectory(), fs::canonical(home).string());
    ChangeDirectory(before);
}

TEST(WorkingDirectory, LongPathsAreHandled) {
    const std::string before = CurrentDirectory();
    const CScopedTempDir temp("pemblar-deep");
    fs::path deep = temp.Path();
    for (int i = 0; i < 12; ++i)
        deep /= std::string(40, static_cast<char>('a' + i));
    fs::create_directories(deep);
    ASSERT_TRUE(ChangeDirectory(deep.string()));
    EXPECT_EQ(CurrentDirectory(), fs::canonical(deep).string());
    EXPECT_GT(CurrentDirectory().size(), 300u);
    ChangeDirectory(before);
}

TEST(WorkingDirectory, MakeDirectoryAcceptsAnExistingDirectoryOnly) {
    const CScopedTempDir temp("pemblar-mkdir");
    const fs::path base = temp.Path();
    EXPECT_TRUE(MakeDirectory((base / "a").string()));
    EXPECT_TRUE(MakeDirectory((base / "a").string()));
    std::ofstream((base / "file").string()) << "x";
    EXPECT_FALSE(MakeDirectory((base / "file").string()));
}

TEST(WorkingDirectory, OnlyPlainComponentsAreFileNames) {
    EXPECT_TRUE(IsPlainPathComponent("COM_project"));
    EXPECT_TRUE(IsPlainPathComponent("two words"));
    EXPECT_TRUE(IsPlainPathComponent("..x"));
    EXPECT_FALSE(IsPlainPathComponent(""));
    EXPECT_FALSE(IsPlainPathComponent("."));
    EXPECT_FALSE(IsPlainPathComponent(".."));
    EXPECT_FALSE(IsPlainPathComponent("../x"));
    EXPECT_FALSE(IsPlainPathComponent("a/b"));
    EXPECT_FALSE(IsPlainPathComponent(std::string("a\0b", 3)));
}
