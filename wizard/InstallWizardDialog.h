// Classes: CInstallWizardDialog
//
// The program's one working window: a modal dialog that shows one step of the add-on
// installation at a time. The step changes only on the user-interface thread, in answer to
// Back, Next and End and to three private messages, each handler carrying out its row of the
// flow table (rules/WizardFlow.h); after every change ShowState applies the fixed
// presentation table to the controls. Two worker threads, started by Next, search
// the CD-ROM drives and run the setup program; they report by posting a message.
#ifndef INSTALL_WIZARD_DIALOG_H
#define INSTALL_WIZARD_DIALOG_H

#include "afxwin.h"
#include "resources/resource.h"
#include "rules/WizardFlow.h"
#include "rules/WizardPresentation.h"
#include "wizard/WizardRun.h"

class CInstallWizardDialog : public CDialog {
public:
    explicit CInstallWizardDialog(CWnd* pParent = nullptr);
    ~CInstallWizardDialog() override;

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    BOOL OnInitDialog() override;

    DECLARE_MESSAGE_MAP()

    // Flags and path shared with the workers; see CWizardRun for why this is safe. Made by
    // OnInitDialog; a derived dialog (the tests' in-process wizard) may set the run's calls
    // after it.
    CWizardRun* m_pRun = nullptr;

private:
    // Presents nState from the table. FALSE, with nothing changed, for a step without a row.
    BOOL ShowState(int nState);
    // Releases the menu-exit mutex and forgets the run's path and flags. Always TRUE.
    BOOL ResetRunState();
    // Starts the disc search worker with an empty path. FALSE when no search is running.
    BOOL StartDiscSearch();
    // Starts the installer worker for the path the search found. FALSE when it is not running.
    BOOL StartInstaller();

    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;      // Next
    void OnCancel() override;  // End

    afx_msg void OnPaint();
    afx_msg void OnDestroy();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnBack();
    afx_msg void OnRadio1();
    afx_msg LRESULT OnDiscSearchDone(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnInstallDone(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnExternalStatus(WPARAM wParam, LPARAM lParam);

    void Carry(WizardEvent event);
    void GoTo(int nState);
    BOOL CreateMenuExitMutex();
    void ReleaseMenuExitMutex();
    void EndWizard();

    CButton m_btnBack;
    CStatic m_stcIntro;
    CStatic m_stcMain;
    CButton m_btnNext;
    CButton m_btnEnd;
    CString m_strMain;
    CString m_strIntro;
    HICON m_hIcon;
    int m_nState = Welcome;
    HANDLE m_hMenuExitMutex = nullptr;
};

#endif
