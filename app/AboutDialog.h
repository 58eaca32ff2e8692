// Classes: CAboutDialog
//
// The version box that F5 opens: product line, maker and OK, all from its template.
#ifndef ABOUT_DIALOG_H
#define ABOUT_DIALOG_H

#include "afxwin.h"

class CAboutDialog : public CDialog {
public:
    explicit CAboutDialog(CWnd* pParent = nullptr);

    DECLARE_MESSAGE_MAP()

private:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
};

#endif
