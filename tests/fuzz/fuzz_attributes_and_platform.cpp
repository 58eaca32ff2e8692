// The attribute, lead-byte and platform predicates on any words, against their mask and
// range definitions written out here.
//
// Input: attribute word (4 bytes, little-endian), byte (1), bQueryOk (4), platform id (4),
// major version (4), bHaveNativeInfo (4), architecture (2).
#include "FuzzSupport.h"

#include "rules/PathRules.h"
#include "rules/PlatformRules.h"

namespace {

// SYSTEM 0x4, DIRECTORY 0x10, DEVICE 0x40, TEMPORARY 0x100, COMPRESSED 0x800.
const uint32_t kNotAFile = 0x4 | 0x10 | 0x40 | 0x100 | 0x800;
const uint32_t kNotAFolder = 0x40 | 0x100 | 0x800;
const uint32_t kDirectory = 0x10;

int ReferencePlainFile(uint32_t a) { return a != 0xFFFFFFFFu && (a & kNotAFile) == 0; }
int ReferenceDirectory(uint32_t a) { return a != 0xFFFFFFFFu && (a & kNotAFolder) == 0 && (a & kDirectory) != 0; }

int ReferenceSupported(int ok, uint32_t platform, uint32_t major)
{
    if (ok == 0 || platform < 2)
        return 0;
    return platform > 2 || major >= 6;
}

int Reference32Bit(int haveNativeInfo, uint16_t arch)
{
    return haveNativeInfo == 0 || (arch != 9 && arch != 6);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::BeginCase();
    fuzz::Reader in(data, size);
    const uint32_t attrs = in.U32();
    const uint8_t byte = in.U8();
    const int queryOk = static_cast<int>(in.U32());
    const uint32_t platform = in.U32();
    const uint32_t major = in.U32();
    const int haveNativeInfo = static_cast<int>(in.U32());
    const uint16_t arch = in.U16();
    fuzz::ShowNumber("attrs", attrs);
    fuzz::ShowNumber("byte", byte);
    fuzz::ShowNumber("bQueryOk", static_cast<uint32_t>(queryOk));
    fuzz::ShowNumber("platform id", platform);
    fuzz::ShowNumber("major", major);
    fuzz::ShowNumber("bHaveNativeInfo", static_cast<uint32_t>(haveNativeInfo));
    fuzz::ShowNumber("architecture", arch);

    const int file = IsPlainFileAttributes(attrs);
    const int folder = IsDirectoryAttributes(attrs);
    FUZZ_CHECK_EQ(ReferencePlainFile(attrs), file, "IsPlainFileAttributes: valid and none of 0x954");
    FUZZ_CHECK_EQ(ReferenceDirectory(attrs), folder, "IsDirectoryAttributes: valid, 0x10 set, none of 0x940");
    FUZZ_CHECK(!(file && folder), "no word names both a file and a folder");
    // SYSTEM makes a file unusable but not a folder.
    const uint32_t flipped = attrs ^ 0x4u;
    if (attrs != 0xFFFFFFFFu && flipped != 0xFFFFFFFFu)
        FUZZ_CHECK_EQ(folder, IsDirectoryAttributes(flipped), "SYSTEM does not matter for a folder");

    const bool lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    FUZZ_CHECK_EQ(lead, IsCp932LeadByte(byte), "IsCp932LeadByte: 0x81-0x9F and 0xE0-0xFC");
    FUZZ_CHECK_EQ(lead, fuzz::IsLead(byte), "the targets' own scan uses the same lead bytes");

    const int supported = IsSupportedWindowsVersion(queryOk, platform, major);
    FUZZ_CHECK_EQ(ReferenceSupported(queryOk, platform, major), supported,
                  "supported: query ok, and platform above 2, or platform 2 from major 6");
    if (platform == 2 && major < 0xFFFFFFFFu && supported)
        FUZZ_CHECK_EQ(1, IsSupportedWindowsVersion(queryOk, platform, major + 1), "a later NT major stays supported");

    const int is32 = IsArchitecture32Bit(haveNativeInfo, arch);
    FUZZ_CHECK_EQ(Reference32Bit(haveNativeInfo, arch), is32, "32-bit: no native info, or neither x64 (9) nor Itanium (6)");
    return 0;
}
