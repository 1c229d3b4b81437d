#include "cli/output_file.h"
#include "cli/printable.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class OutputFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("output_file_test_" +
                std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    static std::string Read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::size_t Entries() const {
        return std::size_t(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }

    fs::path dir_;
};

TEST_F(OutputFile, AppearsWholeAndReplacesTheOldFile) {
    const fs::path p = dir_ / "out.txt";
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(
        p.string(), [](std::FILE* f) { return std::fputs("first", f) >= 0; }, error));
    ASSERT_TRUE(WriteFileAtomically(
        p.string(), [](std::FILE* f) { return std::fputs("second", f) >= 0; }, error));
    EXPECT_EQ(Read(p), "second");
    EXPECT_EQ(Entries(), 1u); // no temporary left behind
}

TEST_F(OutputFile, AFailedWriteLeavesNothingAndKeepsTheOldFile) {
    const fs::path p = dir_ / "out.txt";
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(
        p.string(), [](std::FILE* f) { return std::fputs("old", f) >= 0; }, error));
    EXPECT_FALSE(WriteFileAtomically(
        p.string(),
        [](std::FILE* f) {
            std::fputs("half", f);
            return false;
        },
        error));
    EXPECT_EQ(Read(p), "old");
    EXPECT_EQ(Entries(), 1u);
    // The message names the file as Printable writes it (a Windows path's backslashes doubled).
    EXPECT_NE(error.find(Printable(p.string())), std::string::npos) << error;

    const fs::path fresh = dir_ / "fresh.txt";
    EXPECT_FALSE(WriteFileAtomically(
        fresh.string(), [](std::FILE*) { return false; }, error));
    EXPECT_FALSE(fs::exists(fresh));
}

TEST_F(OutputFile, DirectoriesAndMissingFoldersAreErrors) {
    std::string error;
    auto write = [](std::FILE* f) { return std::fputs("x", f) >= 0; };
    EXPECT_FALSE(WriteFileAtomically(dir_.string(), write, error));
    EXPECT_NE(error.find("directory"), std::string::npos) << error;
    EXPECT_FALSE(WriteFileAtomically((dir_ / "no" / "such" / "f.txt").string(), write, error));
    EXPECT_EQ(error.find('\n'), std::string::npos);
    EXPECT_EQ(Entries(), 0u);
}

} // namespace

namespace {

TEST(OutputFileReason, TheWritersOwnReasonIsKept) {
    const fs::path p = fs::temp_directory_path() / "output_file_reason_test.txt";
    std::string error = "stale";
    EXPECT_FALSE(WriteFileAtomically(
        p.string(),
        [&](std::FILE*) {
            error = "no encoder";
            return false;
        },
        error));
    EXPECT_NE(error.find("no encoder"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(p));
    EXPECT_FALSE(WriteFileAtomically(
        p.string(), [](std::FILE*) { return false; }, error));
    EXPECT_NE(error.find("the write failed"), std::string::npos) << error; // not "no encoder"
}

} // namespace

namespace {

TEST(OutputFileTemporary, AFileNamedLikeTheTemporaryIsLeftAlone) {
    const fs::path dir = fs::temp_directory_path() / "output_file_temporary_test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path target = dir / "out.txt";
    for (const char* name : {"out.txt.partial", "out.txt.partial1"}) {
        std::ofstream(dir / name) << "keep me";
    }
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(
        target.string(), [](std::FILE* f) { return std::fputs("new", f) >= 0; }, error));
    EXPECT_FALSE(WriteFileAtomically(
        target.string(), [](std::FILE*) { return false; }, error));
    auto firstLine = [](const fs::path& p) {
        std::ifstream in(p); // closed before the folder goes: Windows will not remove open files
        std::string line;
        std::getline(in, line);
        return line;
    };
    EXPECT_EQ(firstLine(dir / "out.txt.partial"), "keep me");
    EXPECT_EQ(firstLine(dir / "out.txt.partial1"), "keep me");
    EXPECT_EQ(firstLine(target), "new");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);
    fs::remove_all(dir);
}

} // namespace
