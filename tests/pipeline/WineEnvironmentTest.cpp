// The ground every Wine test stands on. When one of these fails, no other result under Wine
// can be trusted, so they check the environment itself, not the program.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "expected/Expectations.h"

namespace {

// The add-on's folder, written as the program writes it: a UTF-8 source literal that the
// compiler turns into Shift-JIS. disc-folder.sh creates the same name from Linux, where it is
// UTF-8 on disk.
using expected::kDiscFolder;
const std::string kCheckRoot = "D:\\pipeline-check\\";

TEST(WineEnvironment, AnsiCodePageIsJapanese) {
  EXPECT_EQ(932u, GetACP());
}

TEST(WineEnvironment, DrivesDAndEAreCdRoms) {
  EXPECT_EQ(static_cast<UINT>(DRIVE_CDROM), GetDriveTypeA("D:\\"));
  EXPECT_EQ(static_cast<UINT>(DRIVE_CDROM), GetDriveTypeA("E:\\"));
  // The system drive stays a fixed disk, so the answer above is not just a default.
  EXPECT_EQ(static_cast<UINT>(DRIVE_FIXED), GetDriveTypeA("C:\\"));
}

TEST(WineEnvironment, ToolPathsReachWindowsPrograms) {
  for (const char* name : {"TOOL_ROOT", "TOOL_BUILD", "TOOL_CDROM_D", "TOOL_CDROM_E"}) {
    char value[MAX_PATH] = {};
    EXPECT_GT(GetEnvironmentVariableA(name, value, sizeof value), 0u) << name;
  }
}

TEST(ShiftJisLiterals, AreCompiledToCodePage932) {
  // "ライブラリー" is two bytes a character in Shift-JIS, three in UTF-8.
  const unsigned char expected[] = {0x4e, 0x6f, 0x72, 0x2d, 0x76, 0x69, 0x6b, 0x83, 0x89, 0x83,
                                    0x43, 0x83, 0x75, 0x83, 0x89, 0x83, 0x8a, 0x81, 0x5b, 0x33};
  ASSERT_EQ(sizeof expected + 1, sizeof kDiscFolder);
  EXPECT_EQ(0, std::memcmp(expected, kDiscFolder, sizeof expected));
}

TEST(ShiftJisLiterals, OpenTheUtf8FileThatLinuxCreated) {
  const std::string path = kCheckRoot + kDiscFolder + "\\marker.txt";
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file) << "GetLastError() = " << GetLastError();
  char text[64] = {};
  DWORD got = 0;
  const BOOL read = ReadFile(file, text, sizeof text - 1, &got, nullptr);
  CloseHandle(file);
  ASSERT_TRUE(read);
  EXPECT_EQ("written from Linux\n", std::string(text, got));
}

TEST(ShiftJisLiterals, ComeBackFromTheDriveListing) {
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((kCheckRoot + "*").c_str(), &entry);
  ASSERT_NE(INVALID_HANDLE_VALUE, find) << "GetLastError() = " << GetLastError();
  bool found = false;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        std::strcmp(entry.cFileName, kDiscFolder) == 0) {
      found = true;
    }
  } while (FindNextFileA(find, &entry));
  FindClose(find);
  EXPECT_TRUE(found);
}

}  // namespace
