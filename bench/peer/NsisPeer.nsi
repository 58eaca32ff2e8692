; The peer a user might pick instead of the tool: the same job written for NSIS, as its
; author would write it with the stock plain interface (no Modern UI, which would only add
; to its start-up and size). scripts/bench measures it beside the tool.
;
;   makensis -INPUTCHARSET UTF8 -DTARGET=amd64-unicode|x86-unicode -DOUTFILE=path NsisPeer.nsi
;
; The job: refuse unless Vista or later on a 64-bit processor; without the library a page
; says so and Next stays off; a welcome page; a page asking for the disc; a search of every
; CD-ROM drive, 20 passes 500 ms apart, on a page of its own (a timer, so the window keeps
; painting); the disc's setup program, run and waited for; the library's two shortcuts
; deleted, from all users' folders or else the user's; then the window closes by itself.

Unicode true
Target ${TARGET}

!include LogicLib.nsh
!include WinVer.nsh
!include x64.nsh
!include nsDialogs.nsh

Name "Brelquin"
Caption "Brelquin"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
XPStyle on
BrandingText " "
ShowInstDetails nevershow
AutoCloseWindow true
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Japanese.nlf"

!define DISC_FOLDER "Nor-vikライブラリー3"
!define SETUP_NAME "Setup.exe"
!define PASSES 20
!define PASS_INTERVAL 500

Var Label
Var SetupPath
Var Pass

Page custom WelcomeShow
Page custom InsertDiscShow
Page custom SearchShow SearchLeave
Page instfiles

Function .onInit
  ${IfNot} ${AtLeastWinVista}
  ${OrIfNot} ${RunningX64}
    MessageBox MB_OK "お使いのOSでは使用できません。"
    Quit
  ${EndIf}
  SetRegView 64
FunctionEnd

; $0 = 1 when the library is installed: its folder from App Paths holds the program and its
; configuration, and the driver lies below the 64-bit Common Files.
Function LibraryInstalled
  StrCpy $0 0
  ReadRegStr $1 HKLM "SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Norvik3.exe" "Path"
  ${If} $1 != ""
  ${AndIf} ${FileExists} "$1\Norvik3.exe"
  ${AndIf} ${FileExists} "$1\Norvik3.cfg"
  ${AndIf} ${FileExists} "$COMMONFILES64\TALMO\wopx64.sys"
    StrCpy $0 1
  ${EndIf}
FunctionEnd

; A page of one text.
!macro TextPage TEXT
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 100% "${TEXT}"
  Pop $Label
!macroend

Function WelcomeShow
  Call LibraryInstalled
  ${If} $0 == 1
    !insertmacro TextPage "CD-ROM版追加コンテンツを Windows Vista/Windows 7 の64bit版で$\r$\n使えるようにします。"
  ${Else}
    !insertmacro TextPage "64bit版対応のNor-vikライブラリーがインストールされていません。$\r$\n64bit版対応のNor-vikライブラリーをインストールしてから再度実行してください。"
    GetDlgItem $1 $HWNDPARENT 1
    EnableWindow $1 0
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function InsertDiscShow
  !insertmacro TextPage "追加コンテンツのCD-ROMをCD-ROMドライブへセットしてください。$\r$\n$\r$\n【注意】$\r$\n　・「自動再生」画面が表示された場合は、画面右上の×をクリックして閉じてください。$\r$\n　・メニューが起動する場合はメニューを終了してください。$\r$\n　・CD-ROMをセットして起動されたインストーラーは一度キャンセルしてください。$\r$\n$\r$\nセットが終わりましたら、次へを押してください。"
  nsDialogs::Show
FunctionEnd

Function SearchShow
  !insertmacro TextPage "追加コンテンツのCD-ROMを検索中です。"
  GetDlgItem $1 $HWNDPARENT 1
  EnableWindow $1 0
  GetDlgItem $1 $HWNDPARENT 3
  EnableWindow $1 0
  StrCpy $Pass 0
  StrCpy $SetupPath ""
  ${NSD_CreateTimer} SearchPass 1
  nsDialogs::Show
FunctionEnd

; Only a found disc leads on; Back returns to the disc page.
Function SearchLeave
  ${If} $SetupPath == ""
    Abort
  ${EndIf}
FunctionEnd

; One pass over every CD-ROM drive; the next one 500 ms later, up to 20.
Function SearchPass
  ${NSD_KillTimer} SearchPass
  System::Alloc 2048
  Pop $2
  System::Call 'kernel32::GetLogicalDriveStrings(i 1024, p r2) i .r1'
  StrCpy $3 $2
  ${Do}
    System::Call 'kernel32::lstrlen(p r3) i .r4'
    ${IfThen} $4 == 0 ${|} ${ExitDo} ${|}
    System::Call '*$3(&t4 .r5)'
    System::Call 'kernel32::GetDriveType(p r3) i .r6'
    ${If} $6 == 5
    ${AndIf} ${FileExists} "$5${DISC_FOLDER}\${SETUP_NAME}"
      StrCpy $SetupPath "$5${DISC_FOLDER}\${SETUP_NAME}"
      ${ExitDo}
    ${EndIf}
    IntOp $4 $4 + 1
    IntOp $4 $4 * ${NSIS_CHAR_SIZE}
    IntPtrOp $3 $3 + $4
  ${Loop}
  System::Free $2
  IntOp $Pass $Pass + 1
  ${If} $SetupPath != ""
    GetDlgItem $1 $HWNDPARENT 1
    EnableWindow $1 1
    SendMessage $HWNDPARENT 0x408 1 0
  ${ElseIf} $Pass >= ${PASSES}
    ${NSD_SetText} $Label "追加コンテンツのCD-ROMが見つかりませんでした。$\r$\n戻るを押してCD-ROMが対象のものか確認の上再度挿入してください。"
    GetDlgItem $1 $HWNDPARENT 3
    EnableWindow $1 1
  ${Else}
    ${NSD_CreateTimer} SearchPass ${PASS_INTERVAL}
  ${EndIf}
FunctionEnd

Section
  DetailPrint "インストールを行います。画面の指示に従って操作を行ってください。"
  ExecWait '"$SetupPath"'

  SetShellVarContext all
  ${If} ${FileExists} "$DESKTOP\Nor-vik ﾗｲﾌﾞﾗﾘｰ.lnk"
    Delete "$DESKTOP\Nor-vik ﾗｲﾌﾞﾗﾘｰ.lnk"
  ${Else}
    SetShellVarContext current
    Delete "$DESKTOP\Nor-vik ﾗｲﾌﾞﾗﾘｰ.lnk"
  ${EndIf}

  SetShellVarContext all
  ${If} ${FileExists} "$SMPROGRAMS\TALMO Nor-vikライブラリー\Nor-vikライブラリー.lnk"
    Delete "$SMPROGRAMS\TALMO Nor-vikライブラリー\Nor-vikライブラリー.lnk"
  ${Else}
    SetShellVarContext current
    Delete "$SMPROGRAMS\TALMO Nor-vikライブラリー\Nor-vikライブラリー.lnk"
  ${EndIf}
SectionEnd
