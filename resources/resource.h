// Resource IDs shared by InstallTool.rc and the C++ code that loads the templates.
//
// Macros: the IDs of the templates, the icon and the controls.
#ifndef INSTALLTOOL_RESOURCE_H
#define INSTALLTOOL_RESOURCE_H

#define IDD_ABOUTBOX            100
#define IDD_INSTALLTOOL_DIALOG  102
#define IDR_MAINFRAME           128

#define IDC_RADIO1              1001
#define IDC_STATIC_MAIN         1004
#define IDC_STATIC_INTRO        1006
#define IDC_BUTTON_BACK         1007

// The framework's afxres.h has the same guard, so either may come first.
#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif

#endif
