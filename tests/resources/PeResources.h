// Reads a program file as the loader, the dialog manager and Explorer read it: opened as a
// data file (never run, so a 64-bit reader opens a 32-bit file too), its resources through the
// loader, and inside them the dialog templates, icon images, the version record and the
// manifest's start tags, which the resource tests check. Why not Debian's pefile, which the
// release checks, the signing test and the benchmark read through: here Windows' own functions
// answer (FindResourceEx, GetFileVersionInfo, CreateIconFromResourceEx), so what they would
// refuse fails here too, which a reader of the bytes on Linux cannot tell.
//
// Classes: Reader, DataFile.
#ifndef PE_RESOURCES_H
#define PE_RESOURCES_H

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace pe {

using Bytes = std::vector<uint8_t>;

// Bounds-checked little-endian reader; a read past the end leaves ok() false.
class Reader {
public:
    explicit Reader(const Bytes& bytes) : data_(bytes) {}

    uint8_t u8() { return need(1) ? data_[pos_++] : 0; }
    uint16_t u16() { uint16_t v = 0; take(&v, 2); return v; }
    uint32_t u32() { uint32_t v = 0; take(&v, 4); return v; }
    int16_t i16() { return static_cast<int16_t>(u16()); }
    void skip(size_t n) { if (need(n)) pos_ += n; }
    void align4() { skip((4 - pos_ % 4) % 4); }

    std::wstring text() {
        std::wstring s;
        for (uint16_t c = u16(); ok_ && c != 0; c = u16()) s += static_cast<wchar_t>(c);
        return s;
    }
    // A name that is empty, an ordinal (written "#n") or a string.
    std::wstring nameOrOrdinal() {
        if (pos_ + 2 <= data_.size() && data_[pos_] == 0xFF && data_[pos_ + 1] == 0xFF) {
            skip(2);
            return L"#" + std::to_wstring(u16());
        }
        return text();
    }

    size_t pos() const { return pos_; }
    bool ok() const { return ok_; }

private:
    bool need(size_t n) {
        if (pos_ + n > data_.size()) ok_ = false;
        return ok_;
    }
    void take(void* out, size_t n) {
        if (need(n)) { std::memcpy(out, &data_[pos_], n); pos_ += n; }
    }
    const Bytes& data_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// ---------------------------------------------------------------- dialog templates

struct DialogItem {
    uint32_t helpId = 0, exStyle = 0, style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    uint32_t id = 0;
    std::wstring cls, title;
    uint16_t extraBytes = 0;
};

struct Dialog {
    bool extended = false;
    uint16_t version = 0, signature = 0;
    uint32_t helpId = 0, exStyle = 0, style = 0;
    uint16_t count = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    std::wstring menu, cls, caption;
    uint16_t pointSize = 0, weight = 0;
    uint8_t italic = 0, charset = 0;
    std::wstring face;
    std::vector<DialogItem> items;
    size_t end = 0;  // where the last control ended
    bool ok = false;
};

// Parses DLGTEMPLATE and DLGTEMPLATEEX with their items, as the dialog manager does.
Dialog parseDialog(const Bytes& bytes);

// The atom and the class name load the same window class; compare them as one.
std::wstring className(const std::wstring& stored);

// ---------------------------------------------------------------- icon images

struct Pixel {
    uint8_t r, g, b, a;
    bool masked;  // AND-mask bit: the screen shows through
};

// Decodes one bottom-up BI_RGB icon image into rows top to bottom. 24-bit images have
// no alpha: they get 255, and the AND mask alone says what is transparent.
std::vector<Pixel> decodeIcon(const Bytes& image, int edge, int bits);

// ---------------------------------------------------------------- version record

struct VersionNode {
    std::wstring key;
    uint16_t valueLength = 0, type = 0;
    Bytes value;
    std::vector<VersionNode> children;
};

// Walks one VS_VERSIONINFO-style node: length, value length, type, key, value, children.
bool parseVersionNode(const Bytes& bytes, size_t at, VersionNode& node);

// The keys of a node's children, in order.
std::vector<std::wstring> keysOf(const VersionNode& node);

// ---------------------------------------------------------------- manifest

struct Element {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
};

// Start tags in document order with their attributes; enough XML for one small manifest.
std::vector<Element> startTags(const std::string& xml);

// ---------------------------------------------------------------- the module

// A program file opened as a data file, closed again when this goes away.
class DataFile {
public:
    explicit DataFile(const std::string& windowsPath)
        : module_(LoadLibraryExA(windowsPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~DataFile() { if (module_) FreeLibrary(module_); }
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;

    // NULL when the file could not be opened as a PE file (GetLastError says why).
    HMODULE module() const { return module_; }

private:
    HMODULE module_;
};

struct ResourceEntry {
    WORD type, name, language;
    bool operator<(const ResourceEntry& o) const {
        return std::tie(type, name, language) < std::tie(o.type, o.name, o.language);
    }
};

std::string describe(const ResourceEntry& e);

// The raw bytes of one resource in one language; empty when it is not there.
Bytes findResource(HMODULE module, WORD type, WORD name, WORD language);
// Every resource of the module by number, sorted. Named types or names are not ours: they
// show up as 0xFFFF.
std::vector<ResourceEntry> inventory(HMODULE module);

}  // namespace pe

#endif
