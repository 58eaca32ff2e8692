// The machine the program looks at.
#include "machine/TestMachine.h"

#include <shlobj.h>

#include <cstdlib>

#include "expected/Expectations.h"

namespace machine {

namespace {

std::string ParentOf(const std::string& path)
{
    return path.substr(0, path.find_last_of('\\'));
}

// The outermost folder along path that does not exist yet; "" when all do. Splits as
// MakeFolders does, never at a trail byte.
std::string FirstMissingFolder(const std::string& path)
{
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && ::IsDBCSLeadByte(static_cast<BYTE>(path[i]))) {
            ++i;
            continue;
        }
        if ((i == path.size() || path[i] == '\\') && i > 2) {
            const std::string prefix = path.substr(0, i);
            if (::GetFileAttributesA(prefix.c_str()) == INVALID_FILE_ATTRIBUTES)
                return prefix;
        }
    }
    return std::string();
}

}  // namespace

// ---------------------------------------------------------------------------------------
// The library installation

LibraryInstallation::LibraryInstallation(const LibraryLayout& layout)
    : m_layout(layout),
      m_path64(HKEY_LOCAL_MACHINE, expected::kAppPathsKey, "Path", KEY_WOW64_64KEY),
      m_path32(HKEY_LOCAL_MACHINE, expected::kAppPathsKey, "Path", KEY_WOW64_32KEY),
      m_commonFiles64(HKEY_LOCAL_MACHINE, expected::kCurrentVersionKey, "CommonFilesDir", KEY_WOW64_64KEY),
      m_commonFiles32(HKEY_LOCAL_MACHINE, expected::kCurrentVersionKey, "CommonFilesDir", KEY_WOW64_32KEY)
{
    // The 64-bit twin reads one view, the 32-bit release the other. Wine may leave the 32-bit
    // CommonFilesDir an unexpanded REG_EXPAND_SZ; Windows has a plain path there.
    bool ok = m_path64.SetString(m_layout.folder) && m_path32.SetString(m_layout.folder);
    ok = m_commonFiles64.SetString(m_layout.CommonFiles64()) && ok;
    ok = m_commonFiles32.SetString(m_layout.CommonFiles32()) && ok;

    m_madeFolder = FirstMissingFolder(m_layout.folder);
    ok = MakeFolders(m_layout.folder) && ok;
    ok = MakeFile(m_layout.ExeFile(), "library program") && ok;
    ok = MakeFile(m_layout.ConfigFile(), "library configuration") && ok;
    m_madeDriverFolder = FirstMissingFolder(m_layout.DriverFolder());
    ok = MakeFolders(m_layout.DriverFolder()) && ok;
    ok = MakeFile(m_layout.DriverFile(), "driver") && ok;
    m_installed = ok;
}

LibraryInstallation::~LibraryInstallation()
{
    ::SetFileAttributesA(m_layout.DriverFile().c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(m_layout.DriverFile().c_str());
    if (!m_madeDriverFolder.empty())
        RemoveTree(m_madeDriverFolder);
    RemoveTree(m_layout.folder);
    if (!m_madeFolder.empty())
        RemoveTree(m_madeFolder);
}

NoLibrary::NoLibrary()
    : m_path64(HKEY_LOCAL_MACHINE, expected::kAppPathsKey, "Path", KEY_WOW64_64KEY),
      m_path32(HKEY_LOCAL_MACHINE, expected::kAppPathsKey, "Path", KEY_WOW64_32KEY)
{
    m_path64.Delete();
    m_path32.Delete();
}

std::string FakeSetupExePath()
{
    return WindowsPathOf(TOOL_STANDIN_SETUP_EXE);
}

// ---------------------------------------------------------------------------------------
// Discs

std::string DiscDrive::Root() const
{
    // Written through the folder behind the drive: the drive itself is a CD-ROM.
    const char* var = m_letter == 'D' ? "TOOL_CDROM_D" : "TOOL_CDROM_E";
    if (const char* unixPath = std::getenv(var))
        return WindowsPathOf(unixPath) + "\\";
    return std::string(1, m_letter) + ":\\";
}

std::string DiscDrive::SetupPath() const
{
    return std::string(1, m_letter) + ":\\" + expected::kDiscFolder + "\\" + expected::kSetupFileName;
}

void DiscDrive::Empty()
{
    const std::string root = Root();
    EmptyFolder(root.substr(0, root.size() - 1));
}

void DiscDrive::MakeFolder(const std::string& relative)
{
    MakeFolders(Root() + relative);
}

void DiscDrive::PutFile(const std::string& relative, const std::string& sourceFile)
{
    const std::string target = Root() + relative;
    MakeFolders(ParentOf(target));
    ::CopyFileA(sourceFile.c_str(), target.c_str(), FALSE);
}

void DiscDrive::InsertAddOnDisc()
{
    PutFile(std::string(expected::kDiscFolder) + "\\" + expected::kSetupFileName, FakeSetupExePath());
}

// ---------------------------------------------------------------------------------------
// Shortcuts

namespace {

int CsidlOf(ShortcutFiles::Folder folder)
{
    switch (folder) {
    case ShortcutFiles::CommonDesktop: return CSIDL_COMMON_DESKTOPDIRECTORY;
    case ShortcutFiles::UserDesktop: return CSIDL_DESKTOPDIRECTORY;
    case ShortcutFiles::CommonPrograms: return CSIDL_COMMON_PROGRAMS;
    case ShortcutFiles::UserPrograms: return CSIDL_PROGRAMS;
    }
    return 0;
}

bool IsDesktop(ShortcutFiles::Folder folder)
{
    return folder == ShortcutFiles::CommonDesktop || folder == ShortcutFiles::UserDesktop;
}

}  // namespace

ShortcutFiles::ShortcutFiles()
{
    RemoveAll();
}

ShortcutFiles::~ShortcutFiles()
{
    RemoveAll();
}

std::string ShortcutFiles::FolderPath(Folder folder)
{
    char path[MAX_PATH] = {};
    ::SHGetFolderPathA(nullptr, CsidlOf(folder) | CSIDL_FLAG_CREATE, nullptr, 0, path);
    return path;
}

std::string ShortcutFiles::PathIn(Folder folder)
{
    if (IsDesktop(folder))
        return FolderPath(folder) + "\\" + expected::kDesktopShortcutName;
    return FolderPath(folder) + "\\" + expected::kProgramsFolderName + "\\" + expected::kProgramsShortcutName;
}

void ShortcutFiles::Create(Folder folder, DWORD attributes)
{
    const std::string path = PathIn(folder);
    MakeFolders(ParentOf(path));
    MakeFile(path, "[InternetShortcut]\r\n");
    ::SetFileAttributesA(path.c_str(), attributes);
}

void ShortcutFiles::CreateFolderInstead(Folder folder)
{
    MakeFolders(PathIn(folder));
}

bool ShortcutFiles::Exists(Folder folder)
{
    return Attributes(folder) != INVALID_FILE_ATTRIBUTES;
}

DWORD ShortcutFiles::Attributes(Folder folder)
{
    return ::GetFileAttributesA(PathIn(folder).c_str());
}

void ShortcutFiles::RemoveAll()
{
    for (Folder folder : { CommonDesktop, UserDesktop, CommonPrograms, UserPrograms }) {
        const std::string path = PathIn(folder);
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        const DWORD attributes = ::GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            ::RemoveDirectoryA(path.c_str());
        else
            ::DeleteFileA(path.c_str());
        if (!IsDesktop(folder))
            ::RemoveDirectoryA(ParentOf(path).c_str());
    }
}

}  // namespace machine
