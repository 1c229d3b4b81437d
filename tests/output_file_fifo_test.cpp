// The all-or-nothing writer meets a path that is not a regular file: a FIFO is written straight
// through and stays a FIFO, where a temporary renamed over it would have replaced it with a
// plain file (as it would /dev/null). Linux only: the FIFO comes from mkfifo.
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "cli/output_file.h"

namespace fs = std::filesystem;

namespace {

TEST(OutputFileFifo, IsWrittenThroughAndStaysAFifo) {
    const fs::path dir = fs::temp_directory_path() /
                         ("output_file_fifo_test_" +
                          std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path fifo = dir / "frame.png";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

    // Static: should the FIFO be replaced, the reader stays blocked in its open and is left
    // behind rather than joined.
    static std::string received;
    std::thread reader([fifo] {
        std::ifstream in(fifo, std::ios::binary);
        received.assign(std::istreambuf_iterator<char>(in), {});
    });
    std::string error;
    const bool ok = WriteFileAtomically(
        fifo.string(), [](std::FILE* f) { return std::fputs("picture", f) >= 0; }, error);
    if (!fs::is_fifo(fifo)) {
        reader.detach();
        FAIL() << "the FIFO was replaced by a plain file";
    }
    reader.join();

    EXPECT_TRUE(ok) << error;
    EXPECT_EQ(received, "picture");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
        << "a temporary was left beside it";
    fs::remove_all(dir);
}

} // namespace
