#include "PeFile.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>

namespace bench {

namespace {

class PeImage {
public:
    explicit PeImage(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        m_bytes.assign((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (m_bytes.size() < 0x40 || m_bytes.compare(0, 2, "MZ") != 0)
            return;
        m_pe = U32(0x3c);
        if (m_bytes.compare(m_pe, 4, std::string("PE\0\0", 4)) != 0)
            return;
        m_sections = U16(m_pe + 6);
        m_optional = m_pe + 24;
        m_table = m_optional + U16(m_pe + 20);
        m_ok = true;
    }

    bool Ok() const { return m_ok; }
    size_t Size() const { return m_bytes.size(); }
    unsigned U16(size_t at) const
    {
        return at + 2 <= m_bytes.size()
                   ? static_cast<unsigned>(static_cast<unsigned char>(m_bytes[at]) | static_cast<unsigned char>(m_bytes[at + 1]) << 8)
                   : 0u;
    }
    unsigned U32(size_t at) const { return at + 4 <= m_bytes.size() ? U16(at) | U16(at + 2) << 16 : 0u; }

    unsigned SectionCount() const { return m_sections; }
    size_t Section(unsigned i) const { return m_table + i * 40; }
    bool SectionNamed(unsigned i, const char* name) const
    {
        return m_bytes.compare(Section(i), 8, std::string(name).append(8 - std::strlen(name), '\0')) == 0;
    }

    // RVA of data directory entry n, or 0.
    unsigned Directory(unsigned n) const
    {
        const bool plus = U16(m_optional) == 0x20b;
        const size_t directories = m_optional + (plus ? 112 : 96);
        return n < U32(directories - 4) ? U32(directories + n * 8) : 0;
    }

    // File offset of an RVA, or 0 when no section holds it.
    size_t Offset(unsigned rva) const
    {
        for (unsigned i = 0; i < m_sections; ++i) {
            const size_t at = Section(i);
            const unsigned virtualAddress = U32(at + 12), virtualSize = std::max(U32(at + 8), U32(at + 16));
            if (rva >= virtualAddress && rva < virtualAddress + virtualSize)
                return rva - virtualAddress + U32(at + 20);
        }
        return 0;
    }

    std::string CString(size_t at) const
    {
        if (at >= m_bytes.size())
            return "";
        const size_t end = m_bytes.find('\0', at);
        return m_bytes.substr(at, end == std::string::npos ? std::string::npos : end - at);
    }

private:
    std::string m_bytes;
    size_t m_pe = 0, m_optional = 0, m_table = 0;
    unsigned m_sections = 0;
    bool m_ok = false;
};

}  // namespace

bool ReadPeSizes(const std::string& path, double* pFile, double* pResources)
{
    const PeImage image(path);
    if (!image.Ok())
        return false;
    *pFile = static_cast<double>(image.Size());
    *pResources = 0;
    for (unsigned i = 0; i < image.SectionCount(); ++i) {
        if (image.SectionNamed(i, ".rsrc"))
            *pResources += image.U32(image.Section(i) + 16);
    }
    return true;
}

bool ReadImportedDlls(const std::string& path, std::vector<std::string>* pDlls)
{
    const PeImage image(path);
    pDlls->clear();
    if (!image.Ok())
        return false;
    const unsigned rva = image.Directory(1);
    size_t at = rva != 0 ? image.Offset(rva) : 0;
    if (at == 0)
        return rva == 0;
    // Import descriptors of 20 bytes, ended by one of zeros; the name's RVA at +12.
    for (; image.U32(at + 12) != 0 && pDlls->size() < 256; at += 20) {
        std::string name = image.CString(image.Offset(image.U32(at + 12)));
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        pDlls->push_back(name);
    }
    std::sort(pDlls->begin(), pDlls->end());
    return true;
}

}  // namespace bench
