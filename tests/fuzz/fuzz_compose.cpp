// ComposeFolderFile on any folder, name and destination size: one real separator between
// folder and name, the folder normalised exactly as AddTrailingBackslash does it.
//
// Input: mode (1 byte), size (2, little-endian), folder padding length (2), padding byte
// (1), name padding length (2), fill byte (1), then the folder's bytes, a NUL, the name's
// bytes (up to the next NUL or the end).
//   mode % 3 == 0: the probes' 1024-byte destination
//   mode % 3 == 1: the length the result needs - 3 .. + 3
//   mode % 3 == 2: size % 2100
// The paddings go in front of folder and name ('n' for the name), so that short inputs
// reach lengths around 1024. The destination starts filled with the fill byte.
#include "FuzzSupport.h"

#include "rules/PathRules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::BeginCase();
    fuzz::Reader in(data, size);
    const fuzz::PathCaseHead head = in.PathHead();  // the padding is the folder's
    const size_t namePad = in.PadLength();
    const char fillByte = static_cast<char>(in.U8());
    const std::string folder = in.PaddedPart(head.padLength, head.padByte);
    const std::string name = in.PaddedPart(namePad, 'n');

    const size_t keep = fuzz::ReferenceKeep(folder.data(), folder.size());
    const size_t needed = keep + 1 + name.size() + 1;
    const size_t destSize = head.ArraySize(needed);
    fuzz::ShowBytes("folder", folder);
    fuzz::ShowBytes("name", name);
    fuzz::ShowNumber("destSize", destSize);

    fuzz::ExactArray folderArray = fuzz::CString(folder);
    fuzz::ExactArray nameArray = fuzz::CString(name);
    fuzz::ExactArray dest(destSize, fillByte);
    const std::string before = dest.bytes();

    const int result = ComposeFolderFile(dest.data(), destSize, folderArray.data(), nameArray.data());
    fuzz::ShowNumber("result", static_cast<unsigned long long>(result));
    const bool broken = fuzz::EndsInLoneLead(folder.data(), folder.size());
    FUZZ_CHECK_EQ(!broken && needed <= destSize, result,
                  "1 exactly when the folder ends in a whole character and folder, separator, name and NUL fit");
    FUZZ_CHECK_BYTES(folder, std::string(folderArray.data()), "the folder is only read");
    FUZZ_CHECK_BYTES(name, std::string(nameArray.data()), "the name is only read");

    FUZZ_CHECK_EQ(0, ComposeFolderFile(nullptr, destSize, folderArray.data(), nameArray.data()), "a null dest is refused");
    FUZZ_CHECK_EQ(0, ComposeFolderFile(dest.data(), destSize, nullptr, nameArray.data()), "a null folder is refused");
    FUZZ_CHECK_EQ(0, ComposeFolderFile(dest.data(), destSize, folderArray.data(), nullptr), "a null name is refused");
    const std::string after = dest.bytes();
    const size_t length = fuzz::CheckArrayWrite(result, before, after);
    if (!result)
        return 0;
    FUZZ_CHECK_EQ(needed - 1, length, "the result has the folder's kept part, one separator and the name");
    FUZZ_CHECK_BYTES(folder.substr(0, keep), after.substr(0, keep), "the folder's kept part is copied byte for byte");
    FUZZ_CHECK(after[keep] == '\\', "a backslash follows the folder");
    FUZZ_CHECK_BYTES(name, after.substr(keep + 1, name.size()), "the name follows the separator byte for byte");
    FUZZ_CHECK(keep <= 1 || !fuzz::EndsInSeparator(folder.data(), keep),
               "no real separator of the folder is left before the one put in (only index 0 is never dropped)");

    // The same folder through AddTrailingBackslash, in an array with room to spare.
    fuzz::ExactArray normalised(folder.size() + 2, '\0');
    std::memcpy(normalised.data(), folder.data(), folder.size());
    FUZZ_CHECK_EQ(1, AddTrailingBackslash(normalised.data(), normalised.size()), "the folder normalises with room to spare");
    FUZZ_CHECK_BYTES(std::string(normalised.data()) + name, after.substr(0, length), "agrees with AddTrailingBackslash, then the name");

    // Read back, the byte put in is a character of its own, and the name starts on a boundary.
    const std::vector<size_t> starts = fuzz::CharStarts(after.data(), length);
    FUZZ_CHECK(fuzz::IsCharStart(starts, keep) && fuzz::EndsInSeparator(after.data(), keep + 1),
               "read back, the separator is a real one");
    FUZZ_CHECK(keep + 1 == length || fuzz::IsCharStart(starts, keep + 1), "read back, the name starts on a character boundary");
    return 0;
}
