// Reading a program's resources.
#include "PeResources.h"

#include <algorithm>
#include <cstdio>

namespace pe {

namespace {

// The help ID (extended form only) and the styles of a dialog or a control, in the order its
// form stores them.
template <class T>
void readStyles(Reader& r, bool extended, T& t) {
    if (extended) {
        t.helpId = r.u32();
        t.exStyle = r.u32();
        t.style = r.u32();
    } else {
        t.style = r.u32();
        t.exStyle = r.u32();
    }
}

}  // namespace

// Parses DLGTEMPLATE and DLGTEMPLATEEX with their items, as the dialog manager does.
Dialog parseDialog(const Bytes& bytes) {
    Reader r(bytes);
    Dialog d;
    d.extended = bytes.size() >= 4 && bytes[2] == 0xFF && bytes[3] == 0xFF;
    if (d.extended) {
        d.version = r.u16();
        d.signature = r.u16();
    }
    readStyles(r, d.extended, d);
    d.count = r.u16();
    d.x = r.i16(); d.y = r.i16(); d.cx = r.i16(); d.cy = r.i16();
    d.menu = r.nameOrOrdinal();
    d.cls = r.nameOrOrdinal();
    d.caption = r.text();
    if (d.style & DS_SETFONT) {
        d.pointSize = r.u16();
        if (d.extended) {
            d.weight = r.u16();
            d.italic = r.u8();
            d.charset = r.u8();
        }
        d.face = r.text();
    }
    for (int i = 0; i < d.count && r.ok(); ++i) {
        r.align4();
        DialogItem item;
        readStyles(r, d.extended, item);
        item.x = r.i16(); item.y = r.i16(); item.cx = r.i16(); item.cy = r.i16();
        item.id = d.extended ? r.u32() : r.u16();
        item.cls = r.nameOrOrdinal();
        item.title = r.nameOrOrdinal();
        item.extraBytes = r.u16();
        r.skip(item.extraBytes);
        d.items.push_back(item);
    }
    d.end = r.pos();
    d.ok = r.ok();
    return d;
}

// The atom and the class name load the same window class; compare them as one.
std::wstring className(const std::wstring& stored) {
    if (stored == L"#128" || _wcsicmp(stored.c_str(), L"Button") == 0) return L"Button";
    if (stored == L"#130" || _wcsicmp(stored.c_str(), L"Static") == 0) return L"Static";
    return stored;
}

// Decodes one bottom-up BI_RGB icon image into rows top to bottom. 24-bit images have
// no alpha: they get 255, and the AND mask alone says what is transparent.
std::vector<Pixel> decodeIcon(const Bytes& image, int edge, int bits) {
    const size_t stride = (static_cast<size_t>(edge) * bits / 8 + 3) / 4 * 4;
    const size_t maskStride = (static_cast<size_t>(edge) + 31) / 32 * 4;
    if (image.size() < 40 + (stride + maskStride) * edge) return {};
    const uint8_t* colour = image.data() + 40;
    const uint8_t* mask = colour + stride * edge;
    std::vector<Pixel> pixels;
    for (int y = 0; y < edge; ++y) {
        const uint8_t* row = colour + stride * (edge - 1 - y);
        const uint8_t* maskRow = mask + maskStride * (edge - 1 - y);
        for (int x = 0; x < edge; ++x) {
            const uint8_t* p = row + x * bits / 8;
            bool masked = (maskRow[x / 8] & (0x80 >> (x % 8))) != 0;
            pixels.push_back({p[2], p[1], p[0], bits == 32 ? p[3] : uint8_t(255), masked});
        }
    }
    return pixels;
}

// Walks one VS_VERSIONINFO-style node: length, value length, type, key, value, children.
bool parseVersionNode(const Bytes& bytes, size_t at, VersionNode& node) {
    if (at + 6 > bytes.size()) return false;
    uint16_t length = 0;
    std::memcpy(&length, &bytes[at], 2);
    std::memcpy(&node.valueLength, &bytes[at + 2], 2);
    std::memcpy(&node.type, &bytes[at + 4], 2);
    const size_t end = at + length;
    if (length < 6 || end > bytes.size()) return false;
    size_t pos = at + 6;
    for (; pos + 2 <= end; pos += 2) {
        wchar_t c = static_cast<wchar_t>(bytes[pos] | bytes[pos + 1] << 8);
        if (c == 0) break;
        node.key += c;
    }
    pos = (pos + 2 + 3) / 4 * 4;
    const size_t valueBytes = node.type == 1 ? node.valueLength * 2u : node.valueLength;
    if (pos + valueBytes > end) return valueBytes == 0;
    node.value.assign(bytes.begin() + pos, bytes.begin() + pos + valueBytes);
    pos = (pos + valueBytes + 3) / 4 * 4;
    while (pos < end) {
        VersionNode child;
        if (!parseVersionNode(bytes, pos, child)) return false;
        uint16_t childLength = 0;
        std::memcpy(&childLength, &bytes[pos], 2);
        node.children.push_back(child);
        pos = (pos + childLength + 3) / 4 * 4;
    }
    return true;
}

std::vector<std::wstring> keysOf(const VersionNode& node) {
    std::vector<std::wstring> keys;
    for (const VersionNode& child : node.children) keys.push_back(child.key);
    return keys;
}

// Start tags in document order with their attributes; enough XML for one small manifest.
std::vector<Element> startTags(const std::string& xml) {
    std::vector<Element> elements;
    for (size_t at = xml.find('<'); at != std::string::npos; at = xml.find('<', at + 1)) {
        if (at + 1 >= xml.size() || xml[at + 1] == '/' || xml[at + 1] == '?' || xml[at + 1] == '!') continue;
        const size_t close = xml.find('>', at);
        if (close == std::string::npos) break;
        std::string tag = xml.substr(at + 1, close - at - 1);
        Element e;
        size_t pos = tag.find_first_of(" \t\r\n/");
        e.name = tag.substr(0, pos);
        while (pos != std::string::npos) {
            const size_t nameStart = tag.find_first_not_of(" \t\r\n/", pos);
            if (nameStart == std::string::npos) break;
            const size_t eq = tag.find('=', nameStart);
            const size_t open = tag.find('"', eq);
            const size_t end = tag.find('"', open + 1);
            if (eq == std::string::npos || open == std::string::npos || end == std::string::npos) break;
            e.attributes.emplace_back(tag.substr(nameStart, eq - nameStart), tag.substr(open + 1, end - open - 1));
            pos = end + 1;
        }
        elements.push_back(e);
    }
    return elements;
}

std::string describe(const ResourceEntry& e) {
    char text[64];
    std::snprintf(text, sizeof text, "type %u name %u language 0x%04X", e.type, e.name, e.language);
    return text;
}

Bytes findResource(HMODULE module, WORD type, WORD name, WORD language) {
    HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(type), MAKEINTRESOURCEW(name), language);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module, found);
    const uint8_t* data = static_cast<const uint8_t*>(LockResource(loaded));
    DWORD size = SizeofResource(module, found);
    return data ? Bytes(data, data + size) : Bytes();
}

namespace {

WORD number(LPCWSTR id) {
    return IS_INTRESOURCE(id) ? LOWORD(reinterpret_cast<ULONG_PTR>(id)) : 0xFFFF;
}
BOOL CALLBACK collectType(HMODULE, LPWSTR type, LONG_PTR out) {
    reinterpret_cast<std::vector<WORD>*>(out)->push_back(number(type));
    return TRUE;
}
BOOL CALLBACK collectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR out) {
    reinterpret_cast<std::vector<WORD>*>(out)->push_back(number(name));
    return TRUE;
}
BOOL CALLBACK collectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR out) {
    reinterpret_cast<std::vector<WORD>*>(out)->push_back(language);
    return TRUE;
}

}  // namespace

std::vector<ResourceEntry> inventory(HMODULE module) {
    std::vector<ResourceEntry> entries;
    std::vector<WORD> types;
    EnumResourceTypesW(module, collectType, reinterpret_cast<LONG_PTR>(&types));
    for (WORD type : types) {
        std::vector<WORD> names;
        EnumResourceNamesW(module, MAKEINTRESOURCEW(type), collectName, reinterpret_cast<LONG_PTR>(&names));
        for (WORD name : names) {
            std::vector<WORD> languages;
            EnumResourceLanguagesW(module, MAKEINTRESOURCEW(type), MAKEINTRESOURCEW(name), collectLanguage,
                                   reinterpret_cast<LONG_PTR>(&languages));
            for (WORD language : languages) entries.push_back({type, name, language});
        }
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

}  // namespace pe
