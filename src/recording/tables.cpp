// The two text-or-bytes formats the recording readers parse themselves: NumPy
// .npy files and CSV tables. Both are untrusted input (fuzzed in
// tests/fuzz/): every length and count is checked before it is used.
//
//   [SECTION] .npy
//   [SECTION] CSV
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "recording.h"

/*==========================================================================
** [SECTION] .npy
**========================================================================*/

namespace {

constexpr size_t kMaxValues = size_t{1} << 31;  // more than any signal or etalon set the readers take

// One element type of a descr: its width, kind ('i', 'u', 'f') and byte order.
struct NpyType {
    char kind = 0;       // 'i' signed, 'u' unsigned, 'f' IEEE float
    int width = 0;       // bytes: 1, 2, 4, 8 (floats 4 or 8)
    bool big = false;    // big-endian
};

bool parseDescr(const std::string& descr, NpyType& type)
{
    if (descr.size() != 3 || (descr[0] != '<' && descr[0] != '>' && descr[0] != '|' && descr[0] != '='))
        return false;
    type.big = descr[0] == '>';
    type.kind = descr[1];
    type.width = descr[2] - '0';
    const bool integer = (type.kind == 'i' || type.kind == 'u') &&
                         (type.width == 1 || type.width == 2 || type.width == 4 || type.width == 8);
    const bool real = type.kind == 'f' && (type.width == 4 || type.width == 8);
    return integer || real;
}

// The value of `key` in the header dict: the text after "'key':" up to the
// next ',' at depth 0 or the closing brace. False when the key is missing.
bool dictValue(const std::string& header, const std::string& key, std::string& value)
{
    const std::string quoted[2] = {"'" + key + "'", "\"" + key + "\""};
    size_t at = std::string::npos;
    for (const std::string& q : quoted)
        if ((at = header.find(q)) != std::string::npos) {
            at += q.size();
            break;
        }
    if (at == std::string::npos)
        return false;
    at = header.find_first_not_of(" \t", at);
    if (at == std::string::npos || header[at] != ':')
        return false;
    int depth = 0;
    size_t end = at + 1;
    for (; end < header.size(); end++) {
        const char c = header[end];
        if (c == '(' || c == '[')
            depth++;
        else if (c == ')' || c == ']')
            depth--;
        else if ((c == ',' && depth == 0) || (c == '}' && depth == 0))
            break;
    }
    value = header.substr(at + 1, end - at - 1);
    const size_t first = value.find_first_not_of(" \t"), last = value.find_last_not_of(" \t");
    value = first == std::string::npos ? "" : value.substr(first, last - first + 1);
    return true;
}

bool parseShape(const std::string& text, std::vector<size_t>& shape)
{
    if (text.size() < 2 || text.front() != '(' || text.back() != ')')
        return false;
    shape.clear();
    size_t at = 1;
    while (at < text.size() - 1) {
        at = text.find_first_not_of(" \t", at);
        if (at >= text.size() - 1)
            break;
        if (text[at] < '0' || text[at] > '9')
            return false;
        size_t extent = 0;
        while (at < text.size() - 1 && text[at] >= '0' && text[at] <= '9') {
            extent = extent * 10 + size_t(text[at++] - '0');
            if (extent > kMaxValues)
                return false;
        }
        shape.push_back(extent);
        at = text.find_first_not_of(" \t", at);
        if (at < text.size() - 1 && text[at] != ',')
            return false;
        at++;
    }
    return shape.size() <= 8;
}

double npyValue(const unsigned char* p, const NpyType& t)
{
    unsigned char b[8];
    for (int i = 0; i < t.width; i++)
        b[i] = t.big ? p[t.width - 1 - i] : p[i];  // little-endian order in b
    uint64_t u = 0;
    for (int i = t.width - 1; i >= 0; i--)
        u = (u << 8) | b[i];
    if (t.kind == 'f') {
        if (t.width == 4) {
            float f;
            const uint32_t u32 = static_cast<uint32_t>(u);
            std::memcpy(&f, &u32, 4);
            return f;
        }
        double d;
        std::memcpy(&d, &u, 8);
        return d;
    }
    if (t.kind == 'u')
        return static_cast<double>(u);
    const int bits = 8 * t.width;
    if (bits < 64 && (u >> (bits - 1)) & 1)
        u |= ~uint64_t{0} << bits;  // sign extension
    return static_cast<double>(static_cast<int64_t>(u));
}

// Row-major values of a column-major (Fortran) array.
std::vector<double> rowMajor(const std::vector<double>& column, const std::vector<size_t>& shape)
{
    std::vector<double> out(column.size());
    std::vector<size_t> index(shape.size(), 0);
    for (size_t k = 0; k < column.size(); k++) {
        size_t row = 0, columnAt = 0, stride = 1;
        for (size_t a = 0; a < shape.size(); a++) { // column-major offset of `index`
            columnAt += index[a] * stride;
            stride *= shape[a];
        }
        for (size_t a = 0; a < shape.size(); a++)
            row = row * shape[a] + index[a];
        out[row] = column[columnAt];
        for (size_t a = shape.size(); a-- > 0;) { // next index, row-major
            if (++index[a] < shape[a])
                break;
            index[a] = 0;
        }
    }
    return out;
}

} // namespace

bool parseNpy(std::string_view bytes, NumericArray& out, std::string& error)
{
    static const char kMagic[] = "\x93NUMPY";
    if (bytes.size() < 10 || bytes.substr(0, 6) != std::string_view(kMagic, 6))
        return error = "not a NumPy .npy file (no \\x93NUMPY magic)", false;
    const auto* u = reinterpret_cast<const unsigned char*>(bytes.data());
    const int major = u[6];
    size_t headerLength = 0, headerStart = 0;
    if (major == 1) {
        headerLength = u[8] | (size_t{u[9]} << 8);
        headerStart = 10;
    } else if ((major == 2 || major == 3) && bytes.size() >= 12) {
        headerLength = u[8] | (size_t{u[9]} << 8) | (size_t{u[10]} << 16) | (size_t{u[11]} << 24);
        headerStart = 12;
    } else {
        return error = "unsupported .npy format version " + std::to_string(major), false;
    }
    if (headerLength > bytes.size() - headerStart)
        return error = "the .npy header runs past the end of the file", false;
    const std::string header(bytes.substr(headerStart, headerLength));
    std::string descr, order, shapeText;
    NpyType type;
    if (!dictValue(header, "descr", descr) || !dictValue(header, "fortran_order", order) ||
        !dictValue(header, "shape", shapeText))
        return error = "the .npy header lacks descr, fortran_order or shape", false;
    if (descr.size() < 2 || !parseDescr(descr.substr(1, descr.size() - 2), type))
        return error = "unsupported .npy element type " + descr + " (integers i1..i8, u1..u8 or floats f4, f8)", false;
    if (order != "True" && order != "False")
        return error = "bad fortran_order " + order + " in the .npy header", false;
    if (!parseShape(shapeText, out.shape))
        return error = "bad shape " + shapeText + " in the .npy header", false;
    size_t count = 1;
    for (size_t extent : out.shape)
        if (extent != 0 && count > kMaxValues / extent)
            return error = "the .npy array is too large", false;
        else
            count *= extent;
    const size_t start = headerStart + headerLength;
    if ((bytes.size() - start) / size_t(type.width) < count)
        return error = "the .npy data is shorter than its shape " + shapeText + " needs", false;
    out.values.resize(count);
    for (size_t k = 0; k < count; k++)
        out.values[k] = npyValue(u + start + k * size_t(type.width), type);
    if (order == "True" && out.shape.size() > 1)
        out.values = rowMajor(out.values, out.shape);
    out.columns.clear();
    return true;
}

/*==========================================================================
** [SECTION] CSV
**========================================================================*/

namespace {

std::vector<std::string> splitFields(std::string_view line)
{
    std::vector<std::string> fields(1);
    for (char c : line) {
        if (c == ',' || c == ';' || c == '\t')
            fields.emplace_back();
        else if (c != '\r')
            fields.back() += c;
    }
    for (std::string& f : fields) { // trimmed, quotes dropped
        const size_t a = f.find_first_not_of(" \""), b = f.find_last_not_of(" \"");
        f = a == std::string::npos ? "" : f.substr(a, b - a + 1);
    }
    return fields;
}

// The field as a number: the whole field read, nothing left over.
bool fieldNumber(const std::string& field, double& value)
{
    if (field.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtod(field.c_str(), &end);
    return end == field.c_str() + field.size() && errno != ERANGE;
}

} // namespace

bool parseCsv(std::string_view text, NumericArray& out, std::string& error)
{
    out = NumericArray{};
    size_t rows = 0, width = 0, lineNumber = 0, at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        lineNumber++;
        if (line.find_first_not_of(" \t\r") == std::string_view::npos)
            continue;
        const std::vector<std::string> fields = splitFields(line);
        if (width == 0)
            width = fields.size();
        if (fields.size() != width)
            return error = "line " + std::to_string(lineNumber) + " has " + std::to_string(fields.size()) +
                           " fields, the first row " + std::to_string(width), false;
        std::vector<double> numbers(width);
        for (size_t c = 0; c < width; c++)
            if (!fieldNumber(fields[c], numbers[c])) {
                if (rows == 0 && out.columns.empty()) { // a header
                    out.columns = fields;
                    numbers.clear();
                    break;
                }
                return error = "line " + std::to_string(lineNumber) + ", column " + std::to_string(c + 1) + ": \"" +
                               fields[c].substr(0, 40) + "\" is not a number", false;
            }
        if (numbers.empty())
            continue;
        out.values.insert(out.values.end(), numbers.begin(), numbers.end());
        rows++;
    }
    if (rows == 0)
        return error = "no rows of numbers", false;
    out.shape = {rows, width};
    return true;
}
