// The check runner's rows.
#include "CheckRows.h"

#include <sddl.h>
#include <winioctl.h>

#include <cstdio>
#include <cstring>
#include <iostream>

#include "scenario/Scenario.h"
#include "fakesetup/StandIn.h"

using namespace driver;
using namespace scenario;

namespace check {

namespace {

// Where the whole answer depends on Windows itself (integrity levels, the loader, NTFS, the
// prompt), Wine decides nothing.
bool OnlyWindowsDecides(const Context& ctx, Row* pRow, const char* what)
{
    if (!ctx.machine.IsWine())
        return false;
    *pRow = NotDecided(std::string("Wine is not Windows here: ") + what);
    return true;
}

// The disc's folder is named in code page 932: without the Japanese locale the program can
// name no such folder, and nothing that needs the disc can be decided.
bool NeedsTheDisc(const Context& ctx, Row* pRow)
{
    if (!ctx.machine.Japanese())
        *pRow = NotDecided("the system's code page is " + std::to_string(ctx.machine.ansiCodePage)
                           + ", not 932: set the system locale to Japanese");
    else if (ctx.disc.empty())
        *pRow = NotDecided("no CD-ROM drive holds the test disc: " + ctx.discProblem);
    else
        return false;
    return true;
}

std::vector<HANDLE> g_started;  // the program's processes, ended with the runner if it is stopped
void Track(const ToolProcess& tool)
{
    HANDLE copy = nullptr;
    if (tool.Handle() != nullptr
        && ::DuplicateHandle(::GetCurrentProcess(), tool.Handle(), ::GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        g_started.push_back(copy);
}
bool StartTracked(ToolProcess& tool, const fakesetup::Environment& env, const std::string& exe = ToolExePath())
{
    if (!tool.Start(env, exe))
        return false;
    Track(tool);
    return true;
}
std::string OpenTracked(ToolProcess& tool, const StepRow& step, HWND* pWizard, const fakesetup::Environment& env = {})
{
    const std::string problem = OpenAt(tool, step, pWizard, env);
    Track(tool);
    return problem;
}

// From the start to ReadyToInstall, Next, and the wait for the wizard to close, with the
// stand-in's log at log: "" or what went wrong.
std::string InstallToTheEnd(const std::string& log)
{
    ::DeleteFileA(log.c_str());
    ToolProcess tool;
    HWND wizard = nullptr;
    const std::string problem = OpenTracked(tool, kReadyToInstall, &wizard, { { "FAKESETUP_LOG", log } });
    if (!problem.empty())
        return "on the way to the ready-to-install step: " + problem;
    Click(wizard, kNext);
    if (!tool.WaitForExit(Scaled(120000)))
        return "the wizard did not close after the setup program; it shows: " + ShownText(wizard);
    return std::string();
}

}  // namespace

Row Walkthrough(Context& ctx)
{
    Row row;
    if (NeedsTheDisc(ctx, &row))
        return row;
    const std::string log = ctx.options.work + "setup-log.txt";
    const std::string problem = InstallToTheEnd(log);
    if (!problem.empty())
        return Fail(problem);
    fakesetup::Environment logged = fakesetup::ReadKeyValues(log);
    int starts = 0;
    std::string self;
    std::vector<std::string> created;
    for (const auto& [key, value] : logged) {
        starts += key == "start_ms";
        if (key == "self")
            self = value;
        if (key == "created")
            created.push_back(value);
    }
    const std::string expectedSetup = ctx.disc + "\\" + expected::kDiscFolder + "\\" + expected::kSetupFileName;
    if (starts != 1)
        return Fail("the disc's Setup.exe ran " + std::to_string(starts) + " times, not once");
    if (::lstrcmpiA(self.c_str(), expectedSetup.c_str()) != 0)
        return Fail("the program started " + self + ", not " + expectedSetup);
    if (created.size() != 2)
        return Fail("the disc's Setup.exe left " + std::to_string(created.size()) + " shortcuts, not 2");
    for (const std::string& path : ShortcutPaths())
        if (!path.empty() && ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            return Fail("a shortcut was kept: " + path);
    return Pass("Setup.exe started once from " + ctx.disc + ", both shortcuts it left are gone, the wizard closed");
}

namespace {

Row DiscLaterOrNoDisc(Context& ctx, bool later)
{
    Row row;
    if (NeedsTheDisc(ctx, &row))
        return row;
    if (!ctx.pDisc->Attached())
        return NotDecided("the runner did not attach the image itself, so it cannot take the disc out (Windows 8 and later attach it)");
    if (later && ctx.attachMs > 5000)
        return NotDecided("attaching took " + std::to_string(ctx.attachMs) + " ms, too long for the search's 10 s");
    if (!ctx.pDisc->Detach())
        return NotDecided("the image could not be detached");
    ToolProcess tool;
    HWND wizard = nullptr;
    std::string problem = OpenTracked(tool, kInsertDisc, &wizard);
    if (problem.empty()) {
        Click(wizard, kNext);
        problem = WaitForStep(wizard, kSearchingDisc, Scaled(5000));
    }
    if (problem.empty() && later) {
        ::Sleep(1500);  // a few passes of the search find nothing
        const std::string attach = ctx.pDisc->Reattach();
        if (!attach.empty())
            return NotDecided("the image could not be attached again: " + attach);
        problem = WaitForStep(wizard, kReadyToInstall, Scaled(15000));
    } else if (problem.empty()) {
        problem = WaitForStep(wizard, kDiscNotFound, Scaled(20000));
    }
    if (wizard != nullptr)
        Click(wizard, kEnd);
    tool.WaitForExit(Scaled(5000));
    // The disc goes back in for the rows after this one.
    if (!ctx.pDisc->Attached())
        ctx.pDisc->Reattach();
    ctx.disc = Disc::Find();
    if (!problem.empty())
        return Fail(problem);
    return Pass(later ? "the disc attached while the search ran was found at a later pass"
                      : "with no disc the search ended on the not-found step");
}

}  // namespace

Row DiscLater(Context& ctx)
{
    return DiscLaterOrNoDisc(ctx, true);
}

Row NoDisc(Context& ctx)
{
    return DiscLaterOrNoDisc(ctx, false);
}

Row SecondStart(Context&)
{
    ToolProcess first;
    HWND wizard = nullptr;
    std::string problem = OpenTracked(first, kWelcome, &wizard);
    if (!problem.empty())
        return Fail("the first copy: " + problem);
    ToolProcess second;
    if (!StartTracked(second, {}))
        return Fail("the second copy did not start");
    DWORD code = 1;
    if (!second.WaitForExit(Scaled(15000), &code))
        return Fail("the second copy did not end by itself");
    if (code != 0)
        return Fail("the second copy ended with exit code " + std::to_string(code));
    bool front = false;
    for (DWORD waited = 0; !front && waited < Scaled(5000); waited += 50) {
        front = ::GetForegroundWindow() == wizard;
        if (!front)
            ::Sleep(50);
    }
    Click(wizard, kEnd);
    first.WaitForExit(Scaled(5000));
    return front ? Pass("the second copy ended at once and the first copy's wizard came to the front")
                 : Fail("the second copy ended, but the first copy's wizard is not in front");
}

// check.exe --post HWND MESSAGE WPARAM, at medium integrity: 0 when posted, else the error;
// 1000 when it does not run at medium integrity.
int PostAsChild(const std::vector<std::string>& args)
{
    if (IntegrityLevel() != SECURITY_MANDATORY_MEDIUM_RID || args.size() != 3)
        return 1000;
    HWND target = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::stoull(args[0], nullptr, 16)));
    if (::PostMessageA(target, std::stoul(args[1], nullptr, 16), std::stoul(args[2]), 0))
        return 0;
    return static_cast<int>(::GetLastError());
}

namespace {

// Runs check.exe --post ... with this process's token lowered to medium integrity: its exit
// code, or -1 when it could not be started so.
int PostFromMediumIntegrity(HWND target, UINT message, WPARAM wParam)
{
    HANDLE token = nullptr, medium = nullptr;
    PSID sid = nullptr;
    int result = -1;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ADJUST_DEFAULT | TOKEN_ASSIGN_PRIMARY,
                           &token)
        && ::DuplicateTokenEx(token, MAXIMUM_ALLOWED, nullptr, SecurityImpersonation, TokenPrimary, &medium)
        && ::ConvertStringSidToSidA("S-1-16-8192", &sid)) {
        TOKEN_MANDATORY_LABEL label = {};
        label.Label.Attributes = SE_GROUP_INTEGRITY;
        label.Label.Sid = sid;
        char line[MAX_PATH + 64];
        char self[MAX_PATH] = {};
        ::GetModuleFileNameA(nullptr, self, MAX_PATH);
        std::snprintf(line, sizeof(line), "\"%s\" --post %llX %X %u", self,
                      static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(target)), message,
                      static_cast<unsigned>(wParam));
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        if (::SetTokenInformation(medium, TokenIntegrityLevel, &label, sizeof(label) + ::GetLengthSid(sid))
            && ::CreateProcessAsUserA(medium, nullptr, line, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                                      &si, &pi)) {
            DWORD code = 0;
            if (::WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0 && ::GetExitCodeProcess(pi.hProcess, &code))
                result = static_cast<int>(code);
            ::CloseHandle(pi.hThread);
            ::CloseHandle(pi.hProcess);
        }
    }
    if (sid != nullptr)
        ::LocalFree(sid);
    if (medium != nullptr)
        ::CloseHandle(medium);
    if (token != nullptr)
        ::CloseHandle(token);
    return result;
}

}  // namespace

Row MessageFilter(Context& ctx)
{
    Row row;
    if (OnlyWindowsDecides(ctx, &row, "it has no integrity levels; every process is an administrator and every message arrives"))
        return row;
    if (ctx.machine.integrity < SECURITY_MANDATORY_HIGH_RID)
        return NotDecided("the runner is not elevated: start check.exe as administrator");
    ToolProcess tool;
    HWND wizard = nullptr;
    const std::string problem = OpenTracked(tool, kInsertDisc, &wizard);
    if (!problem.empty())
        return Fail(problem);
    const int refused = PostFromMediumIntegrity(wizard, expected::kDiscSearchDone, 1);
    ::Sleep(Scaled(500));
    const std::string stillThere = StepProblem(wizard, kInsertDisc);
    const int allowed = PostFromMediumIntegrity(wizard, expected::kExternalStatus, 1);
    const bool followed = WaitForMainText(wizard, expected::kFollowInstallerText, Scaled(5000));
    tool.Kill();
    if (refused < 0 || refused == 1000 || allowed < 0 || allowed == 1000)
        return NotDecided("no process could be started at medium integrity");
    if (refused == 0 || !stillThere.empty())
        return Fail("WM_APP+100 from medium integrity reached the wizard");
    if (allowed != 0 || !followed)
        return Fail("WM_APP+102 from medium integrity did not reach the wizard (post: error " + std::to_string(allowed) + ")");
    return Pass("from medium integrity WM_APP+102 reached the elevated wizard and WM_APP+100 was refused (error "
                + std::to_string(refused) + ")");
}

namespace {

// A junction (NTFS mount point) at link that leads to target.
bool MakeJunction(const std::string& link, const std::string& target)
{
    wchar_t wideTarget[MAX_PATH] = {};
    if (!::CreateDirectoryA(link.c_str(), nullptr)
        || ::MultiByteToWideChar(CP_ACP, 0, target.c_str(), -1, wideTarget, MAX_PATH) == 0)
        return false;
    const std::wstring substitute = L"\\??\\" + std::wstring(wideTarget);
    const std::wstring print = wideTarget;
    struct {
        DWORD tag;
        WORD dataLength, reserved, substituteOffset, substituteLength, printOffset, printLength;
        wchar_t paths[2 * MAX_PATH + 8];
    } buffer = {};
    buffer.tag = IO_REPARSE_TAG_MOUNT_POINT;
    buffer.substituteLength = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
    buffer.printOffset = static_cast<WORD>(buffer.substituteLength + sizeof(wchar_t));
    buffer.printLength = static_cast<WORD>(print.size() * sizeof(wchar_t));
    std::memcpy(buffer.paths, substitute.c_str(), buffer.substituteLength);
    std::memcpy(reinterpret_cast<char*>(buffer.paths) + buffer.printOffset, print.c_str(), buffer.printLength);
    buffer.dataLength = static_cast<WORD>(8 + buffer.printOffset + buffer.printLength + sizeof(wchar_t));
    HANDLE handle = ::CreateFileA(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    DWORD returned = 0;
    const bool made = handle != INVALID_HANDLE_VALUE
        && ::DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, &buffer, buffer.dataLength + 8, nullptr, 0, &returned, nullptr);
    if (handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(handle);
    if (!made)
        ::RemoveDirectoryA(link.c_str());
    return made;
}

}  // namespace

Row JunctionedStartMenu(Context& ctx)
{
    Journal& journal = *ctx.pJournal;
    Row row;
    if (OnlyWindowsDecides(ctx, &row, "it cannot make NTFS junctions") || NeedsTheDisc(ctx, &row))
        return row;
    const std::string folder = CommonProgramsShortcutFolder();
    if (folder.empty() || ::GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES)
        return NotDecided("the start-menu folder " + folder + " exists already");
    const std::string target = ctx.options.work + "junction-target";
    const std::string victim = target + "\\" + expected::kProgramsShortcutName;
    if (!journal.MakeFolder(target) || !journal.MakeFile(victim))
        return NotDecided("the junction's target folder could not be made");
    journal.WillRemove(folder);
    if (!MakeJunction(folder, target))
        return NotDecided("no junction could be made at " + folder + " (error " + std::to_string(::GetLastError()) + ")");
    const std::string problem = InstallToTheEnd(ctx.options.work + "junction-log.txt");
    const bool kept = ::GetFileAttributesA(victim.c_str()) != INVALID_FILE_ATTRIBUTES;
    ::RemoveDirectoryA(folder.c_str());
    if (!problem.empty())
        return Fail(problem);
    return kept ? Pass("with a junction in place of the start-menu folder, the file behind it was kept")
                : Fail("the program deleted " + victim + " through a junction");
}

namespace {

// The DLL an attacker would plant, carried in the runner (resource 1, RCDATA).
bool WritePlantedDll(const std::string& path)
{
    HRSRC resource = ::FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    HGLOBAL loaded = resource != nullptr ? ::LoadResource(nullptr, resource) : nullptr;
    const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    HANDLE file = bytes != nullptr ? ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr)
                                   : INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const DWORD size = ::SizeofResource(nullptr, resource);
    const bool ok = ::WriteFile(file, bytes, size, &written, nullptr) && written == size;
    ::CloseHandle(file);
    return ok;
}

}  // namespace

Row PlantedDlls(Context& ctx)
{
    Journal& journal = *ctx.pJournal;
    Row row;
    if (OnlyWindowsDecides(ctx, &row, "its loader searches for DLLs otherwise and has no KnownDLLs"))
        return row;
    // The names Windows has been seen to look for beside a program: its preload list and the
    // classic planted ones.
    static const char* const kNames[] = { "version", "uxtheme", "dwmapi", "cryptbase", "cryptsp", "riched20",
                                          "profapi", "userenv", "propsys", "msimg32", "winmm", "comctl32" };
    const std::string folder = ctx.options.work + "downloads";
    const std::string copy = folder + "\\" + expected::kProgramFileName;
    if (!journal.MakeFolder(folder))
        return NotDecided("the folder " + folder + " could not be made");
    journal.WillRemove(copy);
    if (!::CopyFileA(ToolExePath().c_str(), copy.c_str(), TRUE))
        return NotDecided("the program could not be copied");
    for (const char* name : kNames) {
        const std::string dll = folder + "\\" + name + ".dll";
        journal.WillRemove(dll);
        journal.WillRemove(dll + ".loaded");
        if (!WritePlantedDll(dll))
            return NotDecided("the planted " + dll + " could not be written");
    }
    ToolProcess tool;
    std::string problem;
    if (!StartTracked(tool, {}, copy))
        problem = "the copy did not start";
    HWND wizard = problem.empty() ? tool.WaitForWizard(Scaled(15000)) : nullptr;
    if (problem.empty() && wizard == nullptr)
        problem = "the copy showed no wizard";
    if (wizard != nullptr) {
        PressKey(wizard, VK_F5);  // the version box: another dialog, another chance to load one
        if (HWND box = tool.WaitForWindow(expected::kVersionBoxCaption, Scaled(5000)))
            ::PostMessageA(box, WM_COMMAND, IDOK, 0);
        ::Sleep(Scaled(500));
        Click(wizard, kEnd);
    }
    tool.WaitForExit(Scaled(5000));
    tool.Kill();
    std::string loaded;
    for (const char* name : kNames)
        if (::GetFileAttributesA((folder + "\\" + name + ".dll.loaded").c_str()) != INVALID_FILE_ATTRIBUTES)
            loaded += std::string(loaded.empty() ? "" : ", ") + name + ".dll";
    if (!loaded.empty())
        return Fail("planted DLLs were loaded: " + loaded);
    if (!problem.empty())
        return Fail(problem);
    return Pass("none of the " + std::to_string(sizeof(kNames) / sizeof(kNames[0]))
                + " DLLs planted beside a copy of the program was loaded");
}

Row ThirtyTwoBitGate(Context& ctx)
{
    Row row;
    if (OnlyWindowsDecides(ctx, &row, "it reports a 64-bit system"))
        return row;
    if (ctx.machine.is64Bit)
        return NotDecided("this Windows is 64-bit: run the kit on a 32-bit Windows to see its refusal");
    ToolProcess tool;
    if (!StartTracked(tool, {}))
        return Fail("the program did not start");
    HWND box = tool.WaitForWindow(expected::kMessageBoxCaption, Scaled(15000));
    if (box == nullptr)
        return Fail("no message box appeared");
    char text[256] = {};
    ::GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    DWORD code = 1;
    if (!tool.WaitForExit(Scaled(10000), &code))
        return Fail("the program did not end after its message");
    if (std::string(text) != expected::kUnsupportedText)
        return Fail(std::string("the message box says \"") + text + "\"");
    return code == 0 ? Pass("the program said it cannot run here and ended with exit code 0")
                     : Fail("the program ended with exit code " + std::to_string(code));
}

Row ElevationPrompt(Context& ctx)
{
    if (ctx.options.noQuestions)
        return NotDecided("not asked (--no-questions)");
    std::cout << "\nQuestion / 質問: double-click " << expected::kProgramFileName << " in this folder now.\n"
              << "Does the administrator prompt show your company as the verified publisher?\n"
              << "Answer y (yes), n (no) or s (skip), then close the program with its End button: " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    if (answer == "y" || answer == "Y")
        return Pass("the tester saw the verified publisher in the prompt");
    if (answer == "n" || answer == "N")
        return Fail("the tester did not see the verified publisher in the prompt");
    return NotDecided("the tester skipped the question");
}


void EndStartedPrograms()
{
    for (HANDLE process : g_started) {
        ::TerminateProcess(process, 1);
        ::CloseHandle(process);
    }
    g_started.clear();
}

}  // namespace check
