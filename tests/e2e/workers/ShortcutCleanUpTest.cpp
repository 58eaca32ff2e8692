// The clean-up after the setup program: which of the shortcut files it leaves are deleted.
// The files are laid out before the run; the tool looks at them once the program has ended.
#include "E2e.h"

using namespace driver;
using namespace expected;
using namespace machine;
using namespace scenario;

namespace {

using Folder = ShortcutFiles::Folder;

const char* NameOf(Folder folder)
{
    switch (folder) {
    case ShortcutFiles::CommonDesktop: return "all users' desktop";
    case ShortcutFiles::UserDesktop: return "user's desktop";
    case ShortcutFiles::CommonPrograms: return "all users' start menu";
    case ShortcutFiles::UserPrograms: return "user's start menu";
    }
    return "?";
}

// Lays out a file with these attributes and checks that the file system kept them.
void CreateWith(Folder folder, DWORD attributes)
{
    ShortcutFiles::Create(folder, attributes);
    const DWORD kept = ShortcutFiles::Attributes(folder);
    ASSERT_NE(kept, INVALID_FILE_ATTRIBUTES) << NameOf(folder);
    ASSERT_EQ(kept & attributes, attributes) << NameOf(folder) << ": the attributes did not stick";
}

class ShortcutCleanUp : public ::testing::Test {
protected:
    // One whole successful run with the stand-in setup program.
    void RunToTheEnd()
    {
        ASSERT_FINE(m_session.Open(kReadyToInstall));
        Click(m_session.Wizard(), kNext);
        ASSERT_TRUE(m_session.Tool().WaitForExit(Seconds(10)))
            << "expected the wizard to close, shown: " << m_session.Wizard().Text();
        ASSERT_EQ(m_session.Setup().Starts(), 1) << "the setup program did not run once";
        ASSERT_TRUE(m_session.Setup().Has("end_ms"));
    }

    void ExpectDeleted(Folder folder) { EXPECT_FALSE(ShortcutFiles::Exists(folder)) << NameOf(folder) << ": kept"; }
    void ExpectKept(Folder folder) { EXPECT_TRUE(ShortcutFiles::Exists(folder)) << NameOf(folder) << ": deleted"; }

    Session m_session{ Machine::DiscInD, Machine::WithLibrary, "cleanup" };
};

TEST_F(ShortcutCleanUp, DeletesOnlyTheAllUsersCopyWhenTheUserHasOneToo)
{
    for (Folder folder : { ShortcutFiles::CommonDesktop, ShortcutFiles::UserDesktop, ShortcutFiles::CommonPrograms,
                           ShortcutFiles::UserPrograms })
        ShortcutFiles::Create(folder);
    ASSERT_NO_FATAL_FAILURE(RunToTheEnd());

    ExpectDeleted(ShortcutFiles::CommonDesktop);
    ExpectDeleted(ShortcutFiles::CommonPrograms);
    ExpectKept(ShortcutFiles::UserDesktop);
    ExpectKept(ShortcutFiles::UserPrograms);
}

TEST_F(ShortcutCleanUp, DeletesTheUsersCopyWhenThereIsNoAllUsersCopy)
{
    ShortcutFiles::Create(ShortcutFiles::UserDesktop);
    ShortcutFiles::Create(ShortcutFiles::UserPrograms);
    ASSERT_NO_FATAL_FAILURE(RunToTheEnd());

    ExpectDeleted(ShortcutFiles::UserDesktop);
    ExpectDeleted(ShortcutFiles::UserPrograms);
    const std::string folder = ShortcutFiles::FolderPath(ShortcutFiles::UserPrograms) + "\\" + kProgramsFolderName;
    const DWORD attributes = ::GetFileAttributesA(folder.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        << "the start-menu folder must stay: " << folder;
}

TEST_F(ShortcutCleanUp, DeletesHiddenShortcuts)
{
    ASSERT_NO_FATAL_FAILURE(CreateWith(ShortcutFiles::CommonDesktop, FILE_ATTRIBUTE_HIDDEN));
    ASSERT_NO_FATAL_FAILURE(CreateWith(ShortcutFiles::UserPrograms, FILE_ATTRIBUTE_HIDDEN));
    ASSERT_NO_FATAL_FAILURE(RunToTheEnd());

    ExpectDeleted(ShortcutFiles::CommonDesktop);
    ExpectDeleted(ShortcutFiles::UserPrograms);
}

// A system file and a folder of the shortcut's name are no shortcuts: the search goes on to
// the user's folder, and they stay.
TEST_F(ShortcutCleanUp, KeepsSystemFilesAndFoldersOfTheShortcutsName)
{
    ASSERT_NO_FATAL_FAILURE(CreateWith(ShortcutFiles::CommonDesktop, FILE_ATTRIBUTE_SYSTEM));
    ShortcutFiles::Create(ShortcutFiles::UserDesktop);
    ShortcutFiles::CreateFolderInstead(ShortcutFiles::CommonPrograms);
    ASSERT_TRUE(ShortcutFiles::Attributes(ShortcutFiles::CommonPrograms) & FILE_ATTRIBUTE_DIRECTORY);
    ShortcutFiles::Create(ShortcutFiles::UserPrograms);
    ASSERT_NO_FATAL_FAILURE(RunToTheEnd());

    ExpectKept(ShortcutFiles::CommonDesktop);
    EXPECT_TRUE(ShortcutFiles::Attributes(ShortcutFiles::CommonDesktop) & FILE_ATTRIBUTE_SYSTEM);
    ExpectKept(ShortcutFiles::CommonPrograms);
    EXPECT_TRUE(ShortcutFiles::Attributes(ShortcutFiles::CommonPrograms) & FILE_ATTRIBUTE_DIRECTORY);
    ExpectDeleted(ShortcutFiles::UserDesktop);
    ExpectDeleted(ShortcutFiles::UserPrograms);
}

// A read-only shortcut is the one found, but it cannot be deleted; the run still succeeds,
// and the user's copy behind it is not looked at.
TEST_F(ShortcutCleanUp, KeepsAReadOnlyShortcutAndLooksNoFurther)
{
    ASSERT_NO_FATAL_FAILURE(CreateWith(ShortcutFiles::CommonDesktop, FILE_ATTRIBUTE_READONLY));
    ShortcutFiles::Create(ShortcutFiles::UserDesktop);
    ASSERT_NO_FATAL_FAILURE(CreateWith(ShortcutFiles::UserPrograms, FILE_ATTRIBUTE_READONLY));
    ASSERT_NO_FATAL_FAILURE(RunToTheEnd());

    ExpectKept(ShortcutFiles::CommonDesktop);
    EXPECT_TRUE(ShortcutFiles::Attributes(ShortcutFiles::CommonDesktop) & FILE_ATTRIBUTE_READONLY) << "attribute changed";
    ExpectKept(ShortcutFiles::UserDesktop);
    ExpectKept(ShortcutFiles::UserPrograms);
    EXPECT_TRUE(ShortcutFiles::Attributes(ShortcutFiles::UserPrograms) & FILE_ATTRIBUTE_READONLY) << "attribute changed";
}

// What an attacker with the user's rights may put where a shortcut is looked for, to make
// the elevated tool delete a file of its choice. The file behind must survive, and so must
// the link itself: any doubt keeps the file. Only a link to the shell folder itself is the
// machine's own layout.
enum class Redirection { LinkedFolder, LinkedFile, HardLink, LinkedShellFolder };
struct RedirectedShortcut {
    const char* name;
    Folder folder;
    Redirection redirection;
    bool bDeleted;  // the file behind is the shortcut, and goes
};
const RedirectedShortcut kRedirected[] = {
    // the start-menu shortcut's folder in the user's start menu leads to another folder
    { "LinkedStartMenuFolder", ShortcutFiles::UserPrograms, Redirection::LinkedFolder, false },
    // the shortcut's name is a symbolic link to another file
    { "SymbolicLinkDesktopShortcut", ShortcutFiles::CommonDesktop, Redirection::LinkedFile, false },
    // the shortcut is another name of a file elsewhere
    { "HardLinkedDesktopShortcut", ShortcutFiles::UserDesktop, Redirection::HardLink, false },
    // the user's desktop itself lies elsewhere (a moved profile, a redirected desktop)
    { "LinkedUserDesktopFolder", ShortcutFiles::UserDesktop, Redirection::LinkedShellFolder, true },
};

void PrintTo(const RedirectedShortcut& row, std::ostream* out)
{
    *out << row.name;
}

class RedirectedCleanUp : public ShortcutCleanUp, public ::testing::WithParamInterface<RedirectedShortcut> {
protected:
    void TearDown() override
    {
        if (!m_link.empty())
            RemoveSymbolicLink(m_link);
        if (!m_movedAside.empty())
            ::MoveFileA(m_movedAside.c_str(), m_link.c_str());
        ::SetFileAttributesA(m_victim.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(m_victim.c_str());
        ::RemoveDirectoryA(m_victimFolder.c_str());
    }

    std::string m_victimFolder = TempFilePath("victim folder");
    std::string m_victim, m_link, m_movedAside;
};

TEST_P(RedirectedCleanUp, OnlyALinkToTheShellFolderIsFollowed)
{
    const RedirectedShortcut& row = GetParam();
    const std::string shortcut = ShortcutFiles::PathIn(row.folder);
    const std::string shortcutFolder = shortcut.substr(0, shortcut.find_last_of('\\'));
    ASSERT_TRUE(MakeFolders(m_victimFolder)) << m_victimFolder;
    m_victim = m_victimFolder + shortcut.substr(shortcut.find_last_of('\\'));
    ASSERT_TRUE(MakeFile(m_victim, "a file the user may not delete")) << m_victim;

    switch (row.redirection) {
    case Redirection::LinkedFolder:
        m_link = shortcutFolder;
        ASSERT_TRUE(MakeSymbolicLink(m_victimFolder, m_link)) << m_link;
        break;
    case Redirection::LinkedFile:
        MakeFolders(shortcutFolder);
        m_link = shortcut;
        ASSERT_TRUE(MakeSymbolicLink(m_victim, m_link)) << m_link;
        break;
    case Redirection::HardLink:
        MakeFolders(shortcutFolder);
        ASSERT_TRUE(::CreateHardLinkA(shortcut.c_str(), m_victim.c_str(), nullptr)) << ::GetLastError();
        break;
    case Redirection::LinkedShellFolder:
        MakeFolders(shortcutFolder);
        m_movedAside = shortcutFolder + " (aside)";
        ASSERT_TRUE(::MoveFileA(shortcutFolder.c_str(), m_movedAside.c_str())) << ::GetLastError();
        m_link = shortcutFolder;
        ASSERT_TRUE(MakeSymbolicLink(m_victimFolder, m_link)) << m_link;
        break;
    }
    ASSERT_TRUE(ShortcutFiles::Exists(row.folder)) << "the tool would not even find " << shortcut;
    ASSERT_NO_FATAL_FAILURE(RunToTheEnd());

    if (row.bDeleted) {
        ExpectDeleted(row.folder);
        return;
    }
    EXPECT_NE(::GetFileAttributesA(m_victim.c_str()), INVALID_FILE_ATTRIBUTES) << "the file behind was deleted";
    ExpectKept(row.folder);
}

INSTANTIATE_TEST_SUITE_P(Redirections, RedirectedCleanUp, ::testing::ValuesIn(kRedirected),
                         [](const ::testing::TestParamInfo<RedirectedShortcut>& info) { return info.param.name; });

}  // namespace
