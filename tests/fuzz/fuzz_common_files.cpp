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

#include "probes/PathRules.h"

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
    const uint8_t mode = in.U8();
    const uint16_t sizeField = in.U16();
    const size_t padLength = in.U16() % 1100;
    const char padByte = static_cast<char>(in.U8());
    const char fillByte = static_cast<char>(in.U8());
    std::string value = std::string(padLength, padByte) + in.Part();
    value.resize(std::min(value.find('\0'), value.size()));  // a NUL padding byte ends the value

    const size_t match = ReferenceMatch(value);
    size_t destSize = 0;
    switch (mode % 3) {
    case 0: destSize = kProbePathSize; break;
    case 1: {
        const size_t needed = (match == std::string::npos ? 0 : match) + kSuffix.size() + 1;
        destSize = needed + sizeField % 7 >= 3 ? needed + sizeField % 7 - 3 : 0;
        break;
    }
    default: destSize = sizeField % 2100; break;
    }
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
    if (!result) {
        FUZZ_CHECK_BYTES(before, dest.bytes(), "dest is untouched on 0");
        return 0;
    }

    const std::string after = dest.bytes();
    const size_t length = std::min(after.find('\0'), destSize);
    FUZZ_CHECK(length < destSize, "the result is NUL-terminated within destSize");
    FUZZ_CHECK(destSize != kProbePathSize || length <= 1023, "in a 1024-byte array the result has at most 1023 bytes");
    const std::string text = after.substr(0, length);
    FUZZ_CHECK_BYTES(expectedText, text, "the result is the value's part before the match, then the 64-bit suffix");
    FUZZ_CHECK(text.size() >= kSuffix.size() && text.compare(text.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0,
               "the result ends in Program Files\\Common Files, without a trailing backslash");
    FUZZ_CHECK_BYTES(before.substr(length + 1), after.substr(length + 1), "nothing past the new NUL is written");

    // The result holds its own match where the value's was, so deriving again changes nothing.
    fuzz::ExactArray textArray = fuzz::CString(text);
    fuzz::ExactArray again(destSize, fillByte);
    FUZZ_CHECK_EQ(1, DeriveCommonFilesDir(textArray.data(), again.data(), destSize), "a derived folder derives again");
    FUZZ_CHECK_BYTES(text, std::string(again.data()), "deriving twice is deriving once");
    return 0;
}
