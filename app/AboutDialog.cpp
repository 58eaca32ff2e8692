// The version box.
#include "app/AboutDialog.h"

#include "resources/resource.h"

extern const char kAboutCaption[];
const char kAboutCaption[] = "バージョン情報";

BEGIN_MESSAGE_MAP(CAboutDialog, CDialog)
END_MESSAGE_MAP()

CAboutDialog::CAboutDialog(CWnd* pParent) : CDialog(IDD_ABOUTBOX, pParent)
{
}

void CAboutDialog::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
}

BOOL CAboutDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetWindowText(kAboutCaption);
    return TRUE;
}
