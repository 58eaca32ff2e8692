// The least the tool's start-up can cost: the wizard's dialog template shown by the system's
// dialog manager, and nothing else. Built with the tool's toolchain and flags.
//
// BARE_WITH_TOOL_IMPORTS adds the tool's DLL imports (advapi32, shell32) without calling
// them. With those and the tool's manifest it is the benchmark's baseline (BaselineDialog):
// both are prescribed for the tool, so no tool can start with less.
#include <windows.h>
#ifdef BARE_WITH_TOOL_IMPORTS
#include <shlobj.h>
#endif

#include "resource.h"

namespace {

INT_PTR CALLBACK BareDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        ::EndDialog(hDlg, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
#ifdef BARE_WITH_TOOL_IMPORTS
    // Never true; it only keeps the imports, which the loader then maps at start.
    if (::GetCurrentProcessId() == 0) {
        ::SHGetMalloc(nullptr);
        ::RegCloseKey(nullptr);
    }
#endif
    return static_cast<int>(::DialogBoxParamA(hInstance, MAKEINTRESOURCEA(IDD_INSTALLTOOL_DIALOG), nullptr,
                                              BareDialogProc, 0));
}
