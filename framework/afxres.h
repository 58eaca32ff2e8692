// Command and control IDs that the framework reserves, usable from resource scripts too.
//
// Macros: IDC_STATIC, ID_HELP.
#ifndef AFXRES_H
#define AFXRES_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// The help command: F1 ends up here and is routed to CWinApp::OnHelp.
#define ID_HELP 0xE146

#endif
