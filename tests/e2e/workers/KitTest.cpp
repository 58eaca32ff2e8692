// The check kit (kit/), under Wine: its runner (the x86_64 twin of check.exe, or the i686 one)
// with its disc as a CD-ROM drive that holds it shows it (the tree osirrox read back out of the
// image, not the harness's own folder). The rows Wine decides pass (the successful run: the tool
// finds the disc's Setup.exe and starts it, and that program, told nothing, does what the
// add-on's own does), the others never do, a fault put into the program turns its row FAIL, and
// the machine is left as it was, also after a run that was stopped half-way.
#include <cstdlib>
#include <fstream>
#include <map>

#include "E2e.h"

using namespace driver;
using namespace expected;
using namespace machine;
using namespace scenario;

namespace {

// Every file below the folder, at the same place below the drive's root.
void CopyTree(const std::string& folder, const std::string& relative, DiscDrive& drive)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA((folder + "\\*").c_str(), &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << folder;
    do {
        const std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CopyTree(folder + "\\" + name, relative + name + "\\", drive);
        else
            drive.PutFile(relative + name, folder + "\\" + name);
    } while (::FindNextFileA(h, &fd));
    ::FindClose(h);
}

// The runner under test: the twin built beside the tests, or TOOL_CHECK_RUNNER_UNDER_TEST (the
// i686 one, in tests/i686).
std::string RunnerPath()
{
    const char* runner = std::getenv("TOOL_CHECK_RUNNER_UNDER_TEST");
    return WindowsPathOf(runner != nullptr ? runner : TOOL_CHECK_RUNNER_EXE);
}

const char kSkipWithoutI386[] = "the disc's Setup.exe is i686: no enabled qemu-i386 entry in /proc/sys/fs/binfmt_misc";

// What the runner may change, as it stands: the library's registration in both views, its
// folder beside the runner, the driver file, the start-menu folder and the shortcuts, the journal.
std::string MachineState()
{
    std::string state;
    for (REGSAM view : { KEY_WOW64_64KEY, KEY_WOW64_32KEY }) {
        HKEY key = nullptr;
        const bool exists = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, KEY_READ | view, &key) == ERROR_SUCCESS;
        if (exists)
            ::RegCloseKey(key);
        state += std::string(exists ? "key " : "no key ") + (view == KEY_WOW64_64KEY ? "64\n" : "32\n");
    }
    const std::string folder = TempFilePath("check-work") + "\\";
    std::vector<std::string> paths = { folder + "check-library", folder + "check-journal.txt",
                                       "C:\\Program Files\\Common Files\\TALMO\\wopx64.sys",
                                       ShortcutFiles::FolderPath(ShortcutFiles::CommonPrograms) + "\\" + kProgramsFolderName };
    for (ShortcutFiles::Folder where : { ShortcutFiles::CommonDesktop, ShortcutFiles::UserDesktop,
                                         ShortcutFiles::CommonPrograms, ShortcutFiles::UserPrograms })
        paths.push_back(ShortcutFiles::PathIn(where));
    for (const std::string& path : paths)
        state += path + (::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES ? ": there\n" : ": absent\n");
    return state;
}

// Ends every copy of the program that a stopped runner left.
void EndLeftPrograms()
{
    while (WizardPage wizard = ::FindWindowA(nullptr, kWizardCaption)) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(wizard, &pid);
        HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        if (process == nullptr)
            return;
        ::TerminateProcess(process, 1);
        ::WaitForSingleObject(process, Scaled(5000));
        ::CloseHandle(process);
    }
}

class CheckRunner : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!CanRunI386())
            GTEST_SKIP() << kSkipWithoutI386;
        ASSERT_NO_FATAL_FAILURE(CopyTree(WindowsPathOf(TOOL_KIT_DISC_TREE), "", m_machine.D()));
        m_before = MachineState();
    }

    // Starts check.exe with the disc in D, no questions, and the report at m_report.
    bool Start(const std::string& tool, const char* more = "")
    {
        ::CreateDirectoryA(TempFilePath("check-work").c_str(), nullptr);
        std::string line = "\"" + RunnerPath() + "\" --no-questions --disc D: --tool \"" + tool
            + "\" --report \"" + m_report + "\" --work \"" + TempFilePath("check-work") + "\" " + more;
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        ::DeleteFileA(m_report.c_str());
        return ::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_runner) != FALSE;
    }
    DWORD WaitForEnd()
    {
        DWORD code = 999;
        if (::WaitForSingleObject(m_runner.hProcess, Scaled(240000)) == WAIT_OBJECT_0)
            ::GetExitCodeProcess(m_runner.hProcess, &code);
        return code;
    }
    std::string Report()
    {
        std::ifstream in(m_report);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    // Row name to its verdict, from the report.
    std::map<std::string, std::string> Rows()
    {
        std::map<std::string, std::string> rows;
        std::ifstream in(m_report);
        for (std::string line; std::getline(in, line);) {
            std::string verdict = line.substr(0, 12);
            verdict.erase(verdict.find_last_not_of(' ') + 1);
            if (line.size() > 12 && (verdict == "PASS" || verdict == "FAIL" || verdict == "NOT DECIDED"))
                rows[line.substr(12, line.find(':', 12) - 12)] = verdict;
        }
        return rows;
    }
    void TearDown() override
    {
        if (m_runner.hProcess != nullptr) {
            ::TerminateProcess(m_runner.hProcess, 1);
            ::CloseHandle(m_runner.hProcess);
            ::CloseHandle(m_runner.hThread);
        }
        EndLeftPrograms();
        ::DeleteFileA(m_report.c_str());
        ::RemoveDirectoryA(TempFilePath("check-work").c_str());
    }

    Machine m_machine{ Machine::NoDisc, Machine::WithoutLibrary };  // the runner makes its own
    std::string m_before;
    std::string m_report = TempFilePath("check-report.txt");
    PROCESS_INFORMATION m_runner = {};
};

TEST_F(CheckRunner, RowsWineDecidesPassTheOthersAreNotDecidedAndTheMachineIsAsBefore)
{
    ASSERT_TRUE(Start(ToolExePath()));
    EXPECT_EQ(WaitForEnd(), 0u) << "the runner's exit code";
    std::map<std::string, std::string> rows = Rows();
    EXPECT_EQ(rows["successful run from the disc"], "PASS") << Report();
    EXPECT_EQ(rows["second start brings the first to the front"], "PASS");
    for (const char* row : { "disc attached after the search began", "no disc", "WM_APP+102 from medium integrity, and only it",
                             "junction in place of the start-menu folder", "DLLs planted beside the program",
                             "refusal on 32-bit Windows", "publisher in the elevation prompt" })
        EXPECT_EQ(rows[row], "NOT DECIDED") << row;
    EXPECT_EQ(rows.size(), 9u) << "rows in the report";
    EXPECT_EQ(MachineState(), m_before);
}

// A copy of the program that looks for another desktop shortcut name keeps the one it should delete.
TEST_F(CheckRunner, AFaultInTheProgramTurnsItsRowFail)
{
    const std::string copy = TempFilePath("faulty.exe");
    std::ifstream in(ToolExePath(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t at = bytes.find(kDesktopShortcutName);
    ASSERT_NE(at, std::string::npos);
    bytes[at] = 'X';
    std::ofstream(copy, std::ios::binary) << bytes;
    ASSERT_TRUE(Start(copy));
    EXPECT_EQ(WaitForEnd(), 1u) << "the runner's exit code";
    EXPECT_EQ(Rows()["successful run from the disc"], "FAIL") << Report();
    EXPECT_EQ(MachineState(), m_before);
    ::DeleteFileA(copy.c_str());
}

// Stopped hard once it has changed the machine: the next start, here --restore, puts it back.
TEST_F(CheckRunner, ARunStoppedHalfWayIsPutBackByTheNextStart)
{
    const std::string journal = TempFilePath("check-work") + "\\check-journal.txt";
    ASSERT_TRUE(Start(ToolExePath()));
    ASSERT_TRUE(WaitFor([&] { return ::FindWindowA(nullptr, kWizardCaption) != nullptr; }, Scaled(60000)))
        << "the runner never started the program";
    ::TerminateProcess(m_runner.hProcess, 1);
    ::WaitForSingleObject(m_runner.hProcess, Scaled(10000));
    EndLeftPrograms();
    ASSERT_NE(MachineState(), m_before) << "the runner had changed nothing yet";
    ASSERT_NE(::GetFileAttributesA(journal.c_str()), INVALID_FILE_ATTRIBUTES);
    ::CloseHandle(m_runner.hProcess);
    ::CloseHandle(m_runner.hThread);
    m_runner = {};
    ASSERT_TRUE(Start(ToolExePath(), "--restore"));
    EXPECT_EQ(WaitForEnd(), 0u);
    EXPECT_EQ(MachineState(), m_before);
}

}  // namespace
