// What the wizard must show, written out once for the tests and the benchmark, which watch
// it from outside. Kept apart from the program's own table on purpose, so that a wrong text
// in the program cannot pass for the expected one.
#ifndef EXPECTED_TEXTS_H
#define EXPECTED_TEXTS_H

namespace expected {

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
inline constexpr char kMenuExitMutex[] = "TALMO_NorvikLib_MENU_EXIT";
inline constexpr char kLibraryMissingText[] =
    "64bit版対応のNor-vikライブラリーがインストールされていません。\n"
    "64bit版対応のNor-vikライブラリーをインストールしてから再度実行してください。";
inline constexpr char kFatalErrorText[] = "致命的なエラーが発生しました。\nPCを再起動して、再度試してください。";

}  // namespace expected

#endif
