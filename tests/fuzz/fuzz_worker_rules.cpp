// The workers' path rules: ComposeDiscSetupPath for every drive byte and array size, and
// FindShortcut against fake folder look-ups and file tests, with folders up to and beyond
// the 1024-byte array.
//
// Input: drive (1 byte), disc size mode (1), disc size (2, little-endian), location (1),
// first folder id (4), second folder id (4), file-test answers (1), first folder padding
// length (2) and byte (1), second folder padding length (2) and byte (1), then the first
// folder's bytes, a NUL, the second's, a NUL, and the shortcut text of a made-up location.
//   disc size mode % 3: 0 the worker's 1024 bytes, 1 the needed size - 3 .. + 3, 2 size % 300
//   location % 4: 0 desktop, 1 Programs, 2 made-up location, 3 made-up with a null dest
//   answers: bit 0 the first folder holds the file, bit 1 the second does
// A folder of 1024 bytes or more is handed over as 1024 bytes without a NUL, as a look-up
// that fills the whole array would leave it.
#include "FuzzSupport.h"

#include "rules/WorkerRules.h"

namespace {

const size_t kArray = 1024;

// The fake world that FindShortcut looks at; plain functions, so it lives here.
struct World {
    std::string folders[2];
    bool holds[2] = {};
    int lookups = 0;
    int lookedUp[2] = {};
    std::vector<std::string> tested;
};
World g_world;

long FakeLookup(char* folder, int id)
{
    FUZZ_CHECK(folder != nullptr, "the look-up gets an array");
    FUZZ_CHECK(g_world.lookups < 2, "at most two folders are looked up");
    g_world.lookedUp[g_world.lookups] = id;
    const std::string& text = g_world.folders[g_world.lookups++];
    if (text.size() < kArray)
        std::memcpy(folder, text.c_str(), text.size() + 1);
    else
        std::memcpy(folder, text.data(), kArray);
    return 0;
}

int FakeIsFile(const char* path)
{
    FUZZ_CHECK(path != nullptr, "the file test gets a path");
    FUZZ_CHECK(g_world.lookups >= 1, "a file is tested only after a look-up");
    const size_t length = strnlen(path, kArray);
    FUZZ_CHECK(length < kArray, "the tested path is NUL-terminated within 1024 bytes");
    g_world.tested.emplace_back(path, length);
    return g_world.holds[g_world.lookups - 1] ? 1 : 0;
}

void CheckConstants()
{
    // "\Nor-vik" then the library's name in code page 932: this build really has the
    // program's bytes (see cp932_literals.py).
    FUZZ_CHECK_BYTES(std::string("\\Nor-vik\x83\x89\x83\x43\x83\x75\x83\x89\x83\x8A\x81\x5B" "3"), kDiscFolder,
                     "the disc folder is in code page 932");
    FUZZ_CHECK_BYTES("\\Nor-vik \xD7\xB2\xCC\xDE\xD7\xD8\xB0.lnk", kDesktopShortcut.pszText,
                     "the desktop shortcut's half-width kana are single bytes");
    for (const ShortcutLocation* l : {&kDesktopShortcut, &kProgramsShortcut}) {
        FUZZ_CHECK(fuzz::IsValidCp932(l->pszText, std::strlen(l->pszText)), "shortcut texts are valid code page 932");
        FUZZ_CHECK(l->pszText[0] == '\\', "shortcut texts start with a separator");
        FUZZ_CHECK(l->nFirstFolder != l->nSecondFolder, "a shortcut's two folders differ");
    }
}

void CheckDiscSetupPath(char drive, uint8_t mode, uint16_t sizeField)
{
    const std::string expectedText = std::string(1, drive) + ":" + kDiscFolder + "\\" + kSetupProgramName;
    const size_t needed = expectedText.size() + 1;
    const size_t destSize = fuzz::ArraySize(mode, sizeField, needed, 300);
    fuzz::ShowNumber("drive", static_cast<unsigned char>(drive));
    fuzz::ShowNumber("cbDest", destSize);

    fuzz::ExactArray dest(destSize, static_cast<char>(0xA5));
    const std::string before = dest.bytes();
    const int result = ComposeDiscSetupPath(dest.data(), destSize, drive);
    FUZZ_CHECK_EQ(needed <= destSize, result, "ComposeDiscSetupPath: 1 exactly when the path and its NUL fit");
    FUZZ_CHECK_EQ(0, ComposeDiscSetupPath(nullptr, destSize, drive), "ComposeDiscSetupPath: a null dest is refused");
    if (!result) {
        FUZZ_CHECK_BYTES(before, dest.bytes(), "ComposeDiscSetupPath: dest untouched on 0");
        return;
    }
    const std::string after = dest.bytes();
    FUZZ_CHECK_BYTES(expectedText + std::string(1, '\0'), after.substr(0, needed),
                     "ComposeDiscSetupPath: drive, colon, disc folder, backslash, Setup.exe");
    FUZZ_CHECK_BYTES(before.substr(needed), after.substr(needed), "ComposeDiscSetupPath: nothing past the NUL is written");
    if ((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z')) {
        const size_t name = needed - 1 - std::strlen(kSetupProgramName);
        FUZZ_CHECK(fuzz::IsValidCp932(after.data(), needed - 1), "ComposeDiscSetupPath: the path is valid code page 932");
        FUZZ_CHECK(fuzz::EndsInSeparator(after.data(), 3) && fuzz::EndsInSeparator(after.data(), name),
                   "ComposeDiscSetupPath: root and file name follow real separators");
    }
}

void CheckFindShortcut(fuzz::Reader& in)
{
    const uint8_t which = in.U8() % 4;
    const int firstId = static_cast<int>(in.U32());
    const int secondId = static_cast<int>(in.U32());
    const uint8_t answers = in.U8();
    const size_t pad0 = in.PadLength();
    const char byte0 = static_cast<char>(in.U8());
    const size_t pad1 = in.PadLength();
    const char byte1 = static_cast<char>(in.U8());
    // Braces read their elements in order: the first folder's bytes come first.
    const std::string folders[2] = {in.PaddedPart(pad0, byte0), in.PaddedPart(pad1, byte1)};
    const std::string text = in.Part();

    ShortcutLocation location = which == 0 ? kDesktopShortcut : which == 1 ? kProgramsShortcut : ShortcutLocation{};
    if (which >= 2)
        location = {firstId, secondId, text.c_str()};
    const bool nullDest = which == 3;
    fuzz::ShowNumber("location", which);
    fuzz::ShowBytes("first folder", folders[0]);
    fuzz::ShowBytes("second folder", folders[1]);
    fuzz::ShowBytes("shortcut text", location.pszText);
    fuzz::ShowNumber("answers", answers & 3);

    g_world = World{};
    g_world.folders[0] = folders[0];
    g_world.folders[1] = folders[1];
    g_world.holds[0] = (answers & 1) != 0;
    g_world.holds[1] = (answers & 2) != 0;

    // The reference: each folder as the array holds it, the text appended when it fits.
    int expected = 0;
    std::string found;
    int expectedLookups = 0;
    std::vector<std::string> expectedTests;
    if (!nullDest) {
        for (int k = 0; k < 2 && !expected; ++k) {
            ++expectedLookups;
            const std::string held = folders[k].substr(0, kArray - 1);
            const std::string path = held + location.pszText;
            if (held.empty() || path.size() >= kArray)
                continue;
            expectedTests.push_back(path);
            if (g_world.holds[k]) {
                expected = 1;
                found = path;
            }
        }
    }

    fuzz::ExactArray dest(kArray, static_cast<char>(0x5A));
    const std::string before = dest.bytes();
    const int result = FindShortcut(location, nullDest ? nullptr : dest.data(), &FakeLookup, &FakeIsFile);
    fuzz::ShowNumber("result", static_cast<unsigned long long>(result));

    FUZZ_CHECK_EQ(expected, result, "FindShortcut: 1 exactly when a folder, looked at in order, holds the shortcut");
    FUZZ_CHECK_EQ(expectedLookups, g_world.lookups, "FindShortcut: the second folder is looked up only when the first fails");
    if (g_world.lookups >= 1)
        FUZZ_CHECK_EQ(location.nFirstFolder, g_world.lookedUp[0], "FindShortcut: the first look-up is the first folder");
    if (g_world.lookups >= 2)
        FUZZ_CHECK_EQ(location.nSecondFolder, g_world.lookedUp[1], "FindShortcut: the second look-up is the second folder");
    FUZZ_CHECK_EQ(expectedTests.size(), g_world.tested.size(), "FindShortcut: a file test for each folder whose path fits");
    for (size_t k = 0; k < expectedTests.size(); ++k)
        FUZZ_CHECK_BYTES(expectedTests[k], g_world.tested[k], "FindShortcut: the tested path is the folder, then the text");

    const std::string after = dest.bytes();
    if (!result) {
        FUZZ_CHECK_BYTES(before, after, "FindShortcut: dest untouched on 0");
        return;
    }
    FUZZ_CHECK_BYTES(found + std::string(1, '\0'), after.substr(0, found.size() + 1), "FindShortcut: dest holds the found path");
    FUZZ_CHECK_BYTES(before.substr(found.size() + 1), after.substr(found.size() + 1), "FindShortcut: nothing past the NUL is written");
    const std::string firstPath = folders[0].substr(0, kArray - 1) + location.pszText;
    if (g_world.holds[0] && !folders[0].empty() && firstPath.size() < kArray)
        FUZZ_CHECK_BYTES(firstPath, std::string(dest.data()), "FindShortcut: the first folder's path wins when it holds the shortcut");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool constantsChecked = (CheckConstants(), true);
    (void)constantsChecked;
    fuzz::BeginCase();
    fuzz::Reader in(data, size);
    const char drive = static_cast<char>(in.U8());
    const uint8_t mode = in.U8();
    const uint16_t sizeField = in.U16();
    CheckDiscSetupPath(drive, mode, sizeField);
    CheckFindShortcut(in);
    return 0;
}
