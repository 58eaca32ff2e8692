// Classes: CInstallToolApp
//
// The application object: one copy at a time, the wizard as its only main window, and the
// version box on F5 wherever the focus is.
#ifndef INSTALL_TOOL_APP_H
#define INSTALL_TOOL_APP_H

#include "afxwin.h"

class CInstallToolApp : public CWinApp {
public:
    // Always FALSE: the program ends when the wizard does.
    BOOL InitInstance() override;
    // FALSE after showing the version box; otherwise the framework's answer.
    BOOL PreTranslateMessage(MSG* pMsg) override;
    // The program has no help.
    void WinHelp(DWORD_PTR dwData, UINT nCmd = HELP_CONTEXT) override;

    DECLARE_MESSAGE_MAP()

private:
    BOOL m_bAboutOpen = FALSE;
};

#endif
