; The installer of rvconf for Windows, in Russian. scripts/build-windows runs makensis with:
;   VERSION            the project version (2.8.8)
;   OUTFILE            the installer to write
;   ICON               rvconf.ico
;   DIST               the portable folder to install (the zip holds the same)
;   UNINSTALL_FILES    Delete/RMDir lines for exactly the files and folders of DIST
; Installs into Program Files for every user, adds a Start-menu entry, opens .fcg files with rvconf and
; lists itself in "Programs and Features". /S installs (and uninstalls) silently.

; A 64-bit installer for a 64-bit program (it also runs under a wine without 32-bit support).
Target amd64-unicode
ManifestDPIAware true
!include MUI2.nsh
!include LogicLib.nsh

!define APPNAME "Конфигуратор RV-1, RV-2"
!define SHORTCUT "$SMPROGRAMS\${APPNAME}.lnk"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\rvconf"
!define PROGID "rvconf.fcg"

Name "${APPNAME}"
Caption "${APPNAME} ${VERSION}: установка"
UninstallCaption "${APPNAME} ${VERSION}: удаление"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\rvconf"
InstallDirRegKey HKLM "${UNINSTKEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
BrandingText "rvconf ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1049 "ProductName" "${APPNAME}"
VIAddVersionKey /LANG=1049 "FileDescription" "Установка: ${APPNAME}"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "CompanyName" "The rvconf developers"
VIAddVersionKey /LANG=1049 "LegalCopyright" "2026 The rvconf developers"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\rvconf.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Запустить конфигуратор"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

Section "rvconf"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File /r "${DIST}/*"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "${SHORTCUT}" "$INSTDIR\rvconf.exe" "" "$INSTDIR\rvconf.exe" 0

  ; "Programs and Features".
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayName" "${APPNAME}"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTKEY}" "Publisher" "The rvconf developers"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\rvconf.exe,0"
  WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoRepair" 1

  ; A double-click on a .fcg file opens it in rvconf.
  WriteRegStr HKLM "Software\Classes\.fcg" "" "${PROGID}"
  WriteRegStr HKLM "Software\Classes\${PROGID}" "" "Конфигурация RV-1, RV-2"
  WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\rvconf.exe,0"
  WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\rvconf.exe" "%1"'
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "${SHORTCUT}"
  !include "${UNINSTALL_FILES}"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when nothing else is left there: a folder the user put files into stays.
  RMDir "$INSTDIR"

  DeleteRegKey HKLM "${UNINSTKEY}"
  ; The association goes, unless another program has taken .fcg over since.
  ReadRegStr $0 HKLM "Software\Classes\.fcg" ""
  ${If} $0 == "${PROGID}"
    DeleteRegKey HKLM "Software\Classes\.fcg"
  ${EndIf}
  DeleteRegKey HKLM "Software\Classes\${PROGID}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
