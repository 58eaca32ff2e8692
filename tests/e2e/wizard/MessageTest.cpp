// The three private messages from any sender, whatever their parameters (that they act on
// every step alike is the flow table's unit test).
#include <cstdint>
#include <random>
#include <vector>

#include "E2e.h"

using namespace driver;
using namespace expected;
using namespace scenario;

namespace {

// A model of the messages' effect: the step that should show after message/wParam on step.
const StepRow* Expected(const StepRow* step, UINT message, WPARAM wParam)
{
    switch (message) {
    case kDiscSearchDone: return wParam != 0 ? &kReadyToInstall : &kDiscNotFound;
    case kInstallDone: return &kInstallFailed;  // only wParam 0 is posted before the end
    case kExternalStatus: return wParam != 0 ? &kFollowInstaller : step;  // 0: nothing changes
    default: return step;  // neighbours of the private messages, and foreign lifecycle
                           // messages (WM_INITDIALOG, WM_DESTROY, WM_NCDESTROY), mean nothing
                           // to the wizard
    }
}

// A message as another program gives it to the wizard: posted, or sent and waited for.
struct Foreign {
    UINT message;
    bool sent;
};

TEST(PrivateMessages, RandomParametersNeverCrashTheWizardAndLParamIsIgnored)
{
    const unsigned seed = 20240611;
    std::mt19937_64 random(seed);
    // Nonzero values keep a nonzero low half, so that a 32-bit build of the program reads
    // them as nonzero too.
    auto nonzero = [&] {
        const uint64_t low = (random() & 0xFFFFFFFFu) | 1u;
        return static_cast<WPARAM>((random() & ~uint64_t{ 0xFFFFFFFF }) | low);
    };
    const WPARAM edges[] = { 1, 2, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, static_cast<WPARAM>(-1) };
    // WM_INITDIALOG, from another program, carries an lParam that means nothing here; its
    // WM_DESTROY and WM_NCDESTROY do not end a window that lives.
    const Foreign messages[] = {
        { kDiscSearchDone, false }, { kInstallDone, false }, { kExternalStatus, false },
        { WM_APP + 99, false }, { WM_APP + 103, false },
        { WM_INITDIALOG, false },
        { WM_DESTROY, false }, { WM_DESTROY, true }, { WM_NCDESTROY, false }, { WM_NCDESTROY, true },
    };
    const size_t nMessages = sizeof(messages) / sizeof(messages[0]);
    std::vector<int> uses(nMessages, 0);

    Session run;
    ASSERT_FINE(run.Open(kInsertDisc));
    WizardPage wizard = run.Wizard();
    const StepRow* step = &kInsertDisc;
    for (int i = 0; i < 60; ++i) {
        const size_t pick = random() % nMessages;
        ++uses[pick];
        const UINT message = messages[pick].message;
        WPARAM wParam = i < 6 ? edges[i] : (random() % 3 == 0 ? 0 : nonzero());
        if (message == kInstallDone)
            wParam = 0;  // anything else ends the wizard, tried last
        const LPARAM lParam = static_cast<LPARAM>(random());
        SCOPED_TRACE(testing::Message() << "seed " << seed << " round " << i << " on " << step->name
                                        << ": message 0x" << std::hex << message << (messages[pick].sent ? " sent" : " posted")
                                        << " wParam 0x" << static_cast<uint64_t>(wParam) << " lParam 0x"
                                        << static_cast<uint64_t>(lParam));
        if (messages[pick].sent) {
            DWORD_PTR result = 0;
            ASSERT_TRUE(::SendMessageTimeoutA(wizard, message, wParam, lParam, SMTO_ABORTIFHUNG, Seconds(5), &result))
                << "the wizard did not answer";
        } else {
            wizard.Post(message, wParam, lParam);
        }
        ASSERT_FINE(wizard.Settle()) << "the wizard stopped answering";
        step = Expected(step, message, wParam);
        ASSERT_FINE(wizard.StillShows(*step));
        ASSERT_TRUE(Responds(wizard));
    }
    for (size_t k = 0; k < nMessages; ++k)
        EXPECT_GT(uses[k], 0) << "message 0x" << std::hex << messages[k].message << " never tried; pick another seed";

    // After all of that the wizard still works: a search starts and reports, End closes.
    wizard.Post(kDiscSearchDone, 0);
    ASSERT_FINE(wizard.Shows(kDiscNotFound));
    Click(wizard, kBack);
    ASSERT_FINE(wizard.Shows(kInsertDisc));
    Click(wizard, kNext);
    ASSERT_FINE(wizard.Shows(kSearchingDisc)) << "no search started";
    Click(wizard, kEnd);  // Abort: the search stops and reports
    ASSERT_FINE(wizard.Shows(kDiscNotFound)) << "the stopped search did not report";
    ASSERT_TRUE(Responds(wizard));
    wizard.Post(kInstallDone, nonzero(), static_cast<LPARAM>(random()));
    DWORD code = 1234;
    EXPECT_TRUE(run.Tool().WaitForExit(Seconds(5), &code)) << "install done with nonzero wParam";
    EXPECT_EQ(code, 0u);
}

}  // namespace
