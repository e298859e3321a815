; Per-user installer of the launcher. Built by CMake (target "installer"):
;   makensis -INPUTCHARSET UTF8 -DVERSION=2.0.0.0 -DFILE_VERSION=2.0.0.0
;            -DLAUNCHER_EXE=... -DALERTE_WAV=... -DICON=... -DOUTFILE=...
;            [-DSIGN_UNINSTALLER=sign-exe.sh] lanceur-tarvik.nsi
; Command line, besides /S and /D=: /BUREAU adds the desktop shortcut in a
; silent install; the uninstaller's /REGLAGES removes the settings too.

Unicode true
; The launcher is a 64-bit program, and Debian's NSIS has 64-bit stubs.
Target amd64-unicode

!macro REQUIRE_DEFINE name
  !ifndef ${name}
    !error "makensis -D${name}=... is missing"
  !endif
!macroend
!insertmacro REQUIRE_DEFINE VERSION
!insertmacro REQUIRE_DEFINE FILE_VERSION
!insertmacro REQUIRE_DEFINE LAUNCHER_EXE
!insertmacro REQUIRE_DEFINE ALERTE_WAV
!insertmacro REQUIRE_DEFINE ICON
!insertmacro REQUIRE_DEFINE OUTFILE

; -DSIGN_UNINSTALLER=<sign-exe.sh>: the uninstaller is signed as it is
; made, before the installer packs it.
!ifdef SIGN_UNINSTALLER
  !uninstfinalize '"${SIGN_UNINSTALLER}" "%1"' = 0
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "Lanceur Tarvik"
!define PUBLISHER "Le Vol Du Tarvik"
!define EXE "Lanceur_Tarvik.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\LanceurTarvik"
; The launcher's own settings folder, the one its settings file lives in.
!define SETTINGS_DIR "$APPDATA\LeTarvik\LanceurTarvik"
!define SHORTCUT "${PRODUCT}.lnk"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\LanceurTarvik"
; An upgrade goes where the previous version went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma
; File would store each file's time of build: the installer would change
; with every build of the same commit.
SetDateSave off
BrandingText "${PUBLISHER}"

VIProductVersion "${FILE_VERSION}"
VIFileVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "Installation du ${PRODUCT}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "© Le Tarvik"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Démarrer le ${PRODUCT}"
!define MUI_FINISHPAGE_RUN_FUNCTION StartLauncher
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_COMPONENTSPAGE_TEXT_TOP "Vos réglages (dossier de Condor 3, alerte sonore, connexion automatique) sont conservés, sauf si vous cochez « Supprimer les réglages »."
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "French"

; The launcher holds its executable open. Started as the updater, the
; installer runs while the old launcher is still closing: give it time.
!macro WAIT_FOR_LAUNCHER un
Function ${un}WaitForLauncher
  StrCpy $1 0
  retry:
  FindWindow $0 "TForm1" "${PRODUCT}"
  ${If} $0 <> 0
    ${If} $1 < 40
      IntOp $1 $1 + 1
      Sleep 250
      Goto retry
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Le ${PRODUCT} est ouvert.$\r$\nFermez-le, puis cliquez sur Réessayer." /SD IDCANCEL IDRETRY retry
    Abort "Le ${PRODUCT} est ouvert."
  ${EndIf}
FunctionEnd
!macroend
!insertmacro WAIT_FOR_LAUNCHER ""
!insertmacro WAIT_FOR_LAUNCHER "un."

Function StartLauncher
  ; Exec starts the program in $OUTDIR, where alerte.wav is.
  SetOutPath "$INSTDIR"
  Exec '"$INSTDIR\${EXE}"'
FunctionEnd

Section "${PRODUCT} (requis)" SecProgram
  SectionIn RO
  Call WaitForLauncher

  SetOutPath "$INSTDIR"
  File "/oname=${EXE}" "${LAUNCHER_EXE}"
  File "/oname=alerte.wav" "${ALERTE_WAV}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The launcher writes its settings there but never makes the folder. The
  ; settings file itself belongs to the pilot: never written here.
  CreateDirectory "${SETTINGS_DIR}"

  ; A shortcut starts its program in $OUTDIR: the launcher plays alerte.wav
  ; from its current folder.
  SetOutPath "$INSTDIR"
  CreateShortcut "$SMPROGRAMS\${SHORTCUT}" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Raccourci sur le bureau" SecDesktop
  SetOutPath "$INSTDIR"
  CreateShortcut "$DESKTOP\${SHORTCUT}" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0
SectionEnd

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/BUREAU" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecDesktop} ${SF_SELECTED}
  ${EndIf}
FunctionEnd

Section "un.${PRODUCT}" UnSecProgram
  SectionIn RO
  Call un.WaitForLauncher

  ; Only what the installer put there, and the updater the launcher may have
  ; left: a folder holding anything else stays.
  Delete "$INSTDIR\${EXE}"
  Delete "$INSTDIR\alerte.wav"
  Delete "$INSTDIR\MaJLanceur.exe"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${SHORTCUT}"
  Delete "$DESKTOP\${SHORTCUT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

Section /o "un.Supprimer les réglages" UnSecSettings
  Delete "${SETTINGS_DIR}\TarvikLauncher.ini"
  RMDir "${SETTINGS_DIR}"
  RMDir "$APPDATA\LeTarvik"
SectionEnd

Function un.onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REGLAGES" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${UnSecSettings} ${SF_SELECTED}
  ${EndIf}
FunctionEnd
