// DeriveCommonFilesDir on any value and destination size, against a naive reference: find
// every byte-wise "Program Files", keep the first that starts on a character boundary.
//
// Input: mode (1 byte), size (2, little-endian), padding length (2), padding byte (1),
// fill byte (1), then the value's bytes up to the first NUL.
//   mode % 3 == 0: the probes' 1024-byte destination
//   mode % 3 == 1: the length the result needs - 3 .. + 3
//   mode % 3 == 2: size % 2100
// The padding goes in front of the value, so that matches beyond 1023 bytes are reached.
// The destination starts filled with the fill byte.
#include "FuzzSupport.h"

#include "rules/PathRules.h"

namespace {

const std::string kNeedle = "Program Files";
const std::string kSuffix = "Program Files\\Common Files";

// Where the first "Program Files" that starts on a character boundary begins, or npos.
size_t ReferenceMatch(const std::string& value)
{
    const std::vector<size_t> starts = fuzz::CharStarts(value);
    for (size_t at = value.find(kNeedle); at != std::string::npos; at = value.find(kNeedle, at + 1)) {
        if (fuzz::IsCharStart(starts, at))
            return at;
    }
    return std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::BeginCase();
    fuzz::Reader in(data, size);
    const fuzz::PathCaseHead head = in.PathHead();
    const char fillByte = static_cast<char>(in.U8());
    const std::string value = in.PaddedPart(head.padLength, head.padByte);

    const size_t match = ReferenceMatch(value);
    const size_t destSize = head.ArraySize((match == std::string::npos ? 0 : match) + kSuffix.size() + 1);
    fuzz::ShowBytes("value", value);
    fuzz::ShowNumber("destSize", destSize);

    fuzz::ExactArray valueArray = fuzz::CString(value);
    fuzz::ExactArray dest(destSize, fillByte);
    const std::string before = dest.bytes();

    const std::string expectedText = match == std::string::npos ? "" : value.substr(0, match) + kSuffix;
    const int expected = match != std::string::npos && expectedText.size() + 1 <= destSize;

    const int result = DeriveCommonFilesDir(valueArray.data(), dest.data(), destSize);
    fuzz::ShowNumber("result", static_cast<unsigned long long>(result));
    FUZZ_CHECK_BYTES(value, std::string(valueArray.data()), "the value is only read");
    FUZZ_CHECK_EQ(expected, result, "1 exactly when a boundary match exists and the result fits");

    FUZZ_CHECK_EQ(0, DeriveCommonFilesDir(nullptr, dest.data(), destSize), "a null value is refused");
    FUZZ_CHECK_EQ(0, DeriveCommonFilesDir(valueArray.data(), nullptr, destSize), "a null destination is refused");
    const std::string after = dest.bytes();
    const size_t length = fuzz::CheckArrayWrite(result, before, after);
    if (!result)
        return 0;
    FUZZ_CHECK(destSize != kProbePathSize || length <= 1023, "in a 1024-byte array the result has at most 1023 bytes");
    const std::string text = after.substr(0, length);
    FUZZ_CHECK_BYTES(expectedText, text, "the result is the value's part before the match, then the 64-bit suffix");
    FUZZ_CHECK(text.size() >= kSuffix.size() && text.compare(text.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0,
               "the result ends in Program Files\\Common Files, without a trailing backslash");

    // The result holds its own match where the value's was, so deriving again changes nothing.
    fuzz::ExactArray textArray = fuzz::CString(text);
    fuzz::ExactArray again(destSize, fillByte);
    FUZZ_CHECK_EQ(1, DeriveCommonFilesDir(textArray.data(), again.data(), destSize), "a derived folder derives again");
    FUZZ_CHECK_BYTES(text, std::string(again.data()), "deriving twice is deriving once");
    return 0;
}
