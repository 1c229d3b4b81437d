// Arrays read from files: numpy's .npy format (float32, float64 or bool, one or two dimensions,
// C or Fortran order) and raw little-endian float32.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct NpyArray {
    enum class Type : std::uint8_t { Float32, Float64, Bool };
    Type type = Type::Float64;
    int dims = 0;                      // 1 or 2
    std::ptrdiff_t rows = 0, cols = 0; // shape (rows, cols); a 1-D array of n is 1 x n
    bool fortranOrder = false;         // columns stored one after another
    std::vector<float> f32;            // the values, in file order, in the vector of their type
    std::vector<double> f64;
    std::vector<std::uint8_t> bools; // 0 or 1

    // Elements between neighbours along a row (the next column) and along a column (the next
    // row): the strides that read the values in place.
    std::ptrdiff_t ColumnStride() const { return fortranOrder ? rows : 1; }
    std::ptrdiff_t RowStride() const { return fortranOrder ? 1 : cols; }
    std::string Describe() const; // "float32 array of shape (3, 4)"
};

// What the header says: everything but the values.
struct NpyHeader {
    NpyArray::Type type = NpyArray::Type::Float64;
    int dims = 0;
    std::ptrdiff_t rows = 0, cols = 0;
    bool fortranOrder = false;
    std::size_t dataOffset = 0; // bytes from the start of the file to the first value
};

// The preamble and header dictionary at the start of a file (as many bytes of it as are at
// hand). Sets error to one line and returns false for anything that is not a supported array.
bool ParseNpyHeader(std::string_view bytes, NpyHeader& header, std::string& error);

// The whole file: its header, then exactly the values it announces (a shorter or a longer file
// is refused). Memory grows with what the file holds, never with what a header claims.
bool ReadNpy(const std::string& path, NpyArray& array, std::string& error);

// Exactly count little-endian float32 values, nothing before or after them.
bool ReadRawFloat32(const std::string& path, std::size_t count, std::vector<float>& values,
                    std::string& error);
