// check.exe, the check kit's runner: on a Windows test machine, as administrator, it records
// the machine, prepares the library installation the program looks for, gets the test disc
// into a CD-ROM drive, runs the program through the scenarios that only Windows can decide,
// and writes check-report.txt beside itself. Each row says PASS, FAIL or NOT DECIDED with its
// reason; under Wine, rows that only Windows decides never say PASS. Everything it changed is
// taken back at the end, on Ctrl+C or a closed console, and, after a run that was stopped
// harder than that, at the next start (or with --restore).
//
//   check.exe [--use-installed] [--no-questions] [--disc D:] [--tool FILE] [--iso FILE] [--report FILE]
//             [--work DIR]
//   check.exe --restore [--work DIR]
// Its own files (the journal, the library it makes, the stand-in's logs) go into DIR, by
// default the runner's own folder; the others beside it unless named. The rows themselves are
// in CheckRows.cpp, the machine's record, journal, library and disc in CheckMachine.cpp.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "CheckMachine.h"
#include "CheckRows.h"
#include "expected/Expectations.h"

using namespace check;

namespace {

std::string Beside(const char* name)
{
    char self[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string folder(self, n);
    folder.erase(folder.find_last_of('\\') + 1);
    return folder + name;
}

// ---------------------------------------------------------------------------------------
// The run

CRITICAL_SECTION g_changes;  // held while the machine is changed or put back
std::string g_journalPath;

BOOL WINAPI OnConsoleEvent(DWORD)
{
    ::EnterCriticalSection(&g_changes);
    EndStartedPrograms();
    const std::string problems = Journal::Undo(g_journalPath);
    std::cout << "\ncheck: stopped; " << (problems.empty() ? "the machine is as it was\n" : "NOT put back:\n" + problems)
              << std::flush;
    ::ExitProcess(3);
}

const char* Word(Verdict verdict)
{
    return verdict == Verdict::Pass ? "PASS" : verdict == Verdict::Fail ? "FAIL" : "NOT DECIDED";
}

int Run(const Options& options)
{
    Journal journal(options.work + "check-journal.txt");
    g_journalPath = journal.Path();
    // A run that was stopped before it could put the machine back is undone first.
    ::EnterCriticalSection(&g_changes);
    std::string leftover = journal.Exists() ? Journal::Undo(journal.Path()) : std::string();
    ::LeaveCriticalSection(&g_changes);
    if (options.restoreOnly || !leftover.empty()) {
        std::cout << "check: " << (leftover.empty() ? "the machine is as it was\n" : "could NOT put back:\n" + leftover);
        return leftover.empty() ? 0 : 2;
    }

    Context ctx;
    ctx.options = options;
    ctx.pJournal = &journal;
    ctx.machine = RecordMachine(options.tool);
    std::string report = "Nor-vik check kit report\n" + ctx.machine.Describe(options.tool);

    ::EnterCriticalSection(&g_changes);
    const LibraryPreparation library = PrepareLibrary(journal, options.work + "check-library", options.useInstalled);
    ::LeaveCriticalSection(&g_changes);
    int exitCode = 0;
    if (!library.problem.empty()) {
        report += "library:   REFUSED: " + library.problem + "\n";
        exitCode = 2;
    } else {
        report += "library:   " + library.description + "\n";
        Disc disc;
        ctx.pDisc = &disc;
        if (!options.disc.empty()) {
            ctx.disc = options.disc;
            ctx.discProblem = "--disc " + options.disc;
        } else if (!(ctx.disc = Disc::Find()).empty()) {
            ctx.discProblem = "";
        } else {
            const DWORD start = ::GetTickCount();
            ctx.discProblem = disc.Attach(options.iso);
            ctx.attachMs = ::GetTickCount() - start;
            ctx.disc = Disc::Find();
            if (ctx.disc.empty() && !options.noQuestions) {
                std::cout << "Attach " << options.iso << " to this machine's CD/DVD drive now (" << ctx.discProblem
                          << ").\nThe runner waits for the disc; press Ctrl+C to stop.\n" << std::flush;
                while ((ctx.disc = Disc::Find()).empty())
                    ::Sleep(1000);
            }
        }
        report += "disc:      " + (ctx.disc.empty() ? "none (" + ctx.discProblem + ")"
                                                    : ctx.disc + (disc.Attached() ? " (attached by the runner)" : ""))
            + "\n\n";

        struct Scenario {
            const char* name;
            Row (*run)(Context&);
        } const scenarios[] = {
            { "successful run from the disc", &Walkthrough },
            { "disc attached after the search began", &DiscLater },
            { "no disc", &NoDisc },
            { "second start brings the first to the front", &SecondStart },
            { "WM_APP+102 from medium integrity, and only it", &MessageFilter },
            { "junction in place of the start-menu folder", &JunctionedStartMenu },
            { "DLLs planted beside the program", &PlantedDlls },
            { "refusal on 32-bit Windows", &ThirtyTwoBitGate },
            { "publisher in the elevation prompt", &ElevationPrompt },
        };
        // The stand-in's logs go with the rest.
        journal.WillRemove(options.work + "setup-log.txt");
        journal.WillRemove(options.work + "junction-log.txt");
        int counts[3] = {};
        for (const Scenario& scenario : scenarios) {
            std::cout << "check: " << scenario.name << "..." << std::flush;
            const Row row = scenario.run(ctx);
            ++counts[static_cast<int>(row.verdict)];
            char line[64];
            std::snprintf(line, sizeof(line), "%-12s", Word(row.verdict));
            report += std::string(line) + scenario.name + ": " + row.reason + "\n";
            std::cout << " " << Word(row.verdict) << "\n" << std::flush;
        }
        report += "\nsummary:   " + std::to_string(counts[0]) + " PASS, " + std::to_string(counts[1]) + " FAIL, "
            + std::to_string(counts[2]) + " NOT DECIDED\n";
        exitCode = counts[1] > 0 ? 1 : 0;
    }

    ::EnterCriticalSection(&g_changes);
    EndStartedPrograms();
    const std::string problems = Journal::Undo(journal.Path());
    ::LeaveCriticalSection(&g_changes);
    report += "put back:  " + (problems.empty() ? std::string("every change of the runner\n") : "NOT everything:\n" + problems);
    if (FILE* file = std::fopen(options.report.c_str(), "wb")) {
        std::fwrite(report.data(), 1, report.size(), file);
        std::fclose(file);
    }
    std::cout << "\n" << report << "\ncheck: report written to " << options.report << "\n";
    if (!options.noQuestions) {
        std::cout << "Press Enter to close." << std::flush;
        std::string line;
        std::getline(std::cin, line);
    }
    return problems.empty() ? exitCode : 2;
}

}  // namespace

int main(int argc, char** argv)
{
    // No DLL from beside the runner, which lies in a folder the user can write to.
    typedef BOOL(WINAPI * SetDirectoriesFn)(DWORD);
    const auto pfnDirectories = reinterpret_cast<SetDirectoriesFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32"), "SetDefaultDllDirectories")));
    if (pfnDirectories == nullptr || !pfnDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        ::SetDllDirectoryA("");
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "--post")
        return PostAsChild(std::vector<std::string>(args.begin() + 1, args.end()));

    Options options;
    options.tool = Beside(expected::kProgramFileName);
    options.iso = Beside("test-disc.iso");
    options.report = Beside("check-report.txt");
    options.work = Beside("");
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--use-installed")
            options.useInstalled = true;
        else if (arg == "--no-questions")
            options.noQuestions = true;
        else if (arg == "--restore")
            options.restoreOnly = true;
        else if (arg == "--disc" && hasValue)
            options.disc = args[++i];
        else if (arg == "--tool" && hasValue)
            options.tool = args[++i];
        else if (arg == "--iso" && hasValue)
            options.iso = args[++i];
        else if (arg == "--report" && hasValue)
            options.report = args[++i];
        else if (arg == "--work" && hasValue)
            options.work = args[++i] + "\\";
        else {
            std::cerr << "usage: check.exe [--use-installed] [--no-questions] [--disc D:] [--tool FILE] [--iso FILE]"
                         " [--report FILE] [--work DIR]\n       check.exe --restore [--work DIR]\n";
            return 2;
        }
    }
    // The harness's walks start the program that TOOL_EXE_UNDER_TEST names (read with getenv,
    // so set through the C library).
    const std::string variable = "TOOL_EXE_UNDER_TEST=" + options.tool;
    _putenv(variable.c_str());
    ::InitializeCriticalSection(&g_changes);
    ::SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
    return Run(options);
}
