// Shared pieces of the fuzz targets: reading the input, exact-size caller arrays, an
// independent code page 932 scan, and the check that turns a broken property into a
// libFuzzer finding with the case's bytes printed.
//
// No Japanese literal may appear in the fuzz sources: clang compiles them as UTF-8. Bytes
// are written as escapes with the character named beside them.
//
// Classes: Reader, ExactArray, PathCaseHead, Field.
#ifndef TESTS_FUZZ_FUZZSUPPORT_H
#define TESTS_FUZZ_FUZZSUPPORT_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace fuzz {

// The size of the caller's array a case tries, from a mode byte and a size field:
//   mode % 3 == 0: the 1024 bytes of the probes' and workers' arrays
//   mode % 3 == 1: what the case needs - 3 .. + 3, the edge of "fits"
//   mode % 3 == 2: sizeField % limit
inline size_t ArraySize(uint8_t mode, uint16_t sizeField, size_t needed, size_t limit = 2100)
{
    switch (mode % 3) {
    case 0: return 1024;
    case 1: return needed + sizeField % 7 >= 3 ? needed + sizeField % 7 - 3 : 0;
    default: return sizeField % limit;
    }
}

// The fields that open the input of a target over a caller's path array: mode (1 byte),
// size (2, little-endian), padding length (2) and padding byte (1). The padding goes in
// front of the path.
struct PathCaseHead {
    uint8_t mode;
    uint16_t sizeField;
    size_t padLength;
    char padByte;
    size_t ArraySize(size_t needed) const { return fuzz::ArraySize(mode, sizeField, needed); }
};

// Reads the input front to back. Past its end every field reads as zero, so that any
// input, however short, is a case.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
    uint8_t U8() { return p_ < end_ ? *p_++ : 0; }
    uint16_t U16()
    {
        const uint16_t lo = U8();
        return static_cast<uint16_t>(lo | (U8() << 8));
    }
    uint32_t U32()
    {
        const uint32_t lo = U16();
        return lo | (static_cast<uint32_t>(U16()) << 16);
    }
    // Bytes up to the next NUL, which is consumed, or up to the end.
    std::string Part()
    {
        const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(p_, 0, static_cast<size_t>(end_ - p_)));
        const uint8_t* stop = nul ? nul : end_;
        std::string s(reinterpret_cast<const char*>(p_), static_cast<size_t>(stop - p_));
        p_ = nul ? nul + 1 : end_;
        return s;
    }
    // How many copies of a padding byte go in front of a path, so that short inputs reach
    // paths of 1000 bytes and more.
    size_t PadLength() { return U16() % 1100; }
    // The padding, then the bytes up to the next NUL; a NUL padding byte ends it there.
    std::string PaddedPart(size_t padLength, char padByte)
    {
        std::string s = std::string(padLength, padByte) + Part();
        s.resize(std::min(s.find('\0'), s.size()));
        return s;
    }
    PathCaseHead PathHead()
    {
        PathCaseHead head;
        head.mode = U8();
        head.sizeField = U16();
        head.padLength = PadLength();
        head.padByte = static_cast<char>(U8());
        return head;
    }
    std::string Rest()
    {
        std::string s(reinterpret_cast<const char*>(p_), static_cast<size_t>(end_ - p_));
        p_ = end_;
        return s;
    }

private:
    const uint8_t* p_;
    const uint8_t* end_;
};

// Hex with long runs folded, so that a 1000-byte path stays readable: "43 3A 5C (61 x996) 5C".
inline std::string Hex(const char* p, size_t n)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < n;) {
        size_t run = 1;
        while (i + run < n && p[i + run] == p[i])
            ++run;
        const unsigned char c = static_cast<unsigned char>(p[i]);
        if (!out.empty())
            out += ' ';
        const bool fold = run >= 8;
        if (fold)
            out += '(';
        out += digits[c >> 4];
        out += digits[c & 0xF];
        if (fold) {
            out += " x" + std::to_string(run) + ")";
            i += run;
        } else {
            ++i;
        }
    }
    return out.empty() ? "(empty)" : out;
}
inline std::string Hex(const std::string& s) { return Hex(s.data(), s.size()); }

// The inputs of the case under test, printed when a property fails.
struct Field {
    std::string name;
    std::string text;
};
inline std::vector<Field>& Fields()
{
    static std::vector<Field> fields;
    return fields;
}
inline void BeginCase() { Fields().clear(); }
inline void ShowBytes(const char* name, const std::string& bytes)
{
    Fields().push_back({name, "[" + Hex(bytes) + "] (" + std::to_string(bytes.size()) + " bytes)"});
}
inline void ShowNumber(const char* name, unsigned long long value)
{
    char text[48];
    std::snprintf(text, sizeof text, "%llu (0x%llX)", value, value);
    Fields().push_back({name, text});
}

[[noreturn]] inline void Fail(const char* file, int line, const char* property, const std::string& detail)
{
    std::fprintf(stderr, "\n==FUZZ PROPERTY FAILED== %s:%d\n  property: %s\n", file, line, property);
    if (!detail.empty())
        std::fprintf(stderr, "  %s\n", detail.c_str());
    for (const Field& f : Fields())
        std::fprintf(stderr, "  %s: %s\n", f.name.c_str(), f.text.c_str());
    std::fflush(stderr);
    // libFuzzer takes the abort as a crash and keeps the input as the reproducer.
    std::abort();
}

#define FUZZ_CHECK(cond, property)                                    \
    do {                                                              \
        if (!(cond))                                                  \
            ::fuzz::Fail(__FILE__, __LINE__, property, "");           \
    } while (0)

#define FUZZ_CHECK_BYTES(expected, actual, property)                                               \
    do {                                                                                           \
        const std::string fuzzExpected_ = (expected);                                              \
        const std::string fuzzActual_ = (actual);                                                  \
        if (fuzzExpected_ != fuzzActual_)                                                          \
            ::fuzz::Fail(__FILE__, __LINE__, property,                                             \
                         "expected [" + ::fuzz::Hex(fuzzExpected_) + "]\n  actual   [" +           \
                             ::fuzz::Hex(fuzzActual_) + "]");                                      \
    } while (0)

#define FUZZ_CHECK_EQ(expected, actual, property)                                                  \
    do {                                                                                           \
        const long long fuzzExpected_ = static_cast<long long>(expected);                          \
        const long long fuzzActual_ = static_cast<long long>(actual);                              \
        if (fuzzExpected_ != fuzzActual_)                                                          \
            ::fuzz::Fail(__FILE__, __LINE__, property,                                             \
                         "expected " + std::to_string(fuzzExpected_) + ", actual " +               \
                             std::to_string(fuzzActual_));                                         \
    } while (0)

// What every writer into a caller's array must do, given the array before and after: leave
// it untouched when it returns 0; otherwise end its text with a NUL within the array and
// write nothing past that NUL. The text's length, or npos on 0.
inline size_t CheckArrayWrite(int result, const std::string& before, const std::string& after)
{
    if (!result) {
        FUZZ_CHECK_BYTES(before, after, "the array is untouched on 0");
        return std::string::npos;
    }
    const size_t length = std::min(after.find('\0'), after.size());
    FUZZ_CHECK(length < after.size(), "the result is NUL-terminated within the array");
    FUZZ_CHECK_BYTES(before.substr(length + 1), after.substr(length + 1), "nothing past the new NUL is written");
    return length;
}

// A caller's array of exactly n bytes on the heap: AddressSanitizer reports the first byte
// read or written past it, with no slack for an overrun to hide in.
class ExactArray {
public:
    ExactArray(size_t n, char fill) : n_(n), p_(new char[n])
    {
        std::memset(p_.get(), fill, n);
    }
    ExactArray(const std::string& bytes) : n_(bytes.size()), p_(new char[bytes.size()])
    {
        std::memcpy(p_.get(), bytes.data(), bytes.size());
    }
    char* data() { return p_.get(); }
    size_t size() const { return n_; }
    std::string bytes() const { return std::string(p_.get(), n_); }

private:
    size_t n_;
    std::unique_ptr<char[]> p_;
};

// A NUL-terminated copy of s in exactly s.size() + 1 heap bytes, so that reading past the
// NUL is caught.
inline ExactArray CString(const std::string& s) { return ExactArray(s + std::string(1, '\0')); }

// ---------------------------------------------------------------------------------------
// Reference code page 932 scan, written apart from the rules on purpose.

inline bool IsLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Where each character of s[0, len) starts. A lead byte with nothing after it within len is
// a character of its own.
inline std::vector<size_t> CharStarts(const char* s, size_t len)
{
    std::vector<size_t> starts;
    size_t i = 0;
    while (i < len) {
        starts.push_back(i);
        i += (IsLead(static_cast<unsigned char>(s[i])) && i + 1 < len) ? 2 : 1;
    }
    return starts;
}
inline std::vector<size_t> CharStarts(const std::string& s) { return CharStarts(s.data(), s.size()); }

inline bool IsCharStart(const std::vector<size_t>& starts, size_t at)
{
    return std::binary_search(starts.begin(), starts.end(), at);
}

// Where character number index of s[0, len) ends.
inline size_t CharEnd(const std::vector<size_t>& starts, size_t index, size_t len)
{
    return index + 1 < starts.size() ? starts[index + 1] : len;
}

// True when the last character of s[0, len) is a single-byte backslash.
inline bool EndsInSeparator(const char* s, size_t len)
{
    if (len == 0)
        return false;
    const std::vector<size_t> starts = CharStarts(s, len);
    return starts.back() == len - 1 && s[len - 1] == '\\';
}

// True when the last character of s[0, len) is a lead byte standing alone.
inline bool EndsInLoneLead(const char* s, size_t len)
{
    if (len == 0)
        return false;
    const std::vector<size_t> starts = CharStarts(s, len);
    return starts.back() == len - 1 && IsLead(static_cast<unsigned char>(s[len - 1]));
}

// How much of a folder stays when its trailing separators go: whole characters are dropped
// from the end while they are single-byte backslashes; the byte at index 0 always stays.
inline size_t ReferenceKeep(const char* s, size_t len)
{
    const std::vector<size_t> starts = CharStarts(s, len);
    auto isSeparator = [&](size_t k) { return CharEnd(starts, k, len) - starts[k] == 1 && s[starts[k]] == '\\'; };
    size_t count = starts.size();
    while (count > 0 && isSeparator(count - 1))
        --count;
    const size_t keep = count == 0 ? 0 : CharEnd(starts, count - 1, len);
    return (keep == 0 && len > 0) ? 1 : keep;
}

// Every byte is a valid code page 932 character: ASCII, half-width katakana, or a lead byte
// followed by a trail byte (0x40-0x7E, 0x80-0xFC).
inline bool IsValidCp932(const char* s, size_t len)
{
    for (size_t i = 0; i < len; ++i) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        if (b < 0x80 || (b >= 0xA1 && b <= 0xDF))
            continue;
        if (!IsLead(b) || i + 1 >= len)
            return false;
        const unsigned char t = static_cast<unsigned char>(s[++i]);
        if (t < 0x40 || t == 0x7F || t > 0xFC)
            return false;
    }
    return true;
}

}  // namespace fuzz

#endif
