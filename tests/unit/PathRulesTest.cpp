// The path and attribute rules of the environment probes, as pure functions.
// Japanese literals are written in UTF-8 and become Shift-JIS through -fexec-charset=CP932;
// the first group checks that this really happened, since every double-byte case relies on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "probes/PathRules.h"

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
// Attribute words.

struct AttrBit {
    uint32_t bit;
    const char* name;
    int refusedForFile;
    int refusedForFolder;
    int refusedForDeletion;  // through an open handle: a link's own entry is never deleted
};

const AttrBit kNamedBits[] = {
    {0x1, "READONLY", 0, 0, 0},
    {0x2, "HIDDEN", 0, 0, 0},
    {0x4, "SYSTEM", 1, 0, 1},
    {0x10, "DIRECTORY", 1, 0, 1},
    {0x20, "ARCHIVE", 0, 0, 0},
    {0x40, "DEVICE", 1, 1, 1},
    {0x80, "NORMAL", 0, 0, 0},
    {0x100, "TEMPORARY", 1, 1, 1},
    {0x200, "SPARSE_FILE", 0, 0, 0},
    {0x400, "REPARSE_POINT", 0, 0, 1},
    {0x800, "COMPRESSED", 1, 1, 1},
    {0x1000, "OFFLINE", 0, 0, 0},
    {0x2000, "NOT_CONTENT_INDEXED", 0, 0, 0},
    {0x4000, "ENCRYPTED", 0, 0, 0},
};

const AttrBit* FindNamed(uint32_t bit)
{
    for (const AttrBit& b : kNamedBits)
        if (b.bit == bit)
            return &b;
    return nullptr;
}

TEST(FileAttributes, EachBitAloneOnAFile)
{
    for (int i = 0; i < 32; ++i) {
        const uint32_t bit = uint32_t(1) << i;
        const AttrBit* named = FindNamed(bit);
        const int expected = named ? !named->refusedForFile : 1;
        EXPECT_EQ(expected, IsPlainFileAttributes(bit))
            << "attrs 0x" << std::hex << bit << " (" << (named ? named->name : "unnamed") << ")";
        EXPECT_EQ(named ? !named->refusedForDeletion : 1, IsDeletableFile(bit, 1))
            << "deletion, attrs 0x" << std::hex << bit << " (" << (named ? named->name : "unnamed") << ")";
        EXPECT_EQ(0, IsDeletableFile(bit, 2)) << "a file with a second name elsewhere, attrs 0x" << std::hex << bit;
    }
    EXPECT_EQ(0, IsDeletableFile(0x20, 0)) << "no name at all";
    EXPECT_EQ(0, IsDeletableFile(0xFFFFFFFF, 1)) << "INVALID_FILE_ATTRIBUTES";
}

// Where an open file really lies, against the path it was opened by.
TEST(FinalPath, OnlyThePathItselfMatches)
{
    struct Row {
        const wchar_t* path;
        const wchar_t* finalPath;
        int same;
        const char* what;
    } rows[] = {
        {L"C:\\users\\Public\\Desktop\\a.lnk", L"\\\\?\\C:\\users\\Public\\Desktop\\a.lnk", 1, "the same file"},
        {L"C:\\Users\\u\\Desktop\\A.LNK", L"\\\\?\\C:\\users\\u\\desktop\\a.lnk", 1, "ASCII letters in the file system's case"},
        {L"D:\\\\a.lnk", L"\\\\?\\D:\\a.lnk", 1, "a folder at the root, joined with a second backslash"},
        {L"\\\\server\\share\\a.lnk", L"\\\\?\\UNC\\server\\share\\a.lnk", 1, "a desktop on a network share"},
        {L"C:\\t\\d\\linked\\f.lnk", L"\\\\?\\C:\\t\\real\\f.lnk", 0, "a linked folder on the way"},
        {L"C:\\t\\d\\s.lnk", L"\\\\?\\C:\\windows\\system32\\config\\SAM", 0, "a symbolic link to another file"},
        {L"C:\\t\\a.lnk", L"\\\\?\\C:\\t\\a.lnk.bak", 0, "the final path goes on"},
        {L"C:\\t\\a.lnk.bak", L"\\\\?\\C:\\t\\a.lnk", 0, "the path goes on"},
        {L"C:\\PROGRA~1\\a.lnk", L"\\\\?\\C:\\Program Files\\a.lnk", 0, "a short name"},
        {L"C:\\t\\\u30bd.lnk", L"\\\\?\\C:\\t\\\u30be.lnk", 0, "other katakana"},
        {L"C:\\t\\\u00e9.lnk", L"\\\\?\\C:\\t\\\u00c9.lnk", 0, "case beyond ASCII is not folded"},
        {L"C:\\t\\a.lnk", L"C:\\t\\a.lnk", 0, "no prefix: not what the system reports"},
        {L"C:\\t\\a.lnk", L"\\\\?\\UNC\\t\\a.lnk", 0, "a drive path against a share"},
        {L"\\\\server\\share\\a.lnk", L"\\\\?\\C:\\server\\share\\a.lnk", 0, "a share against a drive path"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.same, IsSameFinalPath(row.path, row.finalPath)) << row.what;
    EXPECT_EQ(0, IsSameFinalPath(nullptr, L"\\\\?\\C:\\a"));
    EXPECT_EQ(0, IsSameFinalPath(L"C:\\a", nullptr));
}

TEST(FileAttributes, EachBitAloneOnAFolder)
{
    for (int i = 0; i < 32; ++i) {
        const uint32_t bit = uint32_t(1) << i;
        const AttrBit* named = FindNamed(bit);
        const int expected = named ? !named->refusedForFolder : 1;
        EXPECT_EQ(expected, IsDirectoryAttributes(0x10 | bit))
            << "attrs 0x" << std::hex << (0x10 | bit) << " (DIRECTORY + " << (named ? named->name : "unnamed") << ")";
        if (bit != 0x10) {
            EXPECT_EQ(0, IsDirectoryAttributes(bit)) << "attrs 0x" << std::hex << bit << " lacks DIRECTORY";
        }
    }
}

TEST(FileAttributes, Combinations)
{
    struct Row {
        uint32_t attrs;
        int file;
        int folder;
        const char* what;
    } rows[] = {
        {0xFFFFFFFF, 0, 0, "INVALID_FILE_ATTRIBUTES"},
        {0x0, 1, 0, "no bit at all"},
        {0x21, 1, 0, "read-only archive file"},
        {0x24, 0, 0, "system file"},
        {0x30, 0, 1, "plain folder as Wine reports it"},
        {0x16, 0, 1, "hidden system folder"},
        {0x810, 0, 0, "compressed folder"},
        {0x110, 0, 0, "temporary folder"},
        {0x50, 0, 0, "device folder"},
        {0xFFFFFFFF & ~0x954u, 1, 0, "every ignored bit together"},
        {0xFFFFFFFF & ~0x940u, 0, 1, "every bit a folder ignores, with DIRECTORY and SYSTEM"},
        {0xFFFFFFFE, 0, 0, "valid word with every refused bit"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.file, IsPlainFileAttributes(row.attrs)) << row.what << " 0x" << std::hex << row.attrs;
        EXPECT_EQ(row.folder, IsDirectoryAttributes(row.attrs)) << row.what << " 0x" << std::hex << row.attrs;
    }
}

// ---------------------------------------------------------------------------------------
// Lead bytes of code page 932.

TEST(Cp932LeadByte, RangeEdges)
{
    struct Row {
        unsigned b;
        int lead;
    } rows[] = {
        {0x00, 0}, {0x40, 0}, {0x5C, 0}, {0x7F, 0}, {0x80, 0}, {0x81, 1}, {0x8F, 1}, {0x9F, 1},
        {0xA0, 0}, {0xA1, 0}, {0xB9, 0}, {0xDF, 0}, {0xE0, 1}, {0xEA, 1}, {0xFC, 1}, {0xFD, 0},
        {0xFE, 0}, {0xFF, 0},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.lead, IsCp932LeadByte(static_cast<unsigned char>(row.b))) << "byte 0x" << std::hex << row.b;
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

TEST(AddTrailingBackslash, SingleByteFolders)
{
    CheckSlashRows({
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
    });
}

TEST(AddTrailingBackslash, ShiftJisTrailBytesAreNotSeparators)
{
    CheckSlashRows({
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
    });
}

TEST(AddTrailingBackslash, LoneLeadBytes)
{
    CheckSlashRows({
        {"lead byte at the end is a broken character", "C:\\\x83", 1024, 0, ""},
        {"only a lead byte", "\x95", 1024, 0, ""},
        {"lead byte takes the last backslash as its trail", "C:\\\x83\\", 1024, 1, "C:\\\x83\\\\"},
        {"lead byte pair then a real separator", "C:\\\x83\\\\", 1024, 1, "C:\\\x83\\\\"},
    });
}

TEST(AddTrailingBackslash, RoomInTheArray)
{
    CheckSlashRows({
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

TEST(DeriveCommonFilesDir, UsualValues)
{
    CheckDeriveRows({
        {"32-bit folder", "C:\\Program Files (x86)\\Common Files", 1024, 1, "C:\\Program Files\\Common Files"},
        {"already the 64-bit folder", "C:\\Program Files\\Common Files", 1024, 1, "C:\\Program Files\\Common Files"},
        {"deeper folder", "D:\\Apps\\Program Files (x86)\\Common Files", 1024, 1,
         "D:\\Apps\\Program Files\\Common Files"},
        {"relative value", "Program Files (x86)\\Common Files", 1024, 1, "Program Files\\Common Files"},
        {"nothing but the words", "Program Files", 1024, 1, "Program Files\\Common Files"},
        {"renamed Common Files is not followed", "C:\\Program Files (x86)\\Shared", 1024, 1,
         "C:\\Program Files\\Common Files"},
        {"first occurrence wins", "C:\\Program Files (x86)\\Program Files\\x", 1024, 1,
         "C:\\Program Files\\Common Files"},
        {"trailing backslash dropped", "C:\\Program Files (x86)\\Common Files\\", 1024, 1,
         "C:\\Program Files\\Common Files"},
    });
}

TEST(DeriveCommonFilesDir, NoMatch)
{
    CheckDeriveRows({
        {"all capitals", "C:\\PROGRAM FILES (X86)\\Common Files", 1024, 0, ""},
        {"all lower case", "C:\\program files (x86)\\common files", 1024, 0, ""},
        {"one letter differs in case", "C:\\Program files\\Common Files", 1024, 0, ""},
        {"no space", "C:\\ProgramFiles\\Common Files", 1024, 0, ""},
        {"localised name", "C:\\プログラム\\Common Files", 1024, 0, ""},
        {"cut short", "C:\\Program File", 1024, 0, ""},
        {"empty value", "", 1024, 0, ""},
        {"lone lead byte at the end", "C:\\\x83", 1024, 0, ""},
    });
}

TEST(DeriveCommonFilesDir, MatchesStartOnCharacterBoundaries)
{
    // ケ is 0x83 0x50: its trail byte is the 'P' of a byte-wise match.
    CheckDeriveRows({
        {"trail byte 'P' does not start a match", "C:\\ケrogram Files (x86)\\Common Files", 1024, 0, ""},
        {"lead byte glued to the words", "\x83Program Files", 1024, 0, ""},
        {"real match after a false one", "C:\\ケrogram Files\\Program Files (x86)\\Common Files", 1024, 1,
         "C:\\ケrogram Files\\Program Files\\Common Files"},
        {"kanji with a 0x5C trail before", "C:\\表示\\Program Files (x86)\\Common Files", 1024, 1,
         "C:\\表示\\Program Files\\Common Files"},
        {"half-width kana is one byte", "C:\\ｹProgram Files (x86)", 1024, 1, "C:\\ｹProgram Files\\Common Files"},
        {"double-byte pair then the words", "ケProgram Files", 1024, 1, "ケProgram Files\\Common Files"},
    });
}

TEST(DeriveCommonFilesDir, LongValuesAndRoom)
{
    const std::string tail = "\\Program Files (x86)\\Common Files";
    CheckDeriveRows({
        {"prefix longer than a 256-byte copy", Repeat('a', 300) + tail, 1024, 1,
         Repeat('a', 300) + "\\" + kSuffix},
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

TEST(ComposeFolderFile, ExactlyOneSeparator)
{
    const ComposeRow rows[] = {
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
    };
    for (const ComposeRow& row : rows) {
        Buffer dest("", row.destSize);
        EXPECT_EQ(row.result, ComposeFolderFile(dest.data(), dest.size(), row.folder.c_str(), row.name.c_str()))
            << row.what;
        EXPECT_EQ(Hex(row.expected), Hex(dest.str())) << row.what << ": [" << dest.str() << "]";
    }
}

TEST(ComposeFolderFile, RoomInTheArray)
{
    const ComposeRow rows[] = {
        {"exactly fits", "C:\\Lib", "a.b", 11, 1, "C:\\Lib\\a.b"},
        {"one byte short", "C:\\Lib", "a.b", 10, 0, ""},
        {"trimmed folder fits", "C:\\Lib\\\\\\\\", "a.b", 11, 1, "C:\\Lib\\a.b"},
        {"1023-byte folder", Repeat('a', 1023), kLibraryExeName, 1024, 0, ""},
        {"composed path of 1023 bytes", Repeat('a', 1023 - 12), kLibraryExeName, 1024, 1,
         Repeat('a', 1023 - 12) + "\\Norvik3.exe"},
        {"composed path of 1024 bytes", Repeat('a', 1024 - 12), kLibraryExeName, 1024, 0, ""},
        {"name alone too long", "C:", Repeat('n', 2000), 1024, 0, ""},
        {"dest of size 0", "C:", "a", 0, 0, ""},
    };
    for (const ComposeRow& row : rows) {
        Buffer dest("untouched", std::max<size_t>(row.destSize, 10));
        const std::vector<char> before = dest.bytes();
        const int result = ComposeFolderFile(dest.data(), row.destSize, row.folder.c_str(), row.name.c_str());
        EXPECT_EQ(row.result, result) << row.what;
        if (row.result) {
            EXPECT_EQ(row.expected, dest.str()) << row.what;
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

TEST(ComposeFolderFile, RefusesAFolderEndingInABrokenCharacter)
{
    // The separator would become the lead byte's partner: no real separator at all.
    char dest[32] = "keep";
    EXPECT_EQ(0, ComposeFolderFile(dest, sizeof dest, "C:\\\x83", "Norvik3.exe"));
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
