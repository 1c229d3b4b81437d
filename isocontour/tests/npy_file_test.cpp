#include "cli/npy_file.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

// A .npy file's bytes: preamble, the header dictionary padded with spaces to a multiple of 64
// and a newline (as numpy writes it), then the payload.
std::string Npy(const std::string& dict, const std::string& payload, int version = 1) {
    const std::size_t pre = version == 1 ? 10 : 12;
    std::string header = dict;
    while ((pre + header.size() + 1) % 64)
        header += ' ';
    header += '\n';
    std::string out = "\x93NUMPY";
    out += char(version);
    out += '\0';
    for (int i = 0; i < (version == 1 ? 2 : 4); ++i)
        out += char((header.size() >> (8 * i)) & 0xFF);
    return out + header + payload;
}

template <class T> std::string Bytes(std::vector<T> v) {
    return std::string(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T));
}

class NpyFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ =
            fs::temp_directory_path() /
            ("npy_file_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Write(const std::string& bytes) {
        const std::string path = (dir_ / ("f" + std::to_string(count_++))).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    // The error of reading bytes, or "" when they were read.
    std::string Refusal(const std::string& bytes) {
        NpyArray a;
        std::string error;
        if (ReadNpy(Write(bytes), a, error)) return "";
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        return error;
    }

    fs::path dir_;
    int count_ = 0;
};

TEST_F(NpyFile, ReadsEachTypeAndOrderWithItsStrides) {
    NpyArray a;
    std::string error;
    // Shape (2, 3) in C order: z[r][c] at r * 3 + c.
    ASSERT_TRUE(ReadNpy(Write(Npy("{'descr': '<f4', 'fortran_order': False, 'shape': (2, 3), }",
                                  Bytes<float>({1, 2, 3, 4, 5, 6}))),
                        a, error))
        << error;
    EXPECT_EQ(a.type, NpyArray::Type::Float32);
    EXPECT_EQ(a.dims, 2);
    EXPECT_EQ(a.rows, 2);
    EXPECT_EQ(a.cols, 3);
    EXPECT_EQ(a.f32, (std::vector<float>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(a.ColumnStride(), 1);
    EXPECT_EQ(a.RowStride(), 3);
    EXPECT_EQ(a.Describe(), "float32 array of shape (2, 3)");

    // Fortran order, keys in another order, version 2: z[r][c] at c * 2 + r.
    ASSERT_TRUE(ReadNpy(Write(Npy("{'shape': (2, 3), 'fortran_order': True, 'descr': '<f8'}",
                                  Bytes<double>({1, 4, 2, 5, 3, 6}), 2)),
                        a, error))
        << error;
    EXPECT_EQ(a.type, NpyArray::Type::Float64);
    EXPECT_TRUE(a.fortranOrder);
    EXPECT_EQ(a.ColumnStride(), 2);
    EXPECT_EQ(a.RowStride(), 1);
    EXPECT_EQ(a.f64[std::size_t(1 * a.RowStride() + 2 * a.ColumnStride())], 6.0); // z[1][2]

    // Version 3 (the header in UTF-8) has version 2's four-byte header length.
    ASSERT_TRUE(ReadNpy(Write(Npy("{'descr': '<f4', 'fortran_order': False, 'shape': (1, 2), }",
                                  Bytes<float>({7, 8}), 3)),
                        a, error))
        << error;
    EXPECT_EQ(a.f32, (std::vector<float>{7, 8}));
    EXPECT_EQ(a.cols, 2);

    // A 1-D bool array is one row; any nonzero byte is true.
    ASSERT_TRUE(ReadNpy(Write(Npy("{'descr': '|b1', 'fortran_order': False, 'shape': (3,), }",
                                  std::string("\x01\x00\x07", 3))),
                        a, error));
    EXPECT_EQ(a.dims, 1);
    EXPECT_EQ(a.rows, 1);
    EXPECT_EQ(a.cols, 3);
    EXPECT_EQ(a.bools, (std::vector<std::uint8_t>{1, 0, 1}));
    EXPECT_EQ(a.Describe(), "bool array of shape (3,)");

    // Empty arrays are arrays.
    ASSERT_TRUE(ReadNpy(
        Write(Npy("{'descr': '<f8', 'fortran_order': False, 'shape': (0, 5), }", "")), a, error));
    EXPECT_EQ(a.rows, 0);
    EXPECT_TRUE(a.f64.empty());
}

TEST_F(NpyFile, RefusesWhatItDoesNotReadInOneLine) {
    const std::string f4 = "{'descr': '<f4', 'fortran_order': False, 'shape': (2, 2), }";
    const std::string four = Bytes<float>({1, 2, 3, 4});
    EXPECT_EQ(Refusal(Npy(f4, four)), "");
    for (const auto& [bytes, words] : std::vector<std::pair<std::string, std::string>>{
             {"", "not a .npy"},
             {"\x93NUMPY", "not a .npy"},
             {"P5 2 2 255\n1234", "not a .npy"},
             {Npy(f4, four).replace(6, 1, "\x04"), "version 4"},
             {Npy(f4, four).substr(0, 40), "cut short"},
             {Npy(f4, four).substr(0, 11), "cut short"},
             {Npy(f4, four, 2).replace(10, 1, "\x7f"), "implausibly long"},
             {Npy(f4, four.substr(0, 15)), "exactly the 16 bytes"},
             {Npy(f4, four + "x"), "exactly the 16 bytes"},
             {Npy("{'descr': '>f4', 'fortran_order': False, 'shape': (2, 2), }", four), "'>f4'"},
             {Npy("{'descr': '<i4', 'fortran_order': False, 'shape': (2, 2), }", four), "'<i4'"},
             {Npy("{'descr': '<c8', 'fortran_order': False, 'shape': (2,), }", four), "'<c8'"},
             {Npy("{'descr': '<f4', 'fortran_order': False, 'shape': (1, 2, 2), }", four),
              "3 dimensions"},
             {Npy("{'descr': '<f4', 'fortran_order': False, 'shape': (), }", four.substr(0, 4)),
              "0 dimensions"},
             {Npy("{'descr': '<f4', 'shape': (2, 2), }", four), "lacks"},
             {Npy("{'descr': '<f4', 'fortran_order': 0, 'shape': (2, 2), }", four),
              "fortran_order"},
             {Npy("{'descr': '<f4', 'fortran_order': False, 'shape': (2, -2), }", four), "shape"},
             {Npy("{'descr': '<f4', 'fortran_order': False, 'shape': (2, 2), 'x': 1}", four),
              "'x'"},
             {Npy("['<f4', False, (2, 2)]", four), "not a dictionary"},
             {Npy(f4 + " junk", four), "after its dictionary"},
             {Npy("{'descr': '<f4', 'fortran_order': False, 'shape': (99999999999999999999, 1)}",
                  four),
              "shape"},
         }) {
        const std::string error = Refusal(bytes);
        EXPECT_NE(error.find(words), std::string::npos) << words << ": " << error;
    }
}

// A header may claim anything: memory follows the bytes actually there, so a claim of 2^56
// values over sixteen bytes is refused as short, not attempted as an allocation.
TEST_F(NpyFile, AHeaderThatLiesAboutItsSizeAllocatesNothingLarge) {
    EXPECT_NE(Refusal(Npy("{'descr': '<f8', 'fortran_order': False, 'shape': (268435456, "
                          "268435456), }",
                          Bytes<double>({1, 2})))
                  .find("exactly"),
              std::string::npos);
}

TEST_F(NpyFile, RawFloat32IsExactlyTheCountAsked) {
    const std::string path = Write(Bytes<float>({1.5f, -2, 3}));
    std::vector<float> v;
    std::string error;
    ASSERT_TRUE(ReadRawFloat32(path, 3, v, error)) << error;
    EXPECT_EQ(v, (std::vector<float>{1.5f, -2, 3}));
    EXPECT_FALSE(ReadRawFloat32(path, 2, v, error));
    EXPECT_NE(error.find("exactly 2 float32"), std::string::npos) << error;
    EXPECT_FALSE(ReadRawFloat32(path, 4, v, error));
    EXPECT_FALSE(ReadRawFloat32((dir_ / "missing").string(), 1, v, error));
    EXPECT_NE(error.find("cannot read"), std::string::npos) << error;
}

} // namespace
