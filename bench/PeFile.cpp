#include "PeFile.h"

#include <fstream>
#include <iterator>

namespace bench {

bool ReadPeSizes(const std::string& path, double* pFile, double* pResources)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto u16 = [&](size_t at) { return at + 2 <= bytes.size() ? static_cast<unsigned>(static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8) : 0u; };
    auto u32 = [&](size_t at) { return at + 4 <= bytes.size() ? u16(at) | u16(at + 2) << 16 : 0u; };
    if (bytes.size() < 0x40 || bytes.compare(0, 2, "MZ") != 0)
        return false;
    const size_t pe = u32(0x3c);
    if (bytes.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
        return false;
    const unsigned sections = u16(pe + 6);
    const size_t table = pe + 24 + u16(pe + 20);
    *pFile = static_cast<double>(bytes.size());
    *pResources = 0;
    for (unsigned i = 0; i < sections; ++i) {
        const size_t at = table + i * 40;
        if (bytes.compare(at, 6, std::string(".rsrc\0", 6)) == 0)
            *pResources += u32(at + 16);
    }
    return true;
}

}  // namespace bench
