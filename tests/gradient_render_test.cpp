// gradient-render as a command: its files against the in-process frame, and its failures.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/frame.h"
#include "app/state.h"
#include "app/render/png_writer.h"
#include "app/render/segments_csv.h"

#define STBI_ONLY_PNG
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

namespace fs = std::filesystem;

namespace {

class RenderTool : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(InitDemo()); }
    static void TearDownTestSuite() { ShutdownDemo(); }
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("gradient_render_test_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_);
    }

    // Runs the tool with args; returns its exit code and keeps its stderr.
    int Run(const std::string& args) {
        const std::string cmd = std::string(GRADIENT_RENDER) + " " + args + " 2>" +
                                (dir_ / "stderr.txt").string() + " >/dev/null";
        const int status = std::system(cmd.c_str());
        stderr_ = Read(dir_ / "stderr.txt");
        fs::remove(dir_ / "stderr.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static std::string Read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_))
            names.push_back(e.path().filename());
        return names;
    }

    fs::path dir_;
    std::string stderr_;
};

// Decodes an RGB PNG into 0x00RRGGBB pixels (nothing when it is not one).
std::vector<std::uint32_t> ReadPng(const fs::path& path, int& width, int& height) {
    std::vector<std::uint32_t> out;
    int channels = 0;
    unsigned char* rgb = stbi_load(path.c_str(), &width, &height, &channels, 3);
    if (rgb == nullptr) return out;
    if (channels == 3)
        for (std::size_t i = 0; i < std::size_t(width) * std::size_t(height) * 3; i += 3)
            out.push_back(std::uint32_t(rgb[i]) << 16 | std::uint32_t(rgb[i + 1]) << 8 |
                          rgb[i + 2]);
    stbi_image_free(rgb);
    return out;
}

TEST_F(RenderTool, FilesMatchTheFrameDrawnInProcess) {
    for (const char* t : {"0", "1.3", "11.9"}) {
        SCOPED_TRACE(t);
        const fs::path png = dir_ / "f.png", csv = dir_ / "s.csv";
        ASSERT_EQ(Run(std::string("--time ") + t + " --threshold 0.5865 --png " + png.string() +
                      " --segments " + csv.string()),
                  0)
            << stderr_;

        threshold = 0.5865f;
        RenderFrameAt(std::strtof(t, nullptr));
        const FrameView f = gfx->LastFrame();
        int w = 0, h = 0;
        const std::vector<std::uint32_t> pixels = ReadPng(png, w, h);
        ASSERT_EQ(w, 800);
        ASSERT_EQ(h, 600);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(pixels[std::size_t(y) * 800 + x], f.pixels[y * f.pitch + x] & 0xFFFFFF)
                    << x << "," << y;

        const FrameContour contour;
        std::FILE* mem = std::tmpfile();
        WriteSegmentsCsv(mem, contour.points, contour.normals, contour.count);
        std::rewind(mem);
        std::string expected;
        for (int c; (c = std::fgetc(mem)) != EOF;)
            expected.push_back(char(c));
        std::fclose(mem);
        EXPECT_EQ(Read(csv), expected);
        EXPECT_GT(contour.count, 0);
    }
}

// 64-bit FNV-1a.
std::uint64_t Fnv1a(const std::string& bytes) {
    std::uint64_t h = 0xcbf29ce484222325u;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 0x100000001b3u;
    }
    return h;
}

TEST_F(RenderTool, SegmentCsvHashesArePinned) {
    // Every bit of the contour, end points and normals, in order, for a few frames: the hash of
    // the CSV as this build's sources wrote it. A change here is a change of output; the frames
    // at t = 0 hold infinite nodes and NaN end points.
    struct Pinned {
        const char* time;
        const char* threshold;
        std::size_t rows;
        std::uint64_t hash;
    };
    for (const Pinned& p :
         {Pinned{"0", "0.6", 126, 0xf623351a25af7ed0u}, Pinned{"0", "3.5", 28, 0x5d9905b1caf0bc20u},
          Pinned{"1.3", "0.6", 172, 0xc690285aff2171c9u},
          Pinned{"2.7", "0.5865", 178, 0x792d42cd696f890fu},
          Pinned{"11.9", "3.35", 24, 0xcba6d4926ae8fa1du}}) {
        SCOPED_TRACE(testing::Message() << "t " << p.time << " threshold " << p.threshold);
        const fs::path csv = dir_ / "s.csv";
        ASSERT_EQ(Run(std::string("--time ") + p.time + " --threshold " + p.threshold +
                      " --segments " + csv.string()),
                  0)
            << stderr_;
        const std::string text = Read(csv);
        EXPECT_EQ(std::size_t(std::count(text.begin(), text.end(), '\n')), p.rows + 1);
        EXPECT_EQ(Fnv1a(text), p.hash);
    }
}

TEST_F(RenderTool, FramesGoIntoANumberedSequence) {
    ASSERT_EQ(Run("--frames 3 --fps 10 --time 1 --dir " + (dir_ / "seq").string()), 0) << stderr_;
    EXPECT_TRUE(fs::exists(dir_ / "seq" / "frame-00000.png"));
    EXPECT_TRUE(fs::exists(dir_ / "seq" / "frame-00002.png"));
    EXPECT_FALSE(fs::exists(dir_ / "seq" / "frame-00003.png"));
    int w = 0, h = 0;
    const auto first = ReadPng(dir_ / "seq" / "frame-00000.png", w, h);
    const auto last = ReadPng(dir_ / "seq" / "frame-00002.png", w, h);
    EXPECT_NE(first, last); // the charges moved
}

TEST_F(RenderTool, PngWriterKeepsEveryPixelOfAnyRowPitch) {
    // 5 x 3 pixels in rows of 7 words: the two words past each row must not reach the file.
    std::vector<std::uint32_t> words(7 * 3, 0xABCDEF);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            words[std::size_t(y) * 7 + x] = std::uint32_t(0x10307 * (y * 5 + x + 1));
    const fs::path path = dir_ / "small.png";
    std::string error;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(WritePng(f, FrameView{words.data(), 5, 3, 7}, error)) << error;
    std::fclose(f);
    int w = 0, h = 0;
    const std::vector<std::uint32_t> pixels = ReadPng(path, w, h);
    ASSERT_EQ(w, 5);
    ASSERT_EQ(h, 3);
    ASSERT_EQ(pixels.size(), 15u);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(pixels[std::size_t(y) * 5 + x], words[std::size_t(y) * 7 + x] & 0xFFFFFF);

    // No frame, or a pitch shorter than a row: refused with a reason, nothing written.
    std::FILE* g = std::tmpfile();
    for (const FrameView bad :
         {FrameView{}, FrameView{words.data(), 5, 0, 7}, FrameView{words.data(), 5, 3, 4}}) {
        error.clear();
        EXPECT_FALSE(WritePng(g, bad, error));
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(std::ftell(g), 0);
    std::fclose(g);
}

TEST_F(RenderTool, BadArgumentsExitTwoWithOneLine) {
    for (const char* args : {"--bogus", "--time", "--time -3", "--threshold nan",
                             "--frames 0 --dir x", "--frames 5 --dir x --fps 0"}) {
        EXPECT_EQ(Run(args), 2) << args;
        EXPECT_EQ(std::count(stderr_.begin(), stderr_.end(), '\n'), 1) << stderr_;
        EXPECT_EQ(stderr_.rfind("gradient-render: ", 0), 0u) << stderr_;
    }
    EXPECT_TRUE(Entries().empty());
}

TEST_F(RenderTool, UnwritableOutputsExitOneAndLeaveNothing) {
    // A PNG path that is a folder, and a file in a missing folder.
    EXPECT_EQ(Run("--png " + dir_.string()), 1);
    EXPECT_NE(stderr_.find("directory"), std::string::npos) << stderr_;
    EXPECT_EQ(Run("--segments " + (dir_ / "missing" / "s.csv").string()), 1);
    EXPECT_EQ(std::count(stderr_.begin(), stderr_.end(), '\n'), 1) << stderr_;
    EXPECT_TRUE(Entries().empty());

    // A folder without write permission (root may write anyway: then the run succeeds).
    const fs::path locked = dir_ / "locked";
    fs::create_directories(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    const int code = Run("--png " + (locked / "f.png").string());
    if (code != 0) {
        EXPECT_EQ(code, 1);
        EXPECT_TRUE(fs::is_empty(locked));
    }
}

} // namespace
