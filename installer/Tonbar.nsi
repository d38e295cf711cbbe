; Tonbar's setup program: Czech, 64-bit, for all users (elevated) or for the
; current user only. scripts/package builds it:
;   makensis -DVERSION=a.b.c.d -DEXE=.../Tonbar.exe -DICON=.../tonbar.ico -DOUTDIR=... Tonbar.nsi
; VERSION comes from src/resources/version.h, the source of the version resource.

Unicode true
; A 64-bit setup: a 32-bit Windows refuses to start it at all.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!ifndef VERSION | EXE | ICON | OUTDIR
  !error "VERSION, EXE, ICON and OUTDIR must be defined (see scripts/package)"
!endif

; The program's own version resource must say the same: a stale Tonbar.exe
; would otherwise be shipped under a new version number.
!getdllversion "${EXE}" EXE_VERSION_
!if "${EXE_VERSION_1}.${EXE_VERSION_2}.${EXE_VERSION_3}.${EXE_VERSION_4}" != "${VERSION}"
  !error "${EXE} is version ${EXE_VERSION_1}.${EXE_VERSION_2}.${EXE_VERSION_3}.${EXE_VERSION_4}, version.h says ${VERSION}: rebuild it"
!endif

!define PRODUCT "Tonbar"
!define MAKER "Mirvak"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tonbar"
; Tonbar holds this named mutex for as long as it runs.
!define INSTANCE_MUTEX "tonbar_apl"

Name "${PRODUCT}"
OutFile "${OUTDIR}/Tonbar-${VERSION}-setup.exe"
BrandingText "${MAKER} ${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

; All users by default for an administrator (elevated by the manifest's
; "highest available" level), the current user only for everyone else.
; A previous installation's place and mode win, so an upgrade lands on it.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "${MAKER}\${PRODUCT}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINST_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINST_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!include MultiUser.nsh
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!pragma warning disable 9100 ; no LegalCopyright: the program carries it
VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1029 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1029 "CompanyName" "${MAKER}"
VIAddVersionKey /LANG=1029 "FileDescription" "Tonbar - instalace"
VIAddVersionKey /LANG=1029 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1029 "ProductVersion" "${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_WELCOME
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "$(TEXT_PONECHANO)"
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "Czech"

LangString TEXT_BEZI ${LANG_CZECH} "Program Tonbar je spuštěný. Ukončete ho a zvolte Opakovat, nebo zvolte Storno."
LangString TEXT_BEZI_PRERUSENO ${LANG_CZECH} "Program Tonbar je spuštěný, nic nebylo změněno."
LangString TEXT_SEKCE_PROGRAM ${LANG_CZECH} "Program Tonbar"
LangString TEXT_SEKCE_PLOCHA ${LANG_CZECH} "Zástupce na ploše"
LangString TEXT_PONECHANO ${LANG_CZECH} "Program Tonbar byl odinstalován z počítače.$\r$\n$\r$\nVaše nahrávky, sdílené datové soubory (FTP místa, SMTP účty a kontakty) a nastavení programu zůstaly zachovány:$\r$\n- nahrávky ve složce Dokumenty\Tonbar nebo ve složce, kterou jste zvolili,$\r$\n- datové soubory ve složce %LOCALAPPDATA%\Mirvak,$\r$\n- nastavení v registru HKEY_CURRENT_USER\Software\Mirvak\Tonbar.$\r$\n$\r$\nPokud je už nepotřebujete, smažte je ručně. Kliknutím na tlačítko Dokončit ukončíte tohoto průvodce."

; $0 = 1 when Tonbar still runs after the user was asked (silently: at once).
!macro ZKONTROLOVAT_BEH UN
Function ${UN}ZkontrolovatBeh
  opakovat:
  StrCpy $0 0
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${INSTANCE_MUTEX}") p.r1'
  ${If} $1 P<> 0
    System::Call 'kernel32::CloseHandle(p r1)'
    StrCpy $0 1
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(TEXT_BEZI)" /SD IDCANCEL IDRETRY opakovat
  ${EndIf}
FunctionEnd
!macroend
!insertmacro ZKONTROLOVAT_BEH ""
!insertmacro ZKONTROLOVAT_BEH "un."

Section "!$(TEXT_SEKCE_PROGRAM)" SEC_PROGRAM
  SectionIn RO
  ; Tonbar may have been started while the wizard was open.
  Call ZkontrolovatBeh
  ${If} $0 == 1
    SetErrorLevel 2
    Abort "$(TEXT_BEZI_PRERUSENO)"
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "/oname=Tonbar.exe" "${EXE}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Tonbar.exe" "" "$INSTDIR\Tonbar.exe" 0

  ; SHCTX is HKLM for all users, HKCU for the current user only.
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINST_KEY}" "Publisher" "${MAKER}"
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Tonbar.exe,0"
  WriteRegStr SHCTX "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINST_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr SHCTX "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoRepair" 1
  SectionGetSize ${SEC_PROGRAM} $0
  WriteRegDWORD SHCTX "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "$(TEXT_SEKCE_PLOCHA)" SEC_PLOCHA
  CreateShortCut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\Tonbar.exe" "" "$INSTDIR\Tonbar.exe" 0
SectionEnd

Function .onInit
  !insertmacro MULTIUSER_INIT
  ; /Desktop adds the desktop shortcut (for silent installations).
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/Desktop" $R1
  ${IfNot} ${Errors}
    SectionSetFlags ${SEC_PLOCHA} ${SF_SELECTED}
  ${EndIf}
  Call ZkontrolovatBeh
  ${If} $0 == 1
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ; Only what the setup put here: recordings or data files the user keeps
  ; in this folder stay, and so does the folder with them.
  Delete "$INSTDIR\Tonbar.exe"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  ${GetParent} "$INSTDIR" $0
  ${GetFileName} $0 $1
  ${If} $1 == "${MAKER}"
    RMDir "$0"
  ${EndIf}
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  ; Last, so the entry stays while anything else is left to remove.
  DeleteRegKey SHCTX "${UNINST_KEY}"
SectionEnd

Function un.onInit
  !insertmacro MULTIUSER_UNINIT
  ; The mode of the installation this uninstaller belongs to, whatever the
  ; defaults: an administrator may also have a per-user installation.
  ReadRegStr $0 HKCU "${UNINST_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    Call un.MultiUser.InstallMode.CurrentUser
  ${EndIf}
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    Call un.MultiUser.InstallMode.AllUsers
  ${EndIf}
  Call un.ZkontrolovatBeh
  ${If} $0 == 1
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd
