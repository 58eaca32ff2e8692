// Reads every resource back out of the built program and checks it field by field.
// The dialogs and the icon are what the user sees; the version record and the manifest
// are what Explorer and the loader read. A wrong bit in any of them is a visible fault.
//
// The programs are opened as data files (PeResources.h reads them), so the 64-bit test
// process can read the 32-bit release as well. Paths come from the build; --program=PATH
// and --release=PATH override them.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "expected/Expectations.h"
#include "PeResources.h"
#include "resources/resource.h"

namespace {

using namespace pe;

const WORD kJapanese = 0x0411;
// "ＭＳ Ｐゴシック": full-width ＭＳ and Ｐ, half-width space.
const wchar_t kUiFont[] = L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF";

struct Program {
    const char* label;
    std::string path;
    bool optional;             // the release is only there when its preset was built
    const char* manifestArch;  // the 64-bit twin must ask for 64-bit common controls
};

Program g_programs[] = {
    {"test twin", TOOL_PROGRAM_EXE, false, TOOL_TWIN_MANIFEST_ARCH},
    {"i686 release", TOOL_RELEASE_EXE, true, "X86"},
};

// Build paths are Unix paths; Wine sees the root file system as drive Z:.
std::string windowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// The expectations are code page 932; the resources hold UTF-16.
std::wstring wide(const char* text) {
    wchar_t buffer[256] = {};
    MultiByteToWideChar(CP_ACP, 0, text, -1, buffer, 256);
    return buffer;
}

std::string hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(v));
    return text;
}

// ---------------------------------------------------------------- dialog templates

struct ItemWant {
    const wchar_t* cls;
    uint32_t id;
    std::wstring title;
    uint32_t style;
    int16_t x, y, cx, cy;
};

// The template's own fields. Both dialogs lie at 0,0 with no menu, class or caption (the
// program sets the caption) in the UI font at 9 points.
void expectFrame(const Dialog& d, uint32_t style, uint32_t exStyle, int count, int16_t cx, int16_t cy) {
    EXPECT_EQ(hex(style), hex(d.style));
    EXPECT_EQ(hex(exStyle), hex(d.exStyle));
    EXPECT_EQ(count, d.count);
    EXPECT_EQ(0, d.x);
    EXPECT_EQ(0, d.y);
    EXPECT_EQ(cx, d.cx);
    EXPECT_EQ(cy, d.cy);
    EXPECT_EQ(L"", d.menu);
    EXPECT_EQ(L"", d.cls);
    EXPECT_EQ(L"", d.caption);
    EXPECT_EQ(9, d.pointSize);
    EXPECT_EQ(std::wstring(kUiFont), d.face);
}

void expectItems(const Dialog& d, const std::vector<ItemWant>& want) {
    ASSERT_EQ(want.size(), d.items.size()) << "number of parsed controls";
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE("control " + std::to_string(i + 1));
        const DialogItem& got = d.items[i];
        EXPECT_EQ(std::wstring(want[i].cls), className(got.cls));
        EXPECT_EQ(want[i].id, got.id);
        EXPECT_EQ(want[i].title, got.title);
        EXPECT_EQ(hex(want[i].style), hex(got.style));
        EXPECT_EQ(hex(0), hex(got.exStyle));
        EXPECT_EQ(0u, got.helpId);
        EXPECT_EQ(want[i].x, got.x);
        EXPECT_EQ(want[i].y, got.y);
        EXPECT_EQ(want[i].cx, got.cx);
        EXPECT_EQ(want[i].cy, got.cy);
        EXPECT_EQ(0, got.extraBytes) << "creation data";
    }
}

// ---------------------------------------------------------------- icon images

struct IconWant {
    int edge, bits;
    uint32_t bytes;
};

const IconWant kIcons[] = {{48, 24, 7336},     {32, 24, 3240}, {16, 24, 872},  {256, 32, 270376},
                           {48, 32, 9640},     {32, 32, 4264}, {16, 32, 1128}};

// ---------------------------------------------------------------- version record

struct StringWant {
    const char* key;
    const char* value;
};

const StringWant kVersionStrings[] = {
    {"Comments", ""},
    {"CompanyName", expected::kCompanyName},
    {"FileDescription", expected::kFileDescription},
    {"FileVersion", "1, 0, 0, 0"},
    {"InternalName", ""},
    {"LegalCopyright", expected::kCopyright},
    {"LegalTrademarks", ""},
    {"OriginalFilename", expected::kProgramFileName},
    {"PrivateBuild", ""},
    {"ProductName", expected::kProductName},
    {"ProductVersion", "1, 0, 0, 0"},
    {"SpecialBuild", ""},
};

// ---------------------------------------------------------------- manifest

using Attributes = std::vector<std::pair<std::string, std::string>>;

// ---------------------------------------------------------------- the fixture

class ProgramResources : public testing::TestWithParam<int> {
protected:
    void SetUp() override {
        program_ = &g_programs[GetParam()];
        path_ = windowsPath(program_->path);
        if (GetFileAttributesA(path_.c_str()) == INVALID_FILE_ATTRIBUTES) {
            if (program_->optional) GTEST_SKIP() << program_->label << " not built: " << path_;
            FAIL() << program_->label << " missing: " << path_;
        }
        file_.reset(new DataFile(path_));
        ASSERT_NE(nullptr, file_->module()) << "cannot open " << path_ << " as data, error " << GetLastError();
    }

    // The raw bytes of one resource in Japanese; empty when it is not there.
    Bytes resource(WORD type, WORD name) const { return findResource(file_->module(), type, name, kJapanese); }
    std::vector<ResourceEntry> inventory() const { return pe::inventory(file_->module()); }
    // The version record as Explorer reads it; empty when it cannot be read.
    std::vector<char> versionInfo() const {
        DWORD ignored = 0;
        std::vector<char> info(GetFileVersionInfoSizeA(path_.c_str(), &ignored));
        if (!info.empty() && !GetFileVersionInfoA(path_.c_str(), 0, static_cast<DWORD>(info.size()), info.data()))
            info.clear();
        return info;
    }

    const Program* program_ = nullptr;
    std::string path_;
    std::unique_ptr<DataFile> file_;
};

TEST(ResourceHeader, IdsAreTheOnesStoredInTheProgram) {
    // The code loads by these names; the program stores by these numbers.
    EXPECT_EQ(100, IDD_ABOUTBOX);
    EXPECT_EQ(102, IDD_INSTALLTOOL_DIALOG);
    EXPECT_EQ(128, IDR_MAINFRAME);
    EXPECT_EQ(1001, IDC_RADIO1);
    EXPECT_EQ(1004, IDC_STATIC_MAIN);
    EXPECT_EQ(1006, IDC_STATIC_INTRO);
    EXPECT_EQ(1007, IDC_BUTTON_BACK);
    EXPECT_EQ(-1, IDC_STATIC);
}

TEST_P(ProgramResources, HoldsExactlyTheseResourcesAllInJapanese) {
    std::vector<std::string> want;
    for (WORD icon = 1; icon <= 7; ++icon) want.push_back(describe({3, icon, kJapanese}));
    want.push_back(describe({5, 100, kJapanese}));   // version box
    want.push_back(describe({5, 102, kJapanese}));   // wizard
    want.push_back(describe({14, 128, kJapanese}));  // icon group
    want.push_back(describe({16, 1, kJapanese}));    // version record
    want.push_back(describe({24, 1, kJapanese}));    // manifest
    std::vector<std::string> got;
    for (const ResourceEntry& e : inventory()) got.push_back(describe(e));
    EXPECT_EQ(want, got);
}

TEST_P(ProgramResources, VersionBoxTemplate) {
    const Bytes bytes = resource(5, 100);
    const Dialog d = parseDialog(bytes);
    ASSERT_TRUE(d.ok) << "dialog 100 " << (bytes.empty() ? "not found in Japanese" : "ends early");
    EXPECT_FALSE(d.extended);
    // Popup, caption, system menu, modal frame, font.
    expectFrame(d, 0x80C800C0, 0, 4, 271, 56);
    expectItems(d, {
        {L"Static", 0xFFFF, L"#128", 0x50000003, 11, 16, 20, 21},  // the program icon
        {L"Static", 0xFFFF, wide(expected::kVersionBoxProductLine), 0x50020080, 40, 13, 203, 8},
        {L"Static", 0xFFFF, wide(expected::kCopyright), 0x50020000, 40, 29, 150, 8},
        {L"Button", IDOK, L"OK", 0x50030001, 195, 27, 50, 14},
    });
    EXPECT_LT(bytes.size() - d.end, 4u) << "bytes after the last control";
}

TEST_P(ProgramResources, WizardTemplate) {
    const Bytes bytes = resource(5, 102);
    const Dialog d = parseDialog(bytes);
    ASSERT_TRUE(d.ok) << "dialog 102 " << (bytes.empty() ? "not found in Japanese" : "ends early");
    ASSERT_TRUE(d.extended);
    EXPECT_EQ(1, d.version);
    EXPECT_EQ(0xFFFF, d.signature);
    EXPECT_EQ(0u, d.helpId);
    // Popup, visible, caption, modal frame, font; an app window.
    expectFrame(d, 0x90C000C0, 0x00040000, 6, 262, 99);
    EXPECT_EQ(0, d.weight);
    EXPECT_EQ(0, d.italic);
    EXPECT_EQ(1, d.charset);
    expectItems(d, {
        {L"Button", expected::kRadio, wide(expected::kRadioPlaceholder), 0x50002409, 14, 35, 161, 40},
        {L"Button", expected::kBack, wide(expected::kBackPlaceholder), 0x50010000, 100, 78, 50, 14},
        {L"Button", expected::kNext, wide(expected::kNextPlaceholder), 0x50010001, 150, 78, 50, 14},
        {L"Button", expected::kEnd, wide(expected::kEndPlaceholder), 0x50010000, 205, 78, 50, 14},
        {L"Static", expected::kMain, wide(expected::kMainPlaceholder), 0x50020000, 7, 7, 248, 64},
        {L"Static", expected::kIntro, wide(expected::kIntroPlaceholder), 0x50020000, 7, 7, 248, 27},
    });
    EXPECT_LT(bytes.size() - d.end, 4u) << "bytes after the last control";
}

TEST_P(ProgramResources, IconGroupDirectory) {
    const Bytes group = resource(14, 128);
    ASSERT_EQ(6u + 14u * 7u, group.size()) << "icon group 128 (7 entries of 14 bytes)";
    Reader r(group);
    EXPECT_EQ(0, r.u16());
    EXPECT_EQ(1, r.u16()) << "resource type: icon";
    EXPECT_EQ(7, r.u16());
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE("entry " + std::to_string(i + 1));
        const IconWant& want = kIcons[i];
        EXPECT_EQ(want.edge % 256, r.u8()) << "width (0 stands for 256)";
        EXPECT_EQ(want.edge % 256, r.u8()) << "height";
        EXPECT_EQ(0, r.u8()) << "colour count";
        EXPECT_EQ(0, r.u8()) << "reserved";
        EXPECT_EQ(1, r.u16()) << "planes";
        EXPECT_EQ(want.bits, r.u16()) << "bits per pixel";
        EXPECT_EQ(want.bytes, r.u32()) << "bytes in the image";
        EXPECT_EQ(i + 1, r.u16()) << "icon resource ID";
    }
    EXPECT_TRUE(r.ok());
}

TEST_P(ProgramResources, IconImagesAreUncompressedDibs) {
    for (int i = 0; i < 7; ++i) {
        const IconWant& want = kIcons[i];
        SCOPED_TRACE("icon " + std::to_string(i + 1) + ": " + std::to_string(want.edge) + " px, " +
                     std::to_string(want.bits) + " bits");
        Bytes image = resource(3, static_cast<WORD>(i + 1));
        ASSERT_EQ(want.bytes, image.size());
        BITMAPINFOHEADER h;
        std::memcpy(&h, image.data(), sizeof h);
        EXPECT_EQ(40u, h.biSize);
        EXPECT_EQ(want.edge, h.biWidth);
        EXPECT_EQ(want.edge * 2, h.biHeight) << "colour rows plus mask rows";
        EXPECT_EQ(1, h.biPlanes);
        EXPECT_EQ(want.bits, h.biBitCount);
        EXPECT_EQ(static_cast<DWORD>(BI_RGB), h.biCompression);
        EXPECT_EQ(0u, h.biClrUsed) << "no palette";

        // Windows itself must accept it.
        HICON icon = CreateIconFromResourceEx(image.data(), static_cast<DWORD>(image.size()), TRUE, 0x00030000,
                                              want.edge, want.edge, LR_DEFAULTCOLOR);
        EXPECT_NE(nullptr, icon) << "CreateIconFromResourceEx, error " << GetLastError();
        if (icon) DestroyIcon(icon);
    }
}

TEST_P(ProgramResources, IconImagesShowOnePictureWithCleanTransparency) {
    std::vector<std::vector<Pixel>> images;
    for (int i = 0; i < 7; ++i) {
        images.push_back(decodeIcon(resource(3, static_cast<WORD>(i + 1)), kIcons[i].edge, kIcons[i].bits));
        ASSERT_FALSE(images.back().empty()) << "icon " << i + 1 << " too short to decode";
    }
    for (int i = 0; i < 7; ++i) {
        const IconWant& want = kIcons[i];
        SCOPED_TRACE("icon " + std::to_string(i + 1) + ": " + std::to_string(want.edge) + " px, " +
                     std::to_string(want.bits) + " bits");
        const std::vector<Pixel>& px = images[i];
        int maskDisagrees = 0, masked = 0;
        for (const Pixel& p : px) {
            masked += p.masked;
            // 32-bit: the mask marks exactly the fully clear pixels. 24-bit: a masked
            // pixel must be black, or it would tint the screen through the XOR.
            if (want.bits == 32 ? p.masked != (p.a == 0) : p.masked && (p.r | p.g | p.b))
                ++maskDisagrees;
        }
        EXPECT_EQ(0, maskDisagrees) << "pixels whose AND mask disagrees with their colour";
        EXPECT_GT(masked, 0) << "no transparent pixel at all";
        EXPECT_LT(masked, want.edge * want.edge / 2) << "mostly transparent";

        // Landmarks of the picture, in fractions of the edge: clear corners, the
        // spindle hole, the silver disc and the green arrow.
        auto at = [&](double u, double v) {
            int x = std::min(want.edge - 1, static_cast<int>(u * want.edge));
            int y = std::min(want.edge - 1, static_cast<int>(v * want.edge));
            return px[y * want.edge + x];
        };
        EXPECT_TRUE(at(0.02, 0.02).masked) << "top left corner";
        EXPECT_TRUE(at(0.05, 0.95).masked) << "bottom left corner";
        const Pixel hole = at(0.44, 0.44);
        EXPECT_TRUE(want.bits == 32 ? hole.a < 128 : hole.masked) << "spindle hole, alpha " << int(hole.a);
        const Pixel disc = at(0.44, 0.12);
        EXPECT_EQ(255, disc.a);
        EXPECT_FALSE(disc.masked);
        EXPECT_LT(std::max({disc.r, disc.g, disc.b}) - std::min({disc.r, disc.g, disc.b}), 80)
            << "disc should be silver: " << int(disc.r) << "," << int(disc.g) << "," << int(disc.b);
        const Pixel arrow = at(0.74, 0.70);
        EXPECT_FALSE(arrow.masked);
        EXPECT_EQ(255, arrow.a);
        EXPECT_GT(arrow.g, arrow.r + 40) << "arrow should be green";
        EXPECT_GT(arrow.g, arrow.b + 40) << "arrow should be green";
    }
    // Each 24-bit image is its 32-bit twin with the half-clear pixels cut away.
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(std::to_string(kIcons[i].edge) + " px");
        const std::vector<Pixel>& rgb = images[i];
        const std::vector<Pixel>& rgba = images[i + 4];
        int differ = 0;
        for (size_t p = 0; p < rgb.size(); ++p) differ += rgb[p].masked != (rgba[p].a < 128);
        EXPECT_EQ(0, differ) << "24-bit mask against 32-bit alpha";
    }
}

TEST_P(ProgramResources, VersionRecordFixedPart) {
    const std::vector<char> info = versionInfo();
    ASSERT_FALSE(info.empty()) << "GetFileVersionInfoA, error " << GetLastError();

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    EXPECT_EQ(hex(0xFEEF04BD), hex(fixed->dwSignature));
    EXPECT_EQ(hex(0x00010000), hex(fixed->dwStrucVersion));
    EXPECT_EQ(hex(0x00010000), hex(fixed->dwFileVersionMS)) << "1.0";
    EXPECT_EQ(hex(0), hex(fixed->dwFileVersionLS)) << ".0.0";
    EXPECT_EQ(hex(0x00010000), hex(fixed->dwProductVersionMS));
    EXPECT_EQ(hex(0), hex(fixed->dwProductVersionLS));
    EXPECT_EQ(hex(0x3F), hex(fixed->dwFileFlagsMask));
    EXPECT_EQ(hex(0), hex(fixed->dwFileFlags));
    EXPECT_EQ(hex(VOS__WINDOWS32), hex(fixed->dwFileOS));
    EXPECT_EQ(hex(VFT_APP), hex(fixed->dwFileType));
    EXPECT_EQ(hex(0), hex(fixed->dwFileSubtype));
    EXPECT_EQ(hex(0), hex(fixed->dwFileDateMS));
    EXPECT_EQ(hex(0), hex(fixed->dwFileDateLS));

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(4u, length) << "one language and code page pair";
    EXPECT_EQ(hex(0x0411), hex(translation[0]));
    EXPECT_EQ(1200, translation[1]);
}

TEST_P(ProgramResources, VersionRecordStrings) {
    const std::vector<char> info = versionInfo();
    ASSERT_FALSE(info.empty()) << "GetFileVersionInfoA, error " << GetLastError();
    for (const StringWant& want : kVersionStrings) {
        const std::string query = std::string("\\StringFileInfo\\041104b0\\") + want.key;
        char* value = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
            << want.key << " not found";
        ASSERT_NE(nullptr, value) << want.key;
        EXPECT_EQ(std::string(want.value), std::string(value)) << want.key;
    }
}

TEST_P(ProgramResources, VersionRecordLayout) {
    // VerQueryValue cannot tell order or extra entries; the raw record can.
    const Bytes bytes = resource(16, 1);
    ASSERT_FALSE(bytes.empty()) << "version record not found in Japanese";
    VersionNode root;
    ASSERT_TRUE(parseVersionNode(bytes, 0, root)) << "malformed version record";
    EXPECT_EQ(L"VS_VERSION_INFO", root.key);
    EXPECT_EQ(sizeof(VS_FIXEDFILEINFO), root.value.size());
    ASSERT_EQ((std::vector<std::wstring>{L"StringFileInfo", L"VarFileInfo"}), keysOf(root));

    const VersionNode& strings = root.children[0];
    ASSERT_EQ(std::vector<std::wstring>{L"041104b0"}, keysOf(strings));
    std::vector<std::wstring> want;
    for (const StringWant& s : kVersionStrings) want.emplace_back(s.key, s.key + std::strlen(s.key));
    EXPECT_EQ(want, keysOf(strings.children[0]));

    EXPECT_EQ(std::vector<std::wstring>{L"Translation"}, keysOf(root.children[1]));
}

TEST_P(ProgramResources, ManifestAsksForAdministratorAndCommonControls) {
    const Bytes bytes = resource(24, 1);
    ASSERT_FALSE(bytes.empty()) << "manifest 1 not found in Japanese";
    const std::string xml(bytes.begin(), bytes.end());
    const std::string declaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";
    EXPECT_EQ(declaration, xml.substr(0, declaration.size())) << "no byte order mark, UTF-8 declared";

    const std::vector<Element> elements = startTags(xml);
    std::vector<std::string> names;
    for (const Element& e : elements) names.push_back(e.name);
    ASSERT_EQ((std::vector<std::string>{"assembly", "trustInfo", "security", "requestedPrivileges",
                                        "requestedExecutionLevel", "dependency", "dependentAssembly",
                                        "assemblyIdentity"}),
              names);
    EXPECT_EQ((Attributes{{"xmlns", "urn:schemas-microsoft-com:asm.v1"}, {"manifestVersion", "1.0"}}),
              elements[0].attributes);
    EXPECT_EQ((Attributes{{"xmlns", "urn:schemas-microsoft-com:asm.v3"}}), elements[1].attributes);
    EXPECT_EQ((Attributes{{"level", "requireAdministrator"}, {"uiAccess", "false"}}), elements[4].attributes);
    EXPECT_EQ((Attributes{{"type", "win32"},
                          {"name", "Microsoft.Windows.Common-Controls"},
                          {"version", "6.0.0.0"},
                          {"processorArchitecture", program_->manifestArch},
                          {"language", "*"},
                          {"publicKeyToken", "6595b64144ccf1df"}}),
              elements[7].attributes);
    EXPECT_EQ(std::string::npos, xml.find("compatibility"));
    EXPECT_EQ(std::string::npos, xml.find("dpiAware"));
}

INSTANTIATE_TEST_SUITE_P(Programs, ProgramResources, testing::Values(0, 1),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(info.param == 0 ? "TestTwin" : "Release");
                         });

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--program=", 0) == 0) {
            g_programs[0].path = arg.substr(10);
        } else if (arg.rfind("--release=", 0) == 0) {
            g_programs[1].path = arg.substr(10);
        } else {
            std::fprintf(stderr, "unknown argument: %s\n", argv[i]);
            return 2;
        }
    }
    return RUN_ALL_TESTS();
}
