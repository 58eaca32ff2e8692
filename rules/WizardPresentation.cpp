// What each step of the wizard shows.
#include "rules/WizardPresentation.h"

const char kBackCaption[] = "戻る";
const char kNextCaption[] = "次へ";
const char kEndCaption[] = "終了";
const char kAbortCaption[] = "中止";
const char kWizardCaption[] = "Brelquin";
const char kUnsupportedSystemText[] = "お使いのOSでは使用できません。";

namespace {

const char kLibraryMissingText[] =
    "64bit版対応のNor-vikライブラリーがインストールされていません。\n"
    "64bit版対応のNor-vikライブラリーをインストールしてから再度実行してください。";
const char kWelcomeText[] =
    "CD-ROM版追加コンテンツを Windows Vista/Windows 7 の64bit版で\n"
    "使えるようにします。";
const char kSearchingDiscText[] = "追加コンテンツのCD-ROMを検索中です。";
const char kDiscNotFoundText[] =
    "追加コンテンツのCD-ROMが見つかりませんでした。\n"
    "戻るを押してCD-ROMが対象のものか確認の上再度挿入してください。";
const char kReadyToInstallText[] = "インストールを行います。画面の指示に従って操作を行ってください。";
const char kInstallFailedText[] =
    "追加コンテンツのインストールに失敗しました。\n"
    "再度初めから試してください。";
const char kFollowInstallerText[] = "画面の指示に従って操作を行ってください。";
const char kFatalErrorText[] =
    "致命的なエラーが発生しました。\n"
    "PCを再起動して、再度試してください。";
const char kInsertDiscText[] =
    "追加コンテンツのCD-ROMをCD-ROMドライブへセットしてください。\n"
    "\n"
    "【注意】\n"
    "　・「自動再生」画面が表示された場合は、画面右上の×をクリックして閉じてください。\n"
    "　・メニューが起動する場合はメニューを終了してください。\n"
    "　・CD-ROMをセットして起動されたインストーラーは一度キャンセルしてください。\n"
    "\n"
    "セットが終わりましたら、次へを押してください。";

// Back always reads "戻る" and Next "次へ"; the radio button is hidden on every step.
const WizardPresentation kTable[] = {
    //  step             main text               shown  intro text     shown  back   next   end caption    end   focus
    { LibraryMissing,  kLibraryMissingText,  true,  "",            false, false, false, kEndCaption,   true, FocusEnd },
    { Welcome,         "",                   false, kWelcomeText,  true,  false, true,  kEndCaption,   true, FocusNext },
    { InsertDisc,      kInsertDiscText,      true,  "",            false, true,  true,  kEndCaption,   true, FocusNext },
    { SearchingDisc,   kSearchingDiscText,   true,  "",            false, false, false, kAbortCaption, true, FocusDialog },
    { DiscNotFound,    kDiscNotFoundText,    true,  "",            false, true,  false, kEndCaption,   true, FocusBack },
    { ReadyToInstall,  kReadyToInstallText,  true,  "",            false, true,  true,  kEndCaption,   true, FocusNext },
    { InstallFailed,   kInstallFailedText,   true,  "",            false, false, false, kEndCaption,   true, FocusEnd },
    { FollowInstaller, kFollowInstallerText, true,  "",            false, false, false, kEndCaption,   true, FocusEnd },
    { FatalError,      kFatalErrorText,      true,  "",            false, false, false, kEndCaption,   true, FocusEnd },
};

}  // namespace

const WizardPresentation* FindWizardPresentation(int nState)
{
    for (const WizardPresentation& row : kTable) {
        if (row.nState == nState)
            return &row;
    }
    return nullptr;
}

const WizardPresentation* WizardPresentationTable(int* pnRows)
{
    if (pnRows != nullptr)
        *pnRows = static_cast<int>(sizeof(kTable) / sizeof(kTable[0]));
    return kTable;
}
