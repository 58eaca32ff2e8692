// The check runner's rows: each scenario that only Windows can decide, run against the
// program and judged PASS, FAIL or NOT DECIDED with its reason, and what they share.
//
// Classes: Row, Options, Context.
#ifndef KIT_CHECK_ROWS_H
#define KIT_CHECK_ROWS_H

#include <windows.h>

#include <string>
#include <vector>

#include "CheckMachine.h"

namespace check {

// What the runner is told.
struct Options {
    std::string tool, iso, report, disc, work;
    bool useInstalled = false, noQuestions = false, restoreOnly = false;
};

enum class Verdict { Pass, Fail, NotDecided };
struct Row {
    Verdict verdict;
    std::string reason;
};
inline Row Pass(const std::string& why) { return { Verdict::Pass, why }; }
inline Row Fail(const std::string& why) { return { Verdict::Fail, why }; }
inline Row NotDecided(const std::string& why) { return { Verdict::NotDecided, why }; }

struct Context {
    Options options;
    MachineRecord machine;
    Disc* pDisc = nullptr;
    std::string disc;  // the drive that holds the disc, or ""
    std::string discProblem;
    DWORD attachMs = 0;
    Journal* pJournal = nullptr;  // every change a row makes to the machine
};

Row Walkthrough(Context& ctx);
Row DiscLater(Context& ctx);  // the disc attached while the search runs
Row NoDisc(Context& ctx);
Row SecondStart(Context& ctx);
Row MessageFilter(Context& ctx);
Row JunctionedStartMenu(Context& ctx);
Row PlantedDlls(Context& ctx);
Row ThirtyTwoBitGate(Context& ctx);
Row ElevationPrompt(Context& ctx);

// check.exe --post HWND MESSAGE WPARAM, the child that MessageFilter starts.
int PostAsChild(const std::vector<std::string>& args);
// Ends every copy of the program the rows started that still runs.
void EndStartedPrograms();

}  // namespace check

#endif
