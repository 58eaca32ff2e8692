// The attribute and lead-byte rules of the environment probes, and where an open file
// really lies, as pure functions.
#include <gtest/gtest.h>

#include <cstdint>

#include "rules/PathRules.h"

namespace {

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

// Where an open file really lies, against where its folder lies and the name below it.
TEST(FinalPath, OnlyTheNameBelowTheFolderMatches)
{
    struct Row {
        const wchar_t* folderFinal;
        const wchar_t* name;
        const wchar_t* finalPath;
        int same;
        const char* what;
    } rows[] = {
        {L"\\\\?\\D:\\Users\\u\\Desktop", L"\\a.lnk", L"\\\\?\\D:\\Users\\u\\Desktop\\a.lnk", 1, "the same file, wherever the folder lies"},
        {L"\\\\?\\C:\\users\\u\\desktop", L"\\A.LNK", L"\\\\?\\C:\\users\\u\\desktop\\a.lnk", 1, "ASCII letters in the file system's case"},
        {L"\\\\?\\D:\\", L"\\\\a.lnk", L"\\\\?\\D:\\a.lnk", 1, "a folder at the root, joined with a second backslash"},
        {L"\\\\?\\UNC\\server\\share", L"\\a.lnk", L"\\\\?\\UNC\\server\\share\\a.lnk", 1, "a desktop on a network share"},
        {L"\\\\?\\C:\\t\\d", L"\\linked\\f.lnk", L"\\\\?\\C:\\t\\real\\f.lnk", 0, "a linked folder below the folder"},
        {L"\\\\?\\C:\\t\\d", L"\\s.lnk", L"\\\\?\\C:\\windows\\system32\\config\\SAM", 0, "a symbolic link to another file"},
        {L"\\\\?\\C:\\t\\desk", L"\\a.lnk", L"\\\\?\\C:\\t\\desktop\\a.lnk", 0, "a folder whose name begins the same"},
        {L"\\\\?\\C:\\t", L"\\a.lnk", L"\\\\?\\C:\\t\\a.lnk.bak", 0, "the final path goes on"},
        {L"\\\\?\\C:\\t", L"\\a.lnk.bak", L"\\\\?\\C:\\t\\a.lnk", 0, "the name goes on"},
        {L"\\\\?\\C:\\t", L"\\PROGRA~1\\a.lnk", L"\\\\?\\C:\\t\\Program Files\\a.lnk", 0, "a short name"},
        {L"\\\\?\\C:\\t", L"\\\u30bd.lnk", L"\\\\?\\C:\\t\\\u30be.lnk", 0, "other katakana"},
        {L"\\\\?\\C:\\t", L"\\\u00e9.lnk", L"\\\\?\\C:\\t\\\u00c9.lnk", 0, "case beyond ASCII is not folded"},
        {L"C:\\t", L"\\a.lnk", L"C:\\t\\a.lnk", 0, "no prefix: not what the system reports"},
        {L"\\\\?\\C:\\t", L"a.lnk", L"\\\\?\\C:\\ta.lnk", 0, "a name without its backslash"},
        {L"\\\\?\\C:\\t", L"\\a.lnk", L"\\\\?\\UNC\\t\\a.lnk", 0, "a drive path against a share"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.same, IsFinalPathInFolder(row.folderFinal, row.name, row.finalPath)) << row.what;
    EXPECT_EQ(0, IsFinalPathInFolder(nullptr, L"\\a", L"\\\\?\\C:\\a"));
    EXPECT_EQ(0, IsFinalPathInFolder(L"\\\\?\\C:", nullptr, L"\\\\?\\C:\\a"));
    EXPECT_EQ(0, IsFinalPathInFolder(L"\\\\?\\C:", L"\\a", nullptr));
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

} // namespace
