// What only Windows' own functions can decide about the built program's resources: that it
// takes the icons (CreateIconFromResourceEx) and reads the version record as Explorer does
// (GetFileVersionInfo, VerQueryValue). Every field of every resource is checked byte by byte
// on Linux by check-resources.py, through Debian's pefile as the release checks read the file.
//
// The programs are opened as data files, so the 64-bit test process reads the 32-bit release as
// well. Paths come from the build; --program=PATH and --release=PATH override them.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "expected/Expectations.h"

namespace {

const WORD kJapanese = 0x0411;

struct Program {
    const char* label;
    std::string path;
    bool optional;  // the release is only there when its preset was built
};

Program g_programs[] = {
    {"test twin", TOOL_PROGRAM_EXE, false},
    {"i686 release", TOOL_RELEASE_EXE, true},
};

std::string hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(v));
    return text;
}

class ProgramResources : public testing::TestWithParam<int> {
protected:
    void SetUp() override {
        const Program& program = g_programs[GetParam()];
        // Build paths are Unix paths; Wine sees the root file system as drive Z:.
        path_ = (program.path[0] == '/' ? "Z:" : "") + program.path;
        std::replace(path_.begin(), path_.end(), '/', '\\');
        if (GetFileAttributesA(path_.c_str()) == INVALID_FILE_ATTRIBUTES) {
            if (program.optional) GTEST_SKIP() << program.label << " not built: " << path_;
            FAIL() << program.label << " missing: " << path_;
        }
        module_ = LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module_) << "cannot open " << path_ << " as data, error " << GetLastError();
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }

    // The raw bytes of one resource in Japanese, as the loader finds it; empty when it is not there.
    std::vector<BYTE> resource(WORD type, WORD name) const {
        HRSRC found = FindResourceExW(module_, MAKEINTRESOURCEW(type), MAKEINTRESOURCEW(name), kJapanese);
        const BYTE* data = found ? static_cast<const BYTE*>(LockResource(LoadResource(module_, found))) : nullptr;
        return data ? std::vector<BYTE>(data, data + SizeofResource(module_, found)) : std::vector<BYTE>();
    }
    // The version record as Explorer reads it; empty when it cannot be read.
    std::vector<char> versionInfo() const {
        DWORD ignored = 0;
        std::vector<char> info(GetFileVersionInfoSizeA(path_.c_str(), &ignored));
        if (!info.empty() && !GetFileVersionInfoA(path_.c_str(), 0, static_cast<DWORD>(info.size()), info.data()))
            info.clear();
        return info;
    }

    std::string path_;
    HMODULE module_ = nullptr;
};

TEST_P(ProgramResources, WindowsTakesEveryIconImage) {
    const int edges[] = {48, 32, 16, 256, 48, 32, 16};
    for (int i = 0; i < 7; ++i) {
        std::vector<BYTE> image = resource(3, static_cast<WORD>(i + 1));
        ASSERT_FALSE(image.empty()) << "icon " << i + 1 << " not found in Japanese";
        HICON icon = CreateIconFromResourceEx(image.data(), static_cast<DWORD>(image.size()), TRUE, 0x00030000,
                                              edges[i], edges[i], LR_DEFAULTCOLOR);
        EXPECT_NE(nullptr, icon) << "icon " << i + 1 << ": CreateIconFromResourceEx, error " << GetLastError();
        if (icon) DestroyIcon(icon);
    }
}

// Explorer's way to the record finds its fixed part, its one language and its strings (every
// field and value: check-resources.py).
TEST_P(ProgramResources, ExplorerReadsTheVersionRecord) {
    const std::vector<char> info = versionInfo();
    ASSERT_FALSE(info.empty()) << "GetFileVersionInfoA, error " << GetLastError();
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    EXPECT_EQ(hex(0xFEEF04BD), hex(fixed->dwSignature));
    EXPECT_EQ(hex(0x00010000), hex(fixed->dwFileVersionMS)) << "1.0";
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(4u, length) << "one language and code page pair";
    EXPECT_EQ(hex(0x04B00411), hex(translation[0] | translation[1] << 16)) << "Japanese, Unicode";
    const std::pair<const char*, const char*> strings[] = {
        {"CompanyName", expected::kCompanyName},
        {"ProductName", expected::kProductName},
        {"OriginalFilename", expected::kProgramFileName},
    };
    for (const auto& want : strings) {
        char* value = nullptr;
        ASSERT_TRUE(VerQueryValueA(info.data(), (std::string("\\StringFileInfo\\041104b0\\") + want.first).c_str(),
                                   reinterpret_cast<void**>(&value), &length) && value != nullptr)
            << want.first << " not found";
        EXPECT_EQ(std::string(want.second), value) << want.first;
    }
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
