// The program as a whole: one copy at a time, its exit code, and how its window looks from
// outside.
#include <cstdio>
#include <memory>

#include "E2e.h"

using namespace driver;
using namespace expected;
using namespace machine;
using namespace scenario;

namespace {

// Whatever holds the single-instance mutex's name, a copy started then opens nothing and
// ends; a running copy's wizard comes to the front.
TEST(SingleInstance, SecondCopyOpensNothingAndBringsTheFirstToTheFront)
{
    enum Holder { RunningCopy, DeniedMutex };
    const struct {
        const char* name;
        Holder holder;
    } cases[] = {
        { "a running copy", RunningCopy },
        // exists, only we may not open it: it counts as existing
        { "another program's mutex that denies us", DeniedMutex },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<Session> run;
        std::unique_ptr<NameSquatter> squatter;
        if (c.holder == RunningCopy) {
            run.reset(new Session);
            ASSERT_FINE(run->Open(kInsertDisc));
            EXPECT_TRUE(MutexExists(kSingleInstanceMutex));
        } else {
            squatter.reset(new NameSquatter(NameSquatter::DeniedMutex, kSingleInstanceMutex));
            ASSERT_TRUE(squatter->Held());
            ASSERT_TRUE(squatter->DeniesOthers()) << "the mutex's access list is not enforced here";
        }

        ForegroundDecoy decoy;
        ASSERT_TRUE(decoy.TakeForeground());

        ToolProcess second;
        ASSERT_TRUE(second.Start());
        std::string shown;
        DWORD code = 1234;
        const bool ended = WaitFor([&] {
            for (HWND h : TopLevelWindows(second.Pid())) {
                const std::string seen = "\"" + WindowText(h) + "\" ";
                if (::IsWindowVisible(h) && shown.find(seen) == std::string::npos)
                    shown += seen;
            }
            return second.WaitForExit(0, &code);
        }, Seconds(10));
        ASSERT_TRUE(ended) << "the second copy still runs; shown: " << shown;
        EXPECT_EQ(shown, "") << "windows of the second copy";
        EXPECT_EQ(code, 0u) << "exit code of the second copy";
        if (c.holder != RunningCopy)
            continue;

        EXPECT_TRUE(WaitForForeground(run->Wizard())) << "foreground is " << ::GetForegroundWindow();
        EXPECT_FINE(run->Wizard().Shows(kInsertDisc)) << "the first copy's step";
        EXPECT_TRUE(MutexExists(kMenuExitMutex)) << "the first copy's mutex";
        EXPECT_EQ(TopLevelWindows(run->Tool().Pid(), kWizardCaption).size(), 1u);
    }
}

// End on the other steps is covered where those steps are tested.
TEST(Exit, EndEndsTheProcessWithCodeZeroAndItsMutexesGo)
{
    Session run;
    ASSERT_FINE(run.Open(kInsertDisc));
    DWORD code = 1234;
    ASSERT_FINE(run.EndAndExit(&code));
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(MutexExists(kSingleInstanceMutex));
    EXPECT_FALSE(MutexExists(kMenuExitMutex));
}

TEST(WindowLook, FrameWithoutSystemMenuCentredInTheWorkArea)
{
    Session run;
    ASSERT_FINE(run.Open(kWelcome));
    WizardPage wizard = run.Wizard();

    const LONG_PTR style = ::GetWindowLongPtrA(wizard, GWL_STYLE);
    const LONG_PTR exStyle = ::GetWindowLongPtrA(wizard, GWL_EXSTYLE);
    EXPECT_EQ(style & WS_SYSMENU, 0) << std::hex << "style 0x" << style;
    EXPECT_EQ(style & WS_MINIMIZEBOX, 0) << std::hex << "style 0x" << style;
    EXPECT_EQ(style & WS_MAXIMIZEBOX, 0) << std::hex << "style 0x" << style;
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION) << std::hex << "style 0x" << style;
    EXPECT_EQ(style & WS_POPUP, WS_POPUP) << std::hex << "style 0x" << style;
    EXPECT_EQ(exStyle & WS_EX_APPWINDOW, WS_EX_APPWINDOW) << std::hex << "extended style 0x" << exStyle;
    EXPECT_EQ(::GetWindow(wizard, GW_OWNER), nullptr) << "the wizard has no owner";

    RECT work, rc;
    ASSERT_TRUE(::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    ASSERT_TRUE(::GetWindowRect(wizard, &rc));
    EXPECT_NEAR((rc.left + rc.right) / 2, (work.left + work.right) / 2, 2) << "horizontal centre";
    EXPECT_NEAR((rc.top + rc.bottom) / 2, (work.top + work.bottom) / 2, 2) << "vertical centre";

    // The icons the wizard set on itself. Wine answers WM_GETICON sent from another process
    // with NULL even for windows that have an icon, so only Windows can show this.
    DWORD_PTR big = 0, small = 0;
    ::SendMessageTimeoutA(wizard, WM_GETICON, ICON_BIG, 0, SMTO_ABORTIFHUNG, Seconds(2), &big);
    ::SendMessageTimeoutA(wizard, WM_GETICON, ICON_SMALL, 0, SMTO_ABORTIFHUNG, Seconds(2), &small);
    if (IsWine() && big == 0 && small == 0) {
        std::printf("note: WM_GETICON across processes is not answered under Wine; icons not checked\n");
    } else {
        EXPECT_NE(big, 0u) << "ICON_BIG";
        EXPECT_NE(small, 0u) << "ICON_SMALL";
    }
}

}  // namespace
