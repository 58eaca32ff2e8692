// The wizard's pure rules: the presentation table, the flow table, the setup program's path
// on a disc, and where the setup program's shortcuts are looked for.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "rules/WizardFlow.h"
#include "rules/WizardPresentation.h"
#include "rules/WorkerRules.h"

namespace {

// --- Presentation table ------------------------------------------------------------------

TEST(WizardPresentation, HasARowForEveryShownStepAndNoOther)
{
    const std::set<int> shown = { LibraryMissing, Welcome, InsertDisc, SearchingDisc, DiscNotFound,
                                  ReadyToInstall, InstallFailed, FollowInstaller, FatalError };
    std::vector<int> states = { INT_MIN, INT_MIN + 1, -1000, INT_MAX - 1, INT_MAX };
    for (int state = -2; state <= 20; ++state)
        states.push_back(state);
    for (int state : states) {
        const WizardPresentation* row = FindWizardPresentation(state);
        if (shown.count(state)) {
            ASSERT_NE(row, nullptr) << "step " << state;
            EXPECT_EQ(row->nState, state);
        } else {
            EXPECT_EQ(row, nullptr) << "step " << state << " has a row; ExternalHold must keep the screen";
        }
    }
    int rows = 0;
    const WizardPresentation* table = WizardPresentationTable(&rows);
    EXPECT_EQ(rows, static_cast<int>(shown.size())) << "a step with two rows";
    EXPECT_EQ(WizardPresentationTable(nullptr), table) << "the row count is optional";
}

TEST(WizardPresentation, EveryRowIsConsistent)
{
    int rows = 0;
    const WizardPresentation* table = WizardPresentationTable(&rows);
    for (int i = 0; i < rows; ++i) {
        const WizardPresentation& row = table[i];
        SCOPED_TRACE("step " + std::to_string(row.nState));
        // Exactly one of the two overlapping text areas is shown, and it has text.
        EXPECT_NE(row.bMainVisible, row.bIntroVisible);
        EXPECT_EQ(std::strlen(row.pszMain) > 0, row.bMainVisible);
        EXPECT_EQ(std::strlen(row.pszIntro) > 0, row.bIntroVisible);
        // The statics take '&' as a mnemonic prefix.
        EXPECT_EQ(std::strchr(row.pszMain, '&'), nullptr);
        EXPECT_EQ(std::strchr(row.pszIntro, '&'), nullptr);
        // End always works; the focus never lands on a disabled button.
        EXPECT_TRUE(row.bEndEnabled);
        if (row.focus == FocusBack) {
            EXPECT_TRUE(row.bBackEnabled);
        }
        if (row.focus == FocusNext) {
            EXPECT_TRUE(row.bNextEnabled);
        }
        EXPECT_STREQ(row.pszEndCaption, row.nState == SearchingDisc ? kAbortCaption : kEndCaption);
    }
}

TEST(WizardPresentation, TextsAreShiftJis)
{
    // The program's texts must be code page 932 bytes, whatever the source encoding.
    EXPECT_STREQ(kBackCaption, "\x96\xdf\x82\xe9");     // 戻る
    EXPECT_STREQ(kNextCaption, "\x8e\x9f\x82\xd6");     // 次へ
    EXPECT_STREQ(kEndCaption, "\x8f\x49\x97\xb9");      // 終了
    EXPECT_STREQ(kAbortCaption, "\x92\x86\x8e\x7e");    // 中止
    // The bullet lines of the disc request start with an ideographic space.
    const char* insert = FindWizardPresentation(InsertDisc)->pszMain;
    EXPECT_NE(std::strstr(insert, "\n\x81\x40\x81\x45"), nullptr) << "\\n, ideographic space, bullet";
}

// --- Flow table ---------------------------------------------------------------------------

// Every (step, event) pair: the actions and the step that follows, as the handlers are
// described. A column a step, in this order; "same" leaves step and screen as they are.
const int kSteps[] = { LibraryMissing, Welcome, InsertDisc, SearchingDisc, DiscNotFound,
                       ReadyToInstall, InstallFailed, FollowInstaller, ExternalHold, FatalError };
struct Cell {
    unsigned actions;
    int nNext;
};
const Cell same = { 0, kSameStep }, end = { ActEndDialog, kSameStep };
struct FlowRow {
    WizardEvent event;
    Cell cells[10];
};
const FlowRow kFlow[] = {
    { EventNext, { same, { ActHoldMutex, InsertDisc }, { ActStartSearch, SearchingDisc }, same, same,
                   { ActDisableNext | ActStartInstaller, FollowInstaller }, same, same, same, same } },
    { EventBack, { same, same, { ActReleaseMutex, Welcome }, same, { 0, InsertDisc }, { 0, InsertDisc },
                   same, same, same, same } },
    { EventEnd, { end, end, end, { ActCancelSearch, kSameStep }, end, end, end, end, end, end } },
};
// The messages act on every step alike, but for one.
struct MessageRow {
    WizardEvent event;
    Cell cell;
};
const MessageRow kMessages[] = {
    { EventDiscFound, { ActForeground, ReadyToInstall } },
    { EventDiscMissing, { ActForeground, DiscNotFound } },
    { EventSetupRan, { ActReleaseMutex | ActEndDialog, kSameStep } },
    { EventSetupNotStarted, { ActReleaseMutex | ActForeground, InstallFailed } },
    { EventExternalFollow, { 0, FollowInstaller } },
    { EventExternalHold, { 0, ExternalHold } },  // on FatalError: FatalError, presented again
};

void ExpectRow(int state, WizardEvent event, Cell cell)
{
    const WizardTransition* row = FindWizardTransition(state, event);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->actions, cell.actions) << "step " << state << ", event " << event;
    EXPECT_EQ(row->nNext, cell.nNext) << "step " << state << ", event " << event;
}

TEST(WizardFlow, EveryStepAndEventHasItsRow)
{
    for (const FlowRow& flow : kFlow) {
        for (int i = 0; i < 10; ++i)
            ExpectRow(kSteps[i], flow.event, flow.cells[i]);
    }
    for (const MessageRow& message : kMessages) {
        for (int state : kSteps) {
            const bool fatal = state == FatalError && message.event == EventExternalHold;
            ExpectRow(state, message.event, fatal ? Cell{ 0, FatalError } : message.cell);
        }
    }
    // A value that is no event does nothing.
    ExpectRow(Welcome, kWizardEventCount, same);
}

// --- The setup program on a disc ---------------------------------------------------------

TEST(DiscSetupPath, IsComposedFromTheDriveLetter)
{
    char path[260];
    std::memset(path, 'x', sizeof(path));
    ASSERT_EQ(ComposeDiscSetupPath(path, sizeof(path), 'D'), 1);
    EXPECT_STREQ(path, "D:\\Nor-vikライブラリー3\\Setup.exe");
    // 33 bytes in code page 932: it always fits the 260-byte path of the run.
    EXPECT_EQ(std::strlen(path), 33u);
    EXPECT_EQ(std::strlen(kDiscFolder), 21u);

    ASSERT_EQ(ComposeDiscSetupPath(path, sizeof(path), 'E'), 1);
    EXPECT_EQ(path[0], 'E');
}

TEST(DiscSetupPath, RefusesTooSmallAnArray)
{
    char path[34];
    ASSERT_EQ(ComposeDiscSetupPath(path, sizeof(path), 'D'), 1) << "33 bytes and the terminator fit";
    std::memset(path, 'x', sizeof(path));
    EXPECT_EQ(ComposeDiscSetupPath(path, 33, 'D'), 0);
    EXPECT_EQ(path[0], 'x') << "untouched when it does not fit";
    EXPECT_EQ(ComposeDiscSetupPath(nullptr, 260, 'D'), 0);
}

// --- Where the shortcuts are looked for --------------------------------------------------

// A fake shell: folders by ID, the files that exist, and the order of the lookups.
struct FakeShell {
    std::map<int, std::string> folders;
    std::set<std::string> files;
    std::vector<int> lookups;
};
FakeShell* g_shell = nullptr;

long FakeLookup(char* folder, int id)
{
    g_shell->lookups.push_back(id);
    auto it = g_shell->folders.find(id);
    const std::string path = it == g_shell->folders.end() ? "" : it->second;
    std::memcpy(folder, path.c_str(), path.size() + 1);
    return 0;
}

int FakeIsFile(const char* path)
{
    return g_shell->files.count(path) ? 1 : 0;
}

class ShortcutSearch : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_shell = &shell;
        shell.folders = { { 25, "C:\\Users\\Public\\Desktop" }, { 16, "C:\\Users\\u\\Desktop" },
                          { 23, "C:\\ProgramData\\Programs" }, { 2, "C:\\Users\\u\\Programs" } };
        std::memset(found, 'x', sizeof(found));
    }
    void TearDown() override { g_shell = nullptr; }

    int Find(const ShortcutLocation& location) { return FindShortcut(location, found, &FakeLookup, &FakeIsFile); }

    FakeShell shell;
    char found[1024];
};

TEST_F(ShortcutSearch, TakesTheAllUsersCopyFirst)
{
    shell.files = { "C:\\Users\\Public\\Desktop\\Nor-vik ﾗｲﾌﾞﾗﾘｰ.lnk", "C:\\Users\\u\\Desktop\\Nor-vik ﾗｲﾌﾞﾗﾘｰ.lnk" };
    ASSERT_EQ(Find(kDesktopShortcut), 1);
    EXPECT_STREQ(found, "C:\\Users\\Public\\Desktop\\Nor-vik ﾗｲﾌﾞﾗﾘｰ.lnk");
    EXPECT_EQ(shell.lookups, std::vector<int>({ 25 })) << "the user's folder is not looked at";
}

TEST_F(ShortcutSearch, FallsBackToTheUsersFolder)
{
    shell.files = { "C:\\Users\\u\\Programs\\TALMO Nor-vikライブラリー\\Nor-vikライブラリー.lnk" };
    ASSERT_EQ(Find(kProgramsShortcut), 1);
    EXPECT_STREQ(found, "C:\\Users\\u\\Programs\\TALMO Nor-vikライブラリー\\Nor-vikライブラリー.lnk");
    EXPECT_EQ(shell.lookups, std::vector<int>({ 23, 2 }));
}

TEST_F(ShortcutSearch, AFolderTheShellCannotResolveIsSkipped)
{
    shell.folders.erase(25);
    shell.files = { "C:\\Users\\u\\Desktop\\Nor-vik ﾗｲﾌﾞﾗﾘｰ.lnk" };
    ASSERT_EQ(Find(kDesktopShortcut), 1);
    EXPECT_STREQ(found, "C:\\Users\\u\\Desktop\\Nor-vik ﾗｲﾌﾞﾗﾘｰ.lnk");

    // Without the second folder the shortcut counts as absent, even if a file of that
    // name lies where an empty folder path would put it.
    shell.folders.erase(16);
    shell.files = { "\\Nor-vik ﾗｲﾌﾞﾗﾘｰ.lnk" };
    std::memset(found, 'x', sizeof(found));
    EXPECT_EQ(Find(kDesktopShortcut), 0);
    EXPECT_EQ(found[0], 'x') << "untouched when not found";
}

TEST_F(ShortcutSearch, NotFoundLeavesTheDestinationAlone)
{
    EXPECT_EQ(Find(kDesktopShortcut), 0);
    EXPECT_EQ(found[0], 'x');
    EXPECT_EQ(FindShortcut(kDesktopShortcut, nullptr, &FakeLookup, &FakeIsFile), 0);
}

TEST_F(ShortcutSearch, TheTwoNamesDiffer)
{
    // The desktop name has a space and half-width katakana, the start-menu one neither.
    EXPECT_STREQ(kDesktopShortcut.pszText, "\\Nor-vik ﾗｲﾌﾞﾗﾘｰ.lnk");
    EXPECT_EQ(std::strlen(kDesktopShortcut.pszText), 20u);
    EXPECT_EQ(std::strlen(kProgramsShortcut.pszText), 50u);
    EXPECT_EQ(kDesktopShortcut.nFirstFolder, 25);
    EXPECT_EQ(kDesktopShortcut.nSecondFolder, 16);
    EXPECT_EQ(kProgramsShortcut.nFirstFolder, 23);
    EXPECT_EQ(kProgramsShortcut.nSecondFolder, 2);
}

TEST_F(ShortcutSearch, AnOverlongFolderCountsAsAbsent)
{
    // A folder path that leaves no room for the name must not overrun the path array.
    shell.folders[25] = std::string(1020, 'a');
    shell.files = { "C:\\Users\\u\\Desktop\\Nor-vik ﾗｲﾌﾞﾗﾘｰ.lnk" };
    ASSERT_EQ(Find(kDesktopShortcut), 1);
    EXPECT_STREQ(found, "C:\\Users\\u\\Desktop\\Nor-vik ﾗｲﾌﾞﾗﾘｰ.lnk");
}

}  // namespace
