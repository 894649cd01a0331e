; The Windows setup program: memvane.exe and memvane-cli.exe into Program Files, a Start-menu
; entry and an uninstaller. The installed copy keeps the user's files ("ComPort.ini",
; "names.txt", channel files, backups) in %APPDATA%\Memvane\, which the uninstaller leaves
; alone. Built by scripts/windows:
;   makensis -DVERSION=6.2 -DBIN=<folder with the .exe files> -DDOCS=<README/LICENSE folder>
;            -DOUTFILE=<setup.exe> memvane.nsi
; Silent install and removal: setup.exe /S, Uninstall.exe /S.

; A 64-bit setup program: the program is 64-bit, and it then also runs where only 64-bit
; Windows support is present.
Target amd64-unicode
!include "MUI2.nsh"

!ifndef VERSION
  !error "VERSION is not defined"
!endif

Name "Memvane ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Memvane"
InstallDirRegKey HKLM "Software\Memvane" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
BrandingText "Memvane ${VERSION}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Memvane"
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"

!insertmacro MUI_PAGE_LICENSE "${DOCS}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\memvane.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "Memvane"
VIAddVersionKey "FileDescription" "Memvane setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright 2026 The Memvane authors"

Section "Memvane"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${BIN}\memvane.exe"
  File "${BIN}\memvane-cli.exe"
  File "${DOCS}\README.txt"
  File "${DOCS}\LICENSE.txt"
  ; The uninstaller beside the program also tells the program that it is an installed copy,
  ; which keeps its files in the user's %APPDATA%\Memvane\.
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateDirectory "$SMPROGRAMS\Memvane"
  CreateShortCut "$SMPROGRAMS\Memvane\Memvane.lnk" "$INSTDIR\memvane.exe"
  CreateShortCut "$SMPROGRAMS\Memvane\Uninstall Memvane.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "Software\Memvane" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Memvane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Memvane authors"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\memvane.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  ; Only what the setup program put there: the user's settings and channel files in
  ; %APPDATA%\Memvane\ stay.
  Delete "$INSTDIR\memvane.exe"
  Delete "$INSTDIR\memvane-cli.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Memvane\Memvane.lnk"
  Delete "$SMPROGRAMS\Memvane\Uninstall Memvane.lnk"
  RMDir "$SMPROGRAMS\Memvane"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Memvane"
SectionEnd
