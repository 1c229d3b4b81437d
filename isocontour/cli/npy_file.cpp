#include "cli/npy_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/printable.h"

namespace {

constexpr std::string_view kMagic = "\x93NUMPY";
// Largest header read: numpy writes a few dozen bytes; version 2 allows 4 GiB, no file needs it.
constexpr std::size_t kMaxHeader = 1 << 20;
// Largest number of elements: every byte offset of the values fits in a ptrdiff_t.
constexpr std::ptrdiff_t kMaxElements = std::ptrdiff_t(1) << 58;

std::size_t ItemSize(NpyArray::Type t) {
    return t == NpyArray::Type::Float32 ? 4 : t == NpyArray::Type::Float64 ? 8 : 1;
}

const char* TypeName(NpyArray::Type t) {
    return t == NpyArray::Type::Float32   ? "float32"
           : t == NpyArray::Type::Float64 ? "float64"
                                          : "bool";
}

// A reader of the header's one Python dict literal: string keys; string, boolean and tuple values.
struct DictReader {
    std::string_view s;
    std::size_t at = 0;

    void Space() {
        while (at < s.size() && (s[at] == ' ' || s[at] == '\t' || s[at] == '\n' || s[at] == '\r'))
            ++at;
    }
    bool Take(char c) {
        Space();
        if (at < s.size() && s[at] == c) return ++at, true;
        return false;
    }
    bool String(std::string& out) {
        Space();
        if (at >= s.size() || (s[at] != '\'' && s[at] != '"')) return false;
        const char quote = s[at++];
        const std::size_t end = s.find(quote, at);
        if (end == std::string_view::npos) return false;
        out = std::string(s.substr(at, end - at));
        at = end + 1;
        return true;
    }
    bool Bool(bool& out) {
        Space();
        for (const auto& [word, value] : {std::pair{"True", true}, std::pair{"False", false}}) {
            const std::size_t n = std::strlen(word);
            if (s.substr(at, n) == word) return at += n, out = value, true;
        }
        return false;
    }
    // A tuple of whole numbers: (), (n,) or (a, b, ...).
    bool Tuple(std::vector<std::ptrdiff_t>& out) {
        if (!Take('(')) return false;
        out.clear();
        while (!Take(')')) {
            Space();
            const std::size_t start = at;
            std::ptrdiff_t v = 0;
            while (at < s.size() && s[at] >= '0' && s[at] <= '9') {
                if (v > kMaxElements) return false;
                v = v * 10 + (s[at++] - '0');
            }
            if (at == start || out.size() >= 8) return false;
            out.push_back(v);
            if (!Take(',')) {
                if (!Take(')')) return false;
                break;
            }
        }
        return true;
    }
};

bool Fail(std::string& error, std::string message) {
    error = std::move(message);
    return false;
}

std::uint32_t LittleEndian(std::string_view b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | std::uint8_t(b[at + std::size_t(i)]);
    return v;
}

// Reads count values into out without asking for more memory than the file has shown so far,
// so a header that lies about its shape cannot make us allocate its claim.
template <class T> bool ReadValues(std::FILE* f, std::size_t count, std::vector<T>& out) {
    constexpr std::size_t kChunk = (std::size_t(1) << 24) / sizeof(T);
    out.clear();
    while (out.size() < count) {
        const std::size_t done = out.size();
        const std::size_t step = std::min(kChunk, count - done);
        out.resize(done + step);
        if (std::fread(out.data() + done, sizeof(T), step, f) != step) return false;
    }
    return true;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File Open(const std::string& path, std::string& error) {
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) error = "cannot read " + Printable(path) + ": " + std::strerror(errno);
    return f;
}

} // namespace

std::string NpyArray::Describe() const {
    return std::string(TypeName(type)) + " array of shape (" +
           (dims == 1 ? std::to_string(cols) + ",)"
                      : std::to_string(rows) + ", " + std::to_string(cols) + ")");
}

bool ParseNpyHeader(std::string_view b, NpyHeader& h, std::string& error) {
    if (b.size() < 10 || b.substr(0, kMagic.size()) != kMagic)
        return Fail(error, "not a .npy file (no \\x93NUMPY at its start)");
    const int major = std::uint8_t(b[6]);
    if (major < 1 || major > 3)
        return Fail(error, "unsupported .npy version " + std::to_string(major));
    const std::size_t start = major == 1 ? 10 : 12;
    if (b.size() < start) return Fail(error, "the .npy header is cut short");
    const std::size_t length = LittleEndian(b, 8, major == 1 ? 2 : 4);
    if (length > kMaxHeader) return Fail(error, "the .npy header is implausibly long");
    if (b.size() < start + length) return Fail(error, "the .npy header is cut short");

    DictReader r{b.substr(start, length)};
    std::string descr;
    bool fortran = false, haveDescr = false, haveOrder = false, haveShape = false;
    std::vector<std::ptrdiff_t> shape;
    if (!r.Take('{')) return Fail(error, "the .npy header is not a dictionary");
    while (!r.Take('}')) {
        std::string key;
        if (!r.String(key) || !r.Take(':'))
            return Fail(error, "the .npy header is not a dictionary");
        bool ok = false;
        if (key == "descr") ok = haveDescr = r.String(descr);
        if (key == "fortran_order") ok = haveOrder = r.Bool(fortran);
        if (key == "shape") ok = haveShape = r.Tuple(shape);
        if (!ok)
            return Fail(error,
                        "the .npy header has a bad or unknown entry '" + Printable(key) + "'");
        if (!r.Take(',')) {
            if (!r.Take('}')) return Fail(error, "the .npy header is not a dictionary");
            break;
        }
    }
    r.Space();
    if (r.at != r.s.size()) return Fail(error, "the .npy header has text after its dictionary");
    if (!haveDescr || !haveOrder || !haveShape)
        return Fail(error, "the .npy header lacks descr, fortran_order or shape");

    if (descr == "<f4")
        h.type = NpyArray::Type::Float32;
    else if (descr == "<f8")
        h.type = NpyArray::Type::Float64;
    else if (descr == "|b1")
        h.type = NpyArray::Type::Bool;
    else
        return Fail(error, "unsupported .npy dtype '" + Printable(descr) +
                               "' (float32, float64 or bool, little-endian)");
    if (shape.empty() || shape.size() > 2)
        return Fail(error, "a .npy array of " + std::to_string(shape.size()) +
                               " dimensions (1 or 2 are read)");
    h.dims = int(shape.size());
    h.rows = h.dims == 1 ? 1 : shape[0];
    h.cols = shape.back();
    if (h.cols > 0 && h.rows > kMaxElements / h.cols)
        return Fail(error, "the .npy shape is too large");
    h.fortranOrder = fortran && h.dims == 2;
    h.dataOffset = start + length;
    return true;
}

bool ReadNpy(const std::string& path, NpyArray& a, std::string& error) {
    File f = Open(path, error);
    if (!f) return false;
    std::string head(12, '\0');
    head.resize(std::fread(head.data(), 1, head.size(), f.get()));
    NpyHeader h;
    // The fixed preamble first, to learn the header's length, then the whole header.
    const bool v1 = head.size() >= 7 && head[6] == 1;
    if (head.size() >= 12 || (v1 && head.size() >= 10)) {
        const std::size_t length = LittleEndian(head, 8, v1 ? 2 : 4);
        const std::size_t want = (v1 ? 10 : 12) + std::min(length, kMaxHeader + 1);
        const std::size_t had = head.size();
        head.resize(std::max(had, want));
        head.resize(had + std::fread(head.data() + had, 1, head.size() - had, f.get()));
    }
    if (!ParseNpyHeader(head, h, error)) return Fail(error, Printable(path) + ": " + error);
    // The values start right after the header; whatever of them came with it is put back.
    if (std::fseek(f.get(), long(h.dataOffset), SEEK_SET) != 0)
        return Fail(error, "cannot read " + Printable(path) + ": " + std::strerror(errno));

    a = NpyArray{};
    a.type = h.type;
    a.dims = h.dims;
    a.rows = h.rows;
    a.cols = h.cols;
    a.fortranOrder = h.fortranOrder;
    const std::size_t n = std::size_t(h.rows) * std::size_t(h.cols);
    const bool ok = a.type == NpyArray::Type::Float32   ? ReadValues(f.get(), n, a.f32)
                    : a.type == NpyArray::Type::Float64 ? ReadValues(f.get(), n, a.f64)
                                                        : ReadValues(f.get(), n, a.bools);
    if (!ok || std::fgetc(f.get()) != EOF)
        return Fail(error, Printable(path) + ": the file does not hold exactly the " +
                               std::to_string(n * ItemSize(a.type)) + " bytes of values of a " +
                               a.Describe());
    for (std::uint8_t& v : a.bools)
        v = v != 0;
    return true;
}

bool ReadRawFloat32(const std::string& path, std::size_t count, std::vector<float>& values,
                    std::string& error) {
    File f = Open(path, error);
    if (!f) return false;
    if (!ReadValues(f.get(), count, values) || std::fgetc(f.get()) != EOF)
        return Fail(error, Printable(path) + " does not hold exactly " + std::to_string(count) +
                               " float32 values");
    return true;
}
