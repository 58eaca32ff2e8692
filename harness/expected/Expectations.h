// What the program must show and what it looks for, written out once for the tests, the demo
// and the benchmark, which all watch it from outside: the texts of its steps, its captions,
// the IDs of its controls and messages, the names of its mutexes, and the names of what it
// finds on the machine. The texts are spelled here apart from the program's own tables on
// purpose, so that a wrong text in the program cannot pass for the expected one. The control
// IDs are the ones the program is built with (resources/resource.h); the resource tests pin
// those to their numbers.
//
// Constants only: the steps' texts, captions, control and message IDs, names.
#ifndef EXPECTATIONS_H
#define EXPECTATIONS_H

#include <windows.h>

#include "resources/resource.h"

namespace expected {

// ---------------------------------------------------------------------------------------
// The wizard's steps

inline constexpr char kWelcomeText[] =
    "CD-ROM版追加コンテンツを Windows Vista/Windows 7 の64bit版で\n使えるようにします。";
inline constexpr char kInsertDiscText[] =
    "追加コンテンツのCD-ROMをCD-ROMドライブへセットしてください。\n"
    "\n"
    "【注意】\n"
    "　・「自動再生」画面が表示された場合は、画面右上の×をクリックして閉じてください。\n"
    "　・メニューが起動する場合はメニューを終了してください。\n"
    "　・CD-ROMをセットして起動されたインストーラーは一度キャンセルしてください。\n"
    "\n"
    "セットが終わりましたら、次へを押してください。";
inline constexpr char kSearchingDiscText[] = "追加コンテンツのCD-ROMを検索中です。";
inline constexpr char kDiscNotFoundText[] =
    "追加コンテンツのCD-ROMが見つかりませんでした。\n"
    "戻るを押してCD-ROMが対象のものか確認の上再度挿入してください。";
inline constexpr char kReadyToInstallText[] = "インストールを行います。画面の指示に従って操作を行ってください。";
inline constexpr char kFollowInstallerText[] = "画面の指示に従って操作を行ってください。";
inline constexpr char kInstallFailedText[] =
    "追加コンテンツのインストールに失敗しました。\n"
    "再度初めから試してください。";
inline constexpr char kLibraryMissingText[] =
    "64bit版対応のNor-vikライブラリーがインストールされていません。\n"
    "64bit版対応のNor-vikライブラリーをインストールしてから再度実行してください。";
inline constexpr char kFatalErrorText[] = "致命的なエラーが発生しました。\nPCを再起動して、再度試してください。";

// ---------------------------------------------------------------------------------------
// Captions and the other windows

inline constexpr char kProductName[] = "Brelquin";
// The wizard's title: a second copy finds the first by it.
inline constexpr const char* kWizardCaption = kProductName;
inline constexpr char kBackCaption[] = "戻る";
inline constexpr char kNextCaption[] = "次へ";
inline constexpr char kEndCaption[] = "終了";
inline constexpr char kAbortCaption[] = "中止";  // End while the disc search runs

inline constexpr char kVersionBoxCaption[] = "バージョン情報";
// The version box's lines, which the version record repeats.
inline constexpr char kVersionBoxProductLine[] = "Brelquin Version 1.00";
inline constexpr char kCompanyName[] = "Talmo Software";
inline constexpr char kCopyright[] = "Copyright (C) 2026 Talmo Software";
inline constexpr char kFileDescription[] = "Brelquin for Windows";
inline constexpr char kProgramFileName[] = "Norvik_InstallTool64.exe";

// The message box on a system older than Vista.
inline constexpr char kMessageBoxCaption[] = "Norvik_InstallTool64";
inline constexpr char kUnsupportedText[] = "お使いのOSでは使用できません。";

// The wizard template's own texts, which the program replaces before anything shows.
inline constexpr char kRadioPlaceholder[] = "Radio1";
inline constexpr char kBackPlaceholder[] = "Before";
inline constexpr char kNextPlaceholder[] = "Next";
inline constexpr char kEndPlaceholder[] = "End";
inline constexpr char kMainPlaceholder[] = "Static1";
inline constexpr char kIntroPlaceholder[] = "Static2";
inline constexpr const char* kPlaceholders[] = { kRadioPlaceholder, kBackPlaceholder, kNextPlaceholder,
                                                 kEndPlaceholder,   kMainPlaceholder, kIntroPlaceholder };

// ---------------------------------------------------------------------------------------
// Controls and messages

// The wizard's controls. The radio button is never shown: the program keeps it hidden.
inline constexpr int kRadio = IDC_RADIO1, kMain = IDC_STATIC_MAIN, kIntro = IDC_STATIC_INTRO,
                     kBack = IDC_BUTTON_BACK, kNext = IDOK, kEnd = IDCANCEL;
// The private messages: a worker's results, and the status another program may send.
inline constexpr UINT kDiscSearchDone = WM_APP + 100, kInstallDone = WM_APP + 101,
                      kExternalStatus = WM_APP + 102;

// ---------------------------------------------------------------------------------------
// Mutexes

inline constexpr char kSingleInstanceMutex[] = "Norvik_InstallTool64Unique";
// Held from Next on the welcome step until an installation reports.
inline constexpr char kMenuExitMutex[] = "TALMO_NorvikLib_MENU_EXIT";

// ---------------------------------------------------------------------------------------
// What the program looks for on the machine

// The library's registration (value "Path": its folder), in the view of the program's bitness.
inline constexpr char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Norvik3.exe";
inline constexpr char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";  // CommonFilesDir
inline constexpr char kLibraryExeName[] = "Norvik3.exe";
inline constexpr char kLibraryConfigName[] = "Norvik3.cfg";
// Below the 64-bit Common Files folder.
inline constexpr char kDriverFolderName[] = "TALMO";
inline constexpr char kDriverFileName[] = "wopx64.sys";

// The add-on's setup program: <drive>:\<folder>\Setup.exe on a CD-ROM drive.
inline constexpr char kDiscFolder[] = "Nor-vikライブラリー3";
inline constexpr char kSetupFileName[] = "Setup.exe";

// The shortcuts the setup program leaves: one on a desktop, one in a start-menu folder.
inline constexpr char kDesktopShortcutName[] = "Nor-vik ﾗｲﾌﾞﾗﾘｰ.lnk";
inline constexpr char kProgramsFolderName[] = "TALMO Nor-vikライブラリー";
inline constexpr char kProgramsShortcutName[] = "Nor-vikライブラリー.lnk";

}  // namespace expected

#endif
