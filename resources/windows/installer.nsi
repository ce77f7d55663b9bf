; The Windows installer of RKT 410 Parametrierung, built by
; scripts/package-windows.sh, which passes:
;   VERSION      the program's version, MAJOR.MINOR.PATCH
;   ICON         the program's icon (.ico)
;   FILES        an include file that installs the program folder file by file
;   UNFILES      its counterpart that removes exactly those files and folders
;   SIZE_KB      the installed size, for "Apps & features"
;   OUTFILE      where the installer is written
; The installer is a 64-bit program: the program it installs is one too.

!macro RequireDefine NAME
  !ifndef ${NAME}
    !error "makensis needs /D${NAME}=..."
  !endif
!macroend
!insertmacro RequireDefine VERSION
!insertmacro RequireDefine ICON
!insertmacro RequireDefine FILES
!insertmacro RequireDefine UNFILES
!insertmacro RequireDefine SIZE_KB
!insertmacro RequireDefine OUTFILE

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!define PRODUCT "RKT 410 Parametrierung"
!define PUBLISHER "Varem electronic"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\RKT410"
!define PROGID "RKT410.Parameterdatei"
!define EXT_KEY "Software\Classes\.RKT"
; One name in every language, so that the uninstaller finds it whatever
; language it runs in.
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; Installing again, or a newer version, goes where the last one went.
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
; The language chosen at installation is the uninstaller's too.
!define MUI_LANGDLL_REGISTRY_ROOT HKLM
!define MUI_LANGDLL_REGISTRY_KEY "${UNINST_KEY}"
!define MUI_LANGDLL_REGISTRY_VALUENAME "Installer Language"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_RESERVEFILE_LANGDLL

LangString FileTypeName ${LANG_GERMAN} "RKT 410 Parameterdatei"
LangString FileTypeName ${LANG_ENGLISH} "RKT 410 parameter file"
LangString NotAdmin ${LANG_GERMAN} "Die Installation braucht Administratorrechte."
LangString NotAdmin ${LANG_ENGLISH} "Installing needs administrator rights."
LangString Not64 ${LANG_GERMAN} "${PRODUCT} braucht ein 64-Bit-Windows."
LangString Not64 ${LANG_ENGLISH} "${PRODUCT} needs a 64-bit Windows."
LangString OldUninstallFailed ${LANG_GERMAN} "Die bereits installierte Version in $R0 ließ sich nicht entfernen (Fehler $R1). Läuft das Programm noch?"
LangString OldUninstallFailed ${LANG_ENGLISH} "The version already installed in $R0 could not be removed (error $R1). Is the program still running?"
LangString RemovingOld ${LANG_GERMAN} "Entferne die bereits installierte Version in $R0"
LangString RemovingOld ${LANG_ENGLISH} "Removing the version already installed in $R0"
LangString FilesLeft ${LANG_GERMAN} "Einige Dateien sind noch in Gebrauch und werden beim nächsten Neustart entfernt."
LangString FilesLeft ${LANG_ENGLISH} "Some files are still in use and will be removed at the next restart."

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "$(Not64)" /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  SetShellVarContext all
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_ICONSTOP "$(NotAdmin)" /SD IDOK
    Abort
  ${EndIf}
  !insertmacro MUI_LANGDLL_DISPLAY
FunctionEnd

Section "-Install"
  ; An earlier installation is removed with its own uninstaller first, so
  ; that files this version no longer has do not stay behind. It keeps the
  ; user's settings and write history like any uninstall.
  ReadRegStr $R0 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $R0 != ""
  ${AndIf} ${FileExists} "$R0\Uninstall.exe"
    DetailPrint "$(RemovingOld)"
    ; _?= runs it in place and waits for it, instead of from a copy in TEMP.
    ClearErrors
    ExecWait '"$R0\Uninstall.exe" /S _?=$R0' $R1
    ${If} ${Errors}
    ${OrIf} $R1 != 0
      MessageBox MB_ICONSTOP "$(OldUninstallFailed)" /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
    ; Running in place, it could not delete itself.
    Delete "$R0\Uninstall.exe"
    RMDir "$R0"
  ${EndIf}

  !include "${FILES}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\rkt410.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ; (MUI's own MUI_LANGDLL_SAVELANGUAGE compiles to nothing after the
  ; uninstaller's pages.)
  WriteRegStr HKLM "${UNINST_KEY}" "${MUI_LANGDLL_REGISTRY_VALUENAME}" $LANGUAGE

  CreateShortcut "${SHORTCUT}" "$INSTDIR\rkt410.exe" "" "$INSTDIR\rkt410.exe" 0

  ; .RKT files open in the program. Whatever they opened in before is kept,
  ; for the uninstaller to give back.
  ReadRegStr $0 HKLM "${EXT_KEY}" ""
  ${If} $0 != ""
  ${AndIf} $0 != "${PROGID}"
    WriteRegStr HKLM "${UNINST_KEY}" "PreviousRKTProgID" $0
  ${EndIf}
  WriteRegStr HKLM "${EXT_KEY}" "" "${PROGID}"
  WriteRegStr HKLM "${EXT_KEY}\OpenWithProgids" "${PROGID}" ""
  WriteRegStr HKLM "Software\Classes\${PROGID}" "" "$(FileTypeName)"
  WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" '"$INSTDIR\rkt410.exe",0'
  WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\rkt410.exe" "%1"'
  ; SHCNE_ASSOCCHANGED: Explorer shows the new icon and opens with us at once.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
  !insertmacro MUI_UNGETLANGUAGE
FunctionEnd

; Removes what the installer put there and nothing else: the program folder
; file by file (a file the user put there stays, and so does the folder
; then), the shortcut, the association while it is still ours, and the
; uninstall entry. The user's settings (HKCU\Software\Varem electronic\QD
; Soft\RKT410) and write history (in the user's application data) stay.
Section "Uninstall"
  !include "${UNFILES}"
  Delete /REBOOTOK "$INSTDIR\Uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"

  Delete "${SHORTCUT}"

  ReadRegStr $0 HKLM "${EXT_KEY}" ""
  ${If} $0 == "${PROGID}"
    ReadRegStr $1 HKLM "${UNINST_KEY}" "PreviousRKTProgID"
    ClearErrors
    EnumRegKey $2 HKLM "Software\Classes\$1" 0
    ${If} $1 != ""
    ${AndIfNot} ${Errors}
      WriteRegStr HKLM "${EXT_KEY}" "" $1
    ${Else}
      DeleteRegValue HKLM "${EXT_KEY}" ""
    ${EndIf}
  ${EndIf}
  DeleteRegValue HKLM "${EXT_KEY}\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty HKLM "${EXT_KEY}\OpenWithProgids"
  DeleteRegKey /ifempty HKLM "${EXT_KEY}"
  DeleteRegKey HKLM "Software\Classes\${PROGID}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  DeleteRegKey HKLM "${UNINST_KEY}"

  IfRebootFlag 0 +2
    MessageBox MB_ICONINFORMATION "$(FilesLeft)" /SD IDOK
SectionEnd
