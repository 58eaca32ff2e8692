// AddTrailingBackslash on any bytes in arrays of any size, checked against an independent
// code page 932 scan and against what its result must look like on its own.
//
// Input: mode (1 byte), size (2, little-endian), padding length (2), padding byte (1),
// tail byte (1), then the array's bytes (NULs allowed).
//   mode % 3 == 0: the probes' 1024-byte array
//   mode % 3 == 1: the path's length - 3 .. + 3, the edge of "fits"
//   mode % 3 == 2: size % 2100
// The padding goes in front of the bytes, so short inputs reach paths of 1000 bytes and more.
// Past the bytes the array holds one NUL, then the tail byte up to its end.
#include "FuzzSupport.h"

#include "rules/PathRules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::BeginCase();
    fuzz::Reader in(data, size);
    const fuzz::PathCaseHead head = in.PathHead();
    const char tailByte = static_cast<char>(in.U8());
    const std::string content = std::string(head.padLength, head.padByte) + in.Rest();

    const size_t arraySize = head.ArraySize(std::min(content.find('\0'), content.size()));

    fuzz::ExactArray array(arraySize, tailByte);
    std::memcpy(array.data(), content.data(), std::min(arraySize, content.size()));
    if (content.size() < arraySize)
        array.data()[content.size()] = '\0';
    const std::string before = array.bytes();
    fuzz::ShowBytes("array before", before);
    fuzz::ShowNumber("size", arraySize);

    // What the result must be, from the reference scan.
    const size_t len = std::min(before.find('\0'), arraySize);
    const bool terminated = len < arraySize;
    const size_t keep = terminated ? fuzz::ReferenceKeep(before.data(), len) : 0;
    const int expected = terminated && !fuzz::EndsInLoneLead(before.data(), len) && keep + 2 <= arraySize;

    const int result = AddTrailingBackslash(array.data(), arraySize);
    fuzz::ShowNumber("result", static_cast<unsigned long long>(result));
    FUZZ_CHECK_EQ(expected, result,
                  "refuses exactly when there is no NUL within size, the folder ends in a broken character, or no room");
    FUZZ_CHECK_EQ(0, AddTrailingBackslash(nullptr, arraySize), "a null path is refused");

    const std::string after = array.bytes();
    const size_t resultLength = fuzz::CheckArrayWrite(result, before, after);
    if (!result)
        return 0;

    // The result on its own.
    FUZZ_CHECK(resultLength >= 1 && after[resultLength - 1] == '\\', "the result ends in a backslash byte");
    const size_t kept = resultLength - 1;
    FUZZ_CHECK(kept <= len, "the result never grows the folder's text");
    FUZZ_CHECK_BYTES(before.substr(0, kept), after.substr(0, kept), "the folder before its trailing separators is kept byte for byte");

    // Only whole single-byte backslashes are dropped.
    const std::vector<size_t> starts = fuzz::CharStarts(before.data(), len);
    FUZZ_CHECK(kept == len || fuzz::IsCharStart(starts, kept), "the cut falls on a character boundary of the folder");
    FUZZ_CHECK(before.find_first_not_of('\\', kept) >= len, "every dropped byte is a backslash");
    FUZZ_CHECK(kept <= 1 || !fuzz::EndsInSeparator(before.data(), kept),
               "no real separator is left before the appended one (only index 0 is never dropped)");
    FUZZ_CHECK_EQ(keep, kept, "the kept length agrees with the reference scan");

    // An empty folder becomes "\", which a second pass keeps (index 0 is never dropped) and
    // extends to "\\", as the rule defines for folders made only of backslashes.
    FUZZ_CHECK(fuzz::EndsInSeparator(after.data(), resultLength), "read back, the result ends in a real separator");
    if (kept == 0)
        return 0;

    fuzz::ExactArray again(after);
    FUZZ_CHECK_EQ(1, AddTrailingBackslash(again.data(), arraySize), "a normalised path is accepted again");
    FUZZ_CHECK_BYTES(after, again.bytes(), "applying twice is applying once");
    return 0;
}
