// An operating system older than Vista: only a message box, then the process ends with 0.
// Wine reports another Windows version per program through its AppDefaults key.
#include <vector>

#include "E2e.h"

using namespace driver;
using namespace expected;
using namespace machine;
using namespace scenario;

namespace {

std::string ExeFileName()
{
    const std::string path = ToolExePath();
    return path.substr(path.find_last_of("\\/") + 1);
}

// Share of the pixels of an icon static on screen that equal the standard icon drawn over
// the same background. The box's icon handle belongs to the other process, so its picture
// is compared, not its handle.
double IconLikeness(HWND iconStatic, LPCSTR standardIcon)
{
    const int size = ::GetSystemMetrics(SM_CXICON);
    RECT rc;
    ::GetWindowRect(iconStatic, &rc);
    HDC screen = ::GetDC(nullptr);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = size;
    bi.bmiHeader.biHeight = -size;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* shotBits = nullptr;
    void* drawnBits = nullptr;
    HDC shotDc = ::CreateCompatibleDC(screen);
    HDC drawnDc = ::CreateCompatibleDC(screen);
    HBITMAP shot = ::CreateDIBSection(shotDc, &bi, DIB_RGB_COLORS, &shotBits, nullptr, 0);
    HBITMAP drawn = ::CreateDIBSection(drawnDc, &bi, DIB_RGB_COLORS, &drawnBits, nullptr, 0);
    HGDIOBJ oldShot = ::SelectObject(shotDc, shot);
    HGDIOBJ oldDrawn = ::SelectObject(drawnDc, drawn);
    ::BitBlt(shotDc, 0, 0, size, size, screen, rc.left, rc.top, SRCCOPY);

    RECT all = { 0, 0, size, size };
    HBRUSH background = ::CreateSolidBrush(::GetPixel(shotDc, 0, 0));
    ::FillRect(drawnDc, &all, background);
    ::DrawIconEx(drawnDc, 0, 0, ::LoadIconA(nullptr, standardIcon), size, size, 0, nullptr, DI_NORMAL);
    ::GdiFlush();
    int same = 0;
    for (int i = 0; i < size * size; ++i)
        same += static_cast<const DWORD*>(shotBits)[i] == static_cast<const DWORD*>(drawnBits)[i];

    ::SelectObject(shotDc, oldShot);
    ::SelectObject(drawnDc, oldDrawn);
    ::DeleteObject(background);
    ::DeleteObject(shot);
    ::DeleteObject(drawn);
    ::DeleteDC(shotDc);
    ::DeleteDC(drawnDc);
    ::ReleaseDC(nullptr, screen);
    return static_cast<double>(same) / (size * size);
}

std::string ClassOf(HWND h)
{
    char name[64] = {};
    ::GetClassNameA(h, name, sizeof(name));
    return name;
}

TEST(UnsupportedSystem, OnlyAMessageBoxThenExitCodeZero)
{
    const char* const versions[] = { "winxp64", "winxp", "win2k" };
    for (const char* version : versions) {
        SCOPED_TRACE(version);
        RegistryValueGuard guard(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\" + ExeFileName(), "Version");
        guard.SetString(version);
        Session run;
        ASSERT_TRUE(run.Tool().Start());
        HWND box = run.Tool().WaitForWindow(kMessageBoxCaption, Seconds(10));
        ASSERT_NE(box, nullptr) << "no message box";
        EXPECT_EQ(ClassOf(box), "#32770");
        EXPECT_EQ(run.Tool().WaitForWizard(0), nullptr) << "a wizard is visible";
        for (HWND h : TopLevelWindows(run.Tool().Pid())) {
            if (h != box && ::IsWindowVisible(h))
                ADD_FAILURE() << "another visible window: \"" << WindowText(h) << "\"";
        }

        std::vector<HWND> buttons, texts, icons;
        for (HWND c = ::GetWindow(box, GW_CHILD); c != nullptr; c = ::GetWindow(c, GW_HWNDNEXT)) {
            if (!::IsWindowVisible(c))
                continue;
            const LONG style = ::GetWindowLongA(c, GWL_STYLE);
            if (ClassOf(c) == "Button")
                buttons.push_back(c);
            else if (ClassOf(c) == "Static" && (style & SS_TYPEMASK) == SS_ICON)
                icons.push_back(c);
            else if (ClassOf(c) == "Static" && !WindowText(c).empty())
                texts.push_back(c);
        }
        ASSERT_EQ(texts.size(), 1u) << "text statics";
        EXPECT_EQ(WindowText(texts[0]), kUnsupportedText);
        ASSERT_EQ(buttons.size(), 1u) << "buttons";
        EXPECT_EQ(::GetDlgCtrlID(buttons[0]), IDOK);
        EXPECT_EQ(WindowText(buttons[0]), "OK");
        ASSERT_EQ(icons.size(), 1u) << "icon statics";
        // The exclamation icon, told apart from the other standard icons by its picture.
        WaitFor([&] { return IconLikeness(icons[0], IDI_EXCLAMATION) > 0.95; }, Seconds(2));
        const double exclamation = IconLikeness(icons[0], IDI_EXCLAMATION);
        EXPECT_GT(exclamation, 0.95) << "likeness to the exclamation icon";
        for (LPCSTR other : { IDI_HAND, IDI_ASTERISK, IDI_QUESTION, IDI_APPLICATION })
            EXPECT_GT(exclamation, IconLikeness(icons[0], other)) << "standard icon " << reinterpret_cast<ULONG_PTR>(other);

        Click(box, IDOK);
        DWORD code = 1234;
        ASSERT_TRUE(run.Tool().WaitForExit(Seconds(5), &code)) << "still running after OK";
        EXPECT_EQ(code, 0u) << "exit code";
    }
}

// The same key with a supported version: proves that the versions above are what made the
// difference.
TEST(UnsupportedSystem, VistaStillGetsTheWizard)
{
    RegistryValueGuard guard(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\" + ExeFileName(), "Version");
    guard.SetString("vista");
    Session run;
    ASSERT_FINE(run.Open(kWelcome));
    EXPECT_TRUE(TopLevelWindows(run.Tool().Pid(), kMessageBoxCaption).empty());
}

}  // namespace
