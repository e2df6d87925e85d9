; Pixlane's Windows installer, a 64-bit NSIS 3 installer built by
; scripts/package-windows:
;   makensis -INPUTCHARSET UTF8 -DVERSION=3.46 -DFILES=<files.nsh>
;            -DICON=<pixlane.ico> -DOUTFILE=<setup.exe> pixlane.nsi
; FILES defines the macros PIXLANE_INSTALL_FILES and PIXLANE_UNINSTALL_FILES,
; written from the list of packed files, so that the uninstaller removes
; exactly what was installed.
; Pages in Japanese or English (the system's language). Installs for all
; users (Program Files, administrator rights) or for the current user
; (%LOCALAPPDATA%\Programs), with Start-menu shortcuts for the program and
; its help, an optional Send To entry (the same shortcut the program's own
; "「送る」メニューに登録" setting makes), and an uninstaller in the system's
; list of programs. The settings file Pixlane.ini stays unless the user ticks
; the box on the uninstaller's page.
; Command line: /S silent, /AllUsers or /CurrentUser, /SendTo, /D=FOLDER
; (last). The uninstaller: /S silent, /DeleteSettings.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel highest
ManifestDPIAware true

!include MUI2.nsh
!include nsDialogs.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh
!include "${FILES}"

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pixlane"

Name "Pixlane ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "Pixlane ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

Var IsAdmin
Var AllUsers
Var DirGiven
Var AllUsersRadio
Var CurrentUserRadio
Var DeleteSettings
Var DeleteSettingsBox

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\Pixlane.exe"
!define MUI_FINISHPAGE_RUN_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
Page custom ModePage ModePageLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
UninstPage custom un.SettingsPage un.SettingsPageLeave
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the one used when the system's is neither.
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "English"

LangString ModeTitle ${LANG_JAPANESE} "インストールの種類"
LangString ModeTitle ${LANG_ENGLISH} "Installation type"
LangString ModeSubtitle ${LANG_JAPANESE} "Pixlane を使うユーザーを選んでください。"
LangString ModeSubtitle ${LANG_ENGLISH} "Choose who will use Pixlane."
LangString ModeAllUsers ${LANG_JAPANESE} "このコンピューターのすべてのユーザー（管理者の権限が必要です）"
LangString ModeAllUsers ${LANG_ENGLISH} "Anyone who uses this computer (needs administrator rights)"
LangString ModeCurrentUser ${LANG_JAPANESE} "自分だけ"
LangString ModeCurrentUser ${LANG_ENGLISH} "Only for me"
LangString SecProgramName ${LANG_JAPANESE} "Pixlane（本体、コマンドライン、ヘルプ、プラグイン）"
LangString SecProgramName ${LANG_ENGLISH} "Pixlane (program, command line, help, plug-in)"
LangString SecSendToName ${LANG_JAPANESE} "「送る」メニューに登録"
LangString SecSendToName ${LANG_ENGLISH} "Add to the Send To menu"
LangString HelpShortcutName ${LANG_JAPANESE} "Pixlane ヘルプ"
LangString HelpShortcutName ${LANG_ENGLISH} "Pixlane Help"
LangString SettingsTitle ${LANG_JAPANESE} "設定ファイル"
LangString SettingsTitle ${LANG_ENGLISH} "Settings file"
LangString SettingsSubtitle ${LANG_JAPANESE} "Pixlane の設定を残すかどうかを選んでください。"
LangString SettingsSubtitle ${LANG_ENGLISH} "Choose whether Pixlane's settings are kept."
LangString DeleteSettingsText ${LANG_JAPANESE} "設定ファイル（Pixlane.ini）も削除する"
LangString DeleteSettingsText ${LANG_ENGLISH} "Also delete the settings file (Pixlane.ini)"
LangString NeedsX64 ${LANG_JAPANESE} "このインストーラーは 64 ビット版の Windows 用です。"
LangString NeedsX64 ${LANG_ENGLISH} "This installer is for 64-bit Windows."
LangString NeedsAdmin ${LANG_JAPANESE} "すべてのユーザー用のインストールには管理者の権限が必要です。"
LangString NeedsAdmin ${LANG_ENGLISH} "Installing for all users needs administrator rights."

VIProductVersion "${VERSION}.0.0"
VIFileVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductName" "Pixlane"
VIAddVersionKey /LANG=${LANG_JAPANESE} "CompanyName" "Pixlane"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileDescription" "Pixlane ${VERSION} セットアップ"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "LegalCopyright" "Pixlane"

Section "!$(SecProgramName)" SecProgram
  SectionIn RO
  !insertmacro PIXLANE_INSTALL_FILES
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Pixlane"
  CreateShortcut "$SMPROGRAMS\Pixlane\Pixlane.lnk" "$INSTDIR\Pixlane.exe"
  CreateShortcut "$SMPROGRAMS\Pixlane\$(HelpShortcutName).lnk" "$INSTDIR\Pixlane.chm"
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayName" "Pixlane ${VERSION}"
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINST_KEY}" "Publisher" "Pixlane"
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Pixlane.exe,0"
  WriteRegStr SHCTX "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  ; The help shortcut's name is in the installer's language: the uninstaller
  ; deletes the one that was made.
  WriteRegStr SHCTX "${UNINST_KEY}" "HelpShortcut" "$(HelpShortcutName)"
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "$(SecSendToName)" SecSendTo
  ; The same shortcut as the program's own setting makes, so that the
  ; setting shows it and can remove it.
  CreateShortcut "$SENDTO\Pixlane.lnk" "$INSTDIR\Pixlane.exe"
  WriteRegDWORD SHCTX "${UNINST_KEY}" "SendTo" 1
SectionEnd

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "$(NeedsX64)" /SD IDOK
    Abort
  ${EndIf}
  StrCpy $IsAdmin 0
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 == "Admin"
    StrCpy $IsAdmin 1
  ${EndIf}
  StrCpy $AllUsers $IsAdmin
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/CurrentUser" $R1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 0
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/AllUsers" $R1
  ${IfNot} ${Errors}
    ${If} $IsAdmin == 0
      MessageBox MB_ICONSTOP "$(NeedsAdmin)" /SD IDOK
      SetErrorLevel 740
      Quit
    ${EndIf}
    StrCpy $AllUsers 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/SendTo" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecSendTo}
  ${EndIf}
  ; /D= sets the folder before this function runs.
  StrCpy $DirGiven 0
  ${If} $INSTDIR != ""
    StrCpy $DirGiven 1
  ${EndIf}
  Call ApplyMode
FunctionEnd

; Shortcuts and the uninstaller's entry go to the machine or to the user;
; the default folder follows unless one was given with /D=.
Function ApplyMode
  ${If} $AllUsers == 1
    SetShellVarContext all
    ${If} $DirGiven == 0
      StrCpy $INSTDIR "$PROGRAMFILES64\Pixlane"
    ${EndIf}
  ${Else}
    SetShellVarContext current
    ${If} $DirGiven == 0
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs\Pixlane"
    ${EndIf}
  ${EndIf}
FunctionEnd

Function ModePage
  !insertmacro MUI_HEADER_TEXT "$(ModeTitle)" "$(ModeSubtitle)"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateRadioButton} 0 10u 100% 14u "$(ModeAllUsers)"
  Pop $AllUsersRadio
  ${NSD_CreateRadioButton} 0 30u 100% 14u "$(ModeCurrentUser)"
  Pop $CurrentUserRadio
  ${If} $IsAdmin == 0
    EnableWindow $AllUsersRadio 0
  ${EndIf}
  ${If} $AllUsers == 1
    ${NSD_Check} $AllUsersRadio
  ${Else}
    ${NSD_Check} $CurrentUserRadio
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ModePageLeave
  ${NSD_GetState} $AllUsersRadio $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $AllUsers 1
  ${Else}
    StrCpy $AllUsers 0
  ${EndIf}
  Call ApplyMode
FunctionEnd

Function un.onInit
  StrCpy $DeleteSettings 0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/DeleteSettings" $R1
  ${IfNot} ${Errors}
    StrCpy $DeleteSettings 1
  ${EndIf}
  ; A per-machine installation when the machine's list names this folder.
  SetShellVarContext current
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    SetShellVarContext all
  ${EndIf}
FunctionEnd

Function un.SettingsPage
  !insertmacro MUI_HEADER_TEXT "$(SettingsTitle)" "$(SettingsSubtitle)"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateCheckbox} 0 10u 100% 14u "$(DeleteSettingsText)"
  Pop $DeleteSettingsBox
  ${If} $DeleteSettings == 1
    ${NSD_Check} $DeleteSettingsBox
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function un.SettingsPageLeave
  ${NSD_GetState} $DeleteSettingsBox $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $DeleteSettings 1
  ${Else}
    StrCpy $DeleteSettings 0
  ${EndIf}
FunctionEnd

Section "Uninstall"
  !insertmacro PIXLANE_UNINSTALL_FILES
  Delete "$INSTDIR\uninstall.exe"
  ReadRegStr $0 SHCTX "${UNINST_KEY}" "HelpShortcut"
  Delete "$SMPROGRAMS\Pixlane\Pixlane.lnk"
  ${If} $0 != ""
    Delete "$SMPROGRAMS\Pixlane\$0.lnk"
  ${EndIf}
  RMDir "$SMPROGRAMS\Pixlane"
  ; The Send To entry only when the installer made it.
  ReadRegDWORD $0 SHCTX "${UNINST_KEY}" "SendTo"
  ${If} $0 == 1
    Delete "$SENDTO\Pixlane.lnk"
  ${EndIf}
  DeleteRegKey SHCTX "${UNINST_KEY}"
  ${If} $DeleteSettings == 1
    Delete "$INSTDIR\Pixlane.ini"
    SetShellVarContext current
    Delete "$APPDATA\Pixlane\Pixlane.ini"
    RMDir "$APPDATA\Pixlane"
  ${EndIf}
  ; Removed only when empty: nothing the user put there goes.
  RMDir "$INSTDIR"
SectionEnd
