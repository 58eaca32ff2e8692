// The path rules of the environment probes, as pure functions (the attribute rules:
// FileAttributeRulesTest.cpp).
// Japanese literals are written in UTF-8 and become Shift-JIS through -fexec-charset=CP932;
// the first group checks that this really happened, since every double-byte case relies on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "rules/PathRules.h"

namespace {

std::string Hex(const std::string& s)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (!out.empty())
            out += ' ';
        out += digits[c >> 4];
        out += digits[c & 0xF];
    }
    return out;
}

// A caller's array: `size` usable bytes, then guard bytes that no function may touch.
class Buffer {
public:
    Buffer(const std::string& content, size_t size) : size_(size), bytes_(size + kGuard, kFill)
    {
        std::memcpy(bytes_.data(), content.c_str(), std::min(content.size() + 1, size + kGuard));
    }
    char* data() { return bytes_.data(); }
    size_t size() const { return size_; }
    std::string str() const { return std::string(bytes_.data()); }
    const std::vector<char>& bytes() const { return bytes_; }

private:
    static constexpr size_t kGuard = 8;
    static constexpr char kFill = static_cast<char>(0xAA);
    size_t size_;
    std::vector<char> bytes_;
};

std::string Repeat(char c, size_t n)
{
    return std::string(n, c);
}

// ---------------------------------------------------------------------------------------
// The source really is compiled to Shift-JIS.

TEST(ExecutionCharset, JapaneseLiteralsAreShiftJis)
{
    struct Row {
        const char* literal;
        const char* bytes;
    } rows[] = {
        {"ソ", "\x83\x5C"}, {"表", "\x95\x5C"}, {"能", "\x94\x5C"}, {"十", "\x8F\x5C"},
        {"予", "\x97\x5C"}, {"ケ", "\x83\x50"}, {"ｹ", "\xB9"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Hex(row.bytes), Hex(row.literal)) << "literal compiled without -fexec-charset=CP932?";
}

// ---------------------------------------------------------------------------------------
// AddTrailingBackslash.

struct SlashRow {
    const char* what;
    std::string input;
    size_t size;
    int result;
    std::string expected;  // ignored when result is 0: the buffer must be untouched
};

void CheckSlashRows(const std::vector<SlashRow>& rows)
{
    for (const SlashRow& row : rows) {
        Buffer buf(row.input, row.size);
        const std::vector<char> before = buf.bytes();
        const int result = AddTrailingBackslash(buf.data(), buf.size());
        EXPECT_EQ(row.result, result) << row.what << ": input [" << Hex(row.input) << "] size " << row.size;
        if (row.result) {
            EXPECT_EQ(Hex(row.expected), Hex(buf.str())) << row.what;
            const size_t written = row.expected.size() + 1;
            EXPECT_TRUE(std::equal(before.begin() + written, before.end(), buf.bytes().begin() + written))
                << row.what << ": bytes past the new NUL changed";
        } else {
            EXPECT_TRUE(before == buf.bytes()) << row.what << ": buffer changed although 0 was returned, now ["
                                               << Hex(buf.str()) << "]";
        }
    }
}

TEST(AddTrailingBackslash, Rows)
{
    CheckSlashRows({
        // Single-byte folders.
        {"plain folder", "C:\\Dir", 1024, 1, "C:\\Dir\\"},
        {"already one", "C:\\Dir\\", 1024, 1, "C:\\Dir\\"},
        {"three trailing", "C:\\Dir\\\\\\", 1024, 1, "C:\\Dir\\"},
        {"drive root", "C:\\", 1024, 1, "C:\\"},
        {"drive without root", "C:", 1024, 1, "C:\\"},
        {"empty path", "", 1024, 1, "\\"},
        {"one backslash", "\\", 1024, 1, "\\\\"},
        {"two backslashes", "\\\\", 1024, 1, "\\\\"},
        {"five backslashes", "\\\\\\\\\\", 1024, 1, "\\\\"},
        {"UNC share", "\\\\server\\share\\\\", 1024, 1, "\\\\server\\share\\"},
        {"single character", "a", 1024, 1, "a\\"},
        {"inner separators stay", "a\\\\b", 1024, 1, "a\\\\b\\"},
        // Shift-JIS trail bytes 0x5C are no separators.
        {"ends in 表", "C:\\表", 1024, 1, "C:\\表\\"},
        {"表 and one backslash", "C:\\表\\", 1024, 1, "C:\\表\\"},
        {"表 and two backslashes", "C:\\表\\\\", 1024, 1, "C:\\表\\"},
        {"ends in ソ", "C:\\ソ", 1024, 1, "C:\\ソ\\"},
        {"ends in 能", "D:\\機能", 1024, 1, "D:\\機能\\"},
        {"ends in 十", "C:\\十\\\\\\", 1024, 1, "C:\\十\\"},
        {"ends in 予", "C:\\予", 1024, 1, "C:\\予\\"},
        {"all five in a row", "ソ表能十予", 1024, 1, "ソ表能十予\\"},
        {"kanji at index 0", "表", 1024, 1, "表\\"},
        {"kanji at index 0 with backslashes", "表\\\\\\", 1024, 1, "表\\"},
        {"half-width kana is one byte", "C:\\ｱ\\\\", 1024, 1, "C:\\ｱ\\"},
        {"kanji after backslashes", "\\\\ソ", 1024, 1, "\\\\ソ\\"},
        // A lead byte alone at the end is a broken character.
        {"lead byte at the end is a broken character", "C:\\\x83", 1024, 0, ""},
        {"only a lead byte", "\x95", 1024, 0, ""},
        {"lead byte takes the last backslash as its trail", "C:\\\x83\\", 1024, 1, "C:\\\x83\\\\"},
        {"lead byte pair then a real separator", "C:\\\x83\\\\", 1024, 1, "C:\\\x83\\\\"},
        // Room in the array.
        {"no room for the extra byte", "C:\\Dir", 7, 0, ""},
        {"exactly room for it", "C:\\Dir", 8, 1, "C:\\Dir\\"},
        {"path of size-1 bytes already ending in one", "C:\\Dir\\", 8, 1, "C:\\Dir\\"},
        {"trimming makes room", "C:\\Dir\\\\", 9, 1, "C:\\Dir\\"},
        {"kanji, no room", "C:\\表", 6, 0, ""},
        {"kanji, exactly room", "C:\\表", 7, 1, "C:\\表\\"},
        {"empty path in one byte", "", 1, 0, ""},
        {"empty path in two bytes", "", 2, 1, "\\"},
        {"no NUL within size", "ABCDEFGH", 4, 0, ""},
        {"no NUL within size, trimmable", "A\\\\\\\\\\", 4, 0, ""},
        {"size 0", "", 0, 0, ""},
        {"1023 bytes in 1024", Repeat('a', 1023), 1024, 0, ""},
        {"1022 bytes in 1024", Repeat('a', 1022), 1024, 1, Repeat('a', 1022) + "\\"},
    });
}

TEST(AddTrailingBackslash, NullPath)
{
    EXPECT_EQ(0, AddTrailingBackslash(nullptr, 1024));
}

// ---------------------------------------------------------------------------------------
// DeriveCommonFilesDir.

struct DeriveRow {
    const char* what;
    std::string value;
    size_t destSize;
    int result;
    std::string expected;  // ignored when result is 0: dest must be untouched
};

void CheckDeriveRows(const std::vector<DeriveRow>& rows)
{
    for (const DeriveRow& row : rows) {
        Buffer dest("", row.destSize);
        std::memset(dest.data(), 0x55, row.destSize);  // the callers zero it; we must not rely on that
        const std::vector<char> before = dest.bytes();
        const int result = DeriveCommonFilesDir(row.value.c_str(), dest.data(), dest.size());
        EXPECT_EQ(row.result, result) << row.what << ": value [" << row.value << "] (" << row.value.size()
                                      << " bytes) into " << row.destSize;
        if (row.result) {
            EXPECT_EQ(Hex(row.expected), Hex(dest.str())) << row.what << ": [" << dest.str() << "]";
            EXPECT_TRUE(std::equal(before.begin() + row.destSize, before.end(),
                                   dest.bytes().begin() + row.destSize))
                << row.what << ": wrote past destSize";
        } else {
            EXPECT_TRUE(before == dest.bytes()) << row.what << ": dest changed although 0 was returned";
        }
    }
}

const char kSuffix[] = "Program Files\\Common Files";  // 26 bytes

TEST(DeriveCommonFilesDir, Rows)
{
    const std::string tail = "\\Program Files (x86)\\Common Files";
    const std::string common64 = "C:\\Program Files\\Common Files";
    CheckDeriveRows({
        // Usual values.
        {"32-bit folder", "C:\\Program Files (x86)\\Common Files", 1024, 1, common64},
        {"already the 64-bit folder", "C:\\Program Files\\Common Files", 1024, 1, common64},
        {"deeper folder", "D:\\Apps\\Program Files (x86)\\Common Files", 1024, 1, "D:\\Apps\\Program Files\\Common Files"},
        {"relative value", "Program Files (x86)\\Common Files", 1024, 1, "Program Files\\Common Files"},
        {"nothing but the words", "Program Files", 1024, 1, "Program Files\\Common Files"},
        {"renamed Common Files is not followed", "C:\\Program Files (x86)\\Shared", 1024, 1, common64},
        {"first occurrence wins", "C:\\Program Files (x86)\\Program Files\\x", 1024, 1, common64},
        {"trailing backslash dropped", "C:\\Program Files (x86)\\Common Files\\", 1024, 1, common64},
        // No match.
        {"all capitals", "C:\\PROGRAM FILES (X86)\\Common Files", 1024, 0, ""},
        {"all lower case", "C:\\program files (x86)\\common files", 1024, 0, ""},
        {"one letter differs in case", "C:\\Program files\\Common Files", 1024, 0, ""},
        {"no space", "C:\\ProgramFiles\\Common Files", 1024, 0, ""},
        {"localised name", "C:\\プログラム\\Common Files", 1024, 0, ""},
        {"cut short", "C:\\Program File", 1024, 0, ""},
        {"empty value", "", 1024, 0, ""},
        {"lone lead byte at the end", "C:\\\x83", 1024, 0, ""},
        // Matches start on character boundaries.
        // ケ is 0x83 0x50: its trail byte is the 'P' of a byte-wise match.
        {"trail byte 'P' does not start a match", "C:\\ケrogram Files (x86)\\Common Files", 1024, 0, ""},
        {"lead byte glued to the words", "\x83Program Files", 1024, 0, ""},
        {"real match after a false one", "C:\\ケrogram Files\\Program Files (x86)\\Common Files", 1024, 1, "C:\\ケrogram Files\\Program Files\\Common Files"},
        {"kanji with a 0x5C trail before", "C:\\表示\\Program Files (x86)\\Common Files", 1024, 1, "C:\\表示\\Program Files\\Common Files"},
        {"half-width kana is one byte", "C:\\ｹProgram Files (x86)", 1024, 1, "C:\\ｹProgram Files\\Common Files"},
        {"double-byte pair then the words", "ケProgram Files", 1024, 1, "ケProgram Files\\Common Files"},
        // Long values and room.
        {"prefix longer than a 256-byte copy", Repeat('a', 300) + tail, 1024, 1, Repeat('a', 300) + "\\" + kSuffix},
        {"result of 1023 bytes", Repeat('a', 996) + tail, 1024, 1, Repeat('a', 996) + "\\" + kSuffix},
        {"result of 1024 bytes", Repeat('a', 997) + tail, 1024, 0, ""},
        {"match beyond 1023 bytes", Repeat('a', 1100) + tail, 1024, 0, ""},
        {"value of 1023 bytes, match at 0", "Program Files" + Repeat('x', 1010), 1024, 1, kSuffix},
        {"exactly fits a small dest", "C:\\Program Files (x86)", 30, 1, "C:\\Program Files\\Common Files"},
        {"one byte short", "C:\\Program Files (x86)", 29, 0, ""},
        {"dest of size 0", "Program Files", 0, 0, ""},
    });
}

TEST(DeriveCommonFilesDir, NullArguments)
{
    char dest[8] = "keep";
    EXPECT_EQ(0, DeriveCommonFilesDir(nullptr, dest, sizeof dest));
    EXPECT_STREQ("keep", dest);
    EXPECT_EQ(0, DeriveCommonFilesDir("C:\\Program Files", nullptr, 1024));
}

// ---------------------------------------------------------------------------------------
// ComposeFolderFile.

struct ComposeRow {
    const char* what;
    std::string folder;
    std::string name;
    size_t destSize;
    int result;
    std::string expected;
};

TEST(ComposeFolderFile, Rows)
{
    const ComposeRow rows[] = {
        // Exactly one separator.
        {"plain folder", "C:\\Lib", kLibraryExeName, 1024, 1, "C:\\Lib\\Norvik3.exe"},
        {"trailing backslash", "C:\\Lib\\", kLibraryExeName, 1024, 1, "C:\\Lib\\Norvik3.exe"},
        {"several trailing", "C:\\Lib\\\\\\", kLibraryConfigName, 1024, 1, "C:\\Lib\\Norvik3.cfg"},
        {"drive root", "C:\\", kLibraryExeName, 1024, 1, "C:\\Norvik3.exe"},
        {"empty folder", "", kLibraryExeName, 1024, 1, "\\Norvik3.exe"},
        {"driver below Common Files", "C:\\Program Files\\Common Files", kDriverRelativePath, 1024, 1,
         "C:\\Program Files\\Common Files\\TALMO\\wopx64.sys"},
        {"kanji ending in 0x5C", "C:\\表", kLibraryConfigName, 1024, 1, "C:\\表\\Norvik3.cfg"},
        {"kanji and a backslash", "C:\\ソ\\", kLibraryExeName, 1024, 1, "C:\\ソ\\Norvik3.exe"},
        {"semicolon list is one folder", "C:\\Lib;D:\\Other", kLibraryExeName, 1024, 1,
         "C:\\Lib;D:\\Other\\Norvik3.exe"},
        {"quotes are kept", "\"C:\\Lib\"", kLibraryExeName, 1024, 1, "\"C:\\Lib\"\\Norvik3.exe"},
        {"empty name", "C:\\Lib", "", 1024, 1, "C:\\Lib\\"},
        // Room in the array.
        {"exactly fits", "C:\\Lib", "a.b", 11, 1, "C:\\Lib\\a.b"},
        {"one byte short", "C:\\Lib", "a.b", 10, 0, ""},
        {"trimmed folder fits", "C:\\Lib\\\\\\\\", "a.b", 11, 1, "C:\\Lib\\a.b"},
        {"1023-byte folder", Repeat('a', 1023), kLibraryExeName, 1024, 0, ""},
        {"composed path of 1023 bytes", Repeat('a', 1023 - 12), kLibraryExeName, 1024, 1,
         Repeat('a', 1023 - 12) + "\\Norvik3.exe"},
        {"composed path of 1024 bytes", Repeat('a', 1024 - 12), kLibraryExeName, 1024, 0, ""},
        {"name alone too long", "C:", Repeat('n', 2000), 1024, 0, ""},
        {"dest of size 0", "C:", "a", 0, 0, ""},
        // A folder ending in a broken character: the separator would become the lead byte's
        // partner, no real separator at all.
        {"lone lead byte at the end", "C:\\\x83", kLibraryExeName, 32, 0, ""},
    };
    for (const ComposeRow& row : rows) {
        Buffer dest("untouched", std::max<size_t>(row.destSize, 10));
        const std::vector<char> before = dest.bytes();
        const int result = ComposeFolderFile(dest.data(), row.destSize, row.folder.c_str(), row.name.c_str());
        EXPECT_EQ(row.result, result) << row.what;
        if (row.result) {
            EXPECT_EQ(Hex(row.expected), Hex(dest.str())) << row.what;
        } else {
            EXPECT_TRUE(before == dest.bytes()) << row.what << ": dest changed to [" << dest.str() << "]";
        }
    }
}

TEST(ComposeFolderFile, NullArguments)
{
    char dest[16] = "keep";
    EXPECT_EQ(0, ComposeFolderFile(nullptr, 16, "C:\\", "a"));
    EXPECT_EQ(0, ComposeFolderFile(dest, sizeof dest, nullptr, "a"));
    EXPECT_EQ(0, ComposeFolderFile(dest, sizeof dest, "C:\\", nullptr));
    EXPECT_STREQ("keep", dest);
}

TEST(ComposeFolderFile, AgreesWithAddTrailingBackslash)
{
    const char* folders[] = {"C:\\Dir", "C:\\Dir\\\\", "", "\\", "\\\\\\", "C:\\表", "C:\\表\\\\",
                             "予", "C:\\\x83\\", "ｱ\\"};
    for (const char* folder : folders) {
        char normalised[64] = {};
        std::strcpy(normalised, folder);
        ASSERT_EQ(1, AddTrailingBackslash(normalised, sizeof normalised)) << Hex(folder);
        char composed[64] = {};
        ASSERT_EQ(1, ComposeFolderFile(composed, sizeof composed, folder, "x.y")) << Hex(folder);
        EXPECT_EQ(Hex(std::string(normalised) + "x.y"), Hex(composed)) << "folder [" << Hex(folder) << "]";
    }
}

} // namespace
