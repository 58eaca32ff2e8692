// Attribute, path and code-page rules of the environment probes.
#include "rules/PathRules.h"

#include <cstring>

namespace {

constexpr uint32_t kAttrSystem = 0x4;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrDevice = 0x40;
constexpr uint32_t kAttrTemporary = 0x100;
constexpr uint32_t kAttrReparsePoint = 0x400;
constexpr uint32_t kAttrCompressed = 0x800;

constexpr char kProgramFiles[] = "Program Files";
constexpr char kCommonFilesSuffix[] = "Program Files\\Common Files";

// Length of s, but never more than limit: a caller's array may lack its NUL.
size_t BoundedLength(const char* s, size_t limit)
{
    size_t n = 0;
    while (n < limit && s[n] != '\0')
        ++n;
    return n;
}

// Bytes of a character starting at s[i] in a string of len bytes. A lead byte whose
// partner would lie past the end stands alone, so nothing beyond the NUL is read.
size_t CharLength(const char* s, size_t i, size_t len)
{
    if (IsCp932LeadByte(static_cast<unsigned char>(s[i])) && i + 1 < len)
        return 2;
    return 1;
}

// How many bytes of the folder stay once its trailing separators are dropped. Only
// single-byte 0x5C characters count as separators, and index 0 always stays.
size_t FolderKeepLength(const char* path, size_t len)
{
    size_t keep = 0;
    size_t i = 0;
    while (i < len) {
        size_t n = CharLength(path, i, len);
        i += n;
        if (n == 2 || path[i - 1] != '\\')
            keep = i;
    }
    if (keep == 0 && len > 0)
        keep = 1;
    return keep;
}

// 1 when the string ends in a lead byte without its second byte. A separator appended
// there would become that character's second byte, so such a folder cannot be composed.
bool EndsInBrokenCharacter(const char* s, size_t len)
{
    size_t last = 0;
    for (size_t i = 0; i < len; i += CharLength(s, i, len))
        last = i;
    return len > 0 && last == len - 1 && IsCp932LeadByte(static_cast<unsigned char>(s[last]));
}

// 1 when p starts as the system's final paths do: "\\?\" (before "C:\..." or "UNC\...").
bool HasFinalPathPrefix(const wchar_t* p)
{
    return p[0] == L'\\' && p[1] == L'\\' && p[2] == L'?' && p[3] == L'\\';
}

wchar_t FoldAscii(wchar_t c)
{
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

}  // namespace

int IsPlainFileAttributes(uint32_t attrs)
{
    const uint32_t refused = kAttrSystem | kAttrDirectory | kAttrDevice | kAttrTemporary | kAttrCompressed;
    return attrs != kInvalidFileAttributes && (attrs & refused) == 0;
}

int IsDeletableFile(uint32_t attrs, uint32_t nLinks)
{
    return IsPlainFileAttributes(attrs) && (attrs & kAttrReparsePoint) == 0 && nLinks == 1;
}

int IsFinalPathInFolder(const wchar_t* folderFinalPath, const wchar_t* name, const wchar_t* finalPath)
{
    if (folderFinalPath == nullptr || name == nullptr || finalPath == nullptr || name[0] != L'\\'
        || !HasFinalPathPrefix(folderFinalPath))
        return 0;
    // The folder's own path, without the backslash that ends a drive's root.
    size_t n = 0;
    while (folderFinalPath[n] != L'\0')
        ++n;
    while (folderFinalPath[n - 1] == L'\\')
        --n;
    // Stops at the end of a shorter finalPath, whose NUL differs from the folder's character.
    for (size_t i = 0; i < n; ++i) {
        if (FoldAscii(folderFinalPath[i]) != FoldAscii(finalPath[i]))
            return 0;
    }
    // Then the name, a run of separators in it counting as one, as the system reads it.
    const wchar_t* p = name;
    const wchar_t* f = finalPath + n;
    while (*p != L'\0' && *f != L'\0') {
        if (FoldAscii(*p) != FoldAscii(*f))
            return 0;
        if (*p == L'\\')
            while (p[1] == L'\\')
                ++p;
        ++p;
        ++f;
    }
    return *p == L'\0' && *f == L'\0';
}

int IsDirectoryAttributes(uint32_t attrs)
{
    const uint32_t refused = kAttrDevice | kAttrTemporary | kAttrCompressed;
    return attrs != kInvalidFileAttributes && (attrs & refused) == 0 && (attrs & kAttrDirectory) != 0;
}

int IsCp932LeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

int AddTrailingBackslash(char* path, size_t size)
{
    if (path == nullptr)
        return 0;
    const size_t len = BoundedLength(path, size);
    if (len == size || EndsInBrokenCharacter(path, len))
        return 0;
    const size_t keep = FolderKeepLength(path, len);
    if (keep + 2 > size)
        return 0;
    path[keep] = '\\';
    path[keep + 1] = '\0';
    return 1;
}

int DeriveCommonFilesDir(const char* value, char* dest, size_t destSize)
{
    if (value == nullptr || dest == nullptr)
        return 0;
    const size_t len = std::strlen(value);
    const size_t needle = sizeof kProgramFiles - 1;
    // Walk character by character: a trail byte such as the 'P' (0x50) of a double-byte
    // character must not start a match.
    size_t i = 0;
    while (i < len && !(len - i >= needle && std::memcmp(value + i, kProgramFiles, needle) == 0))
        i += CharLength(value, i, len);
    if (i >= len)
        return 0;
    const size_t suffix = sizeof kCommonFilesSuffix;  // with its NUL
    if (i + suffix > destSize)
        return 0;
    std::memmove(dest, value, i);
    std::memcpy(dest + i, kCommonFilesSuffix, suffix);
    return 1;
}

int ComposeFolderFile(char* dest, size_t destSize, const char* folder, const char* name)
{
    if (dest == nullptr || folder == nullptr || name == nullptr)
        return 0;
    const size_t folderLen = std::strlen(folder);
    if (EndsInBrokenCharacter(folder, folderLen))
        return 0;
    const size_t keep = FolderKeepLength(folder, folderLen);
    const size_t nameLen = std::strlen(name);
    // Checked in steps so that no sum can wrap.
    if (keep >= destSize || nameLen >= destSize - keep || destSize - keep - nameLen < 2)
        return 0;
    std::memcpy(dest, folder, keep);
    dest[keep] = '\\';
    std::memcpy(dest + keep + 1, name, nameLen + 1);
    return 1;
}
