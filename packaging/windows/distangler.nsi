; The Windows installer: a per-user install (no administrator rights) of the
; window, the batch tool, the layout files, the licence, the read-me and the
; examples into %LOCALAPPDATA%\Programs\Distangler, with a Start menu entry,
; .tps files opening in the window and an entry in Windows' list of
; programs. Its uninstaller takes all of that away again.
;
; Made by scripts/package-windows, which stages the files and runs makensis
; (with /NOCD) in the staging folder's parent with
;   VERSION  the project's version (0.2.0)
;   OUTFILE  the installer to write, relative to the current folder
; and puts there the icon (distangler.ico, from this folder) and
; install-files.nsh and uninstall-files.nsh: the File lines
; of every staged file, and their Delete and RMDir lines, so the uninstaller
; removes exactly what the installer put down.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!ifndef VERSION
  !error "define VERSION and OUTFILE (scripts/package-windows does)"
!endif
!ifndef OUTFILE
  !error "define VERSION and OUTFILE (scripts/package-windows does)"
!endif

!define NAME "Distangler"
!define PROGID "Distangler.TPS"
!define CLASSES "Software\Classes"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Distangler"
!define SHORTCUT "$SMPROGRAMS\Distangler.lnk"
; Tells the shell that file associations changed (SHCNE_ASSOCCHANGED).
!define NOTIFY_ASSOCIATIONS "System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'"

Name "${NAME} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Distangler"
; A new version goes where the last one went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${NAME}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${NAME} ${VERSION} setup"
VIAddVersionKey "CompanyName" "${NAME}"
VIAddVersionKey "LegalCopyright" "The Distangler authors, MIT licence"

!define MUI_ICON "distangler.ico"
!define MUI_UNICON "distangler.ico"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This installs ${NAME} ${VERSION} for you alone: it needs no administrator rights.$\r$\n$\r$\n${NAME} turns landmark data (TPS files) into datasets of distances and angles. The setup adds it to the Start menu and opens .tps files in it.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\distangler.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${NAME}"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Function .onInit
  SetShellVarContext current
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "Distangler"
  SetOutPath "$INSTDIR"
  !include "install-files.nsh"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  SetOutPath "$INSTDIR"  ; the shortcut's working folder
  CreateShortcut "${SHORTCUT}" "$INSTDIR\distangler.exe" "" "$INSTDIR\distangler.exe" 0 \
    SW_SHOWNORMAL "" "Turn landmark files into datasets of distances and angles"

  ; .tps files (and .TPS: the registry's names ignore case) open in the window.
  WriteRegStr HKCU "${CLASSES}\${PROGID}" "" "TPS landmark file"
  WriteRegStr HKCU "${CLASSES}\${PROGID}\DefaultIcon" "" '"$INSTDIR\distangler.exe",0'
  WriteRegStr HKCU "${CLASSES}\${PROGID}\shell\open\command" "" '"$INSTDIR\distangler.exe" --open "%1"'
  WriteRegStr HKCU "${CLASSES}\.tps" "" "${PROGID}"
  WriteRegStr HKCU "${CLASSES}\.tps\OpenWithProgids" "${PROGID}" ""
  ${NOTIFY_ASSOCIATIONS}

  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\distangler.exe",0'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Delete "${SHORTCUT}"

  ; The extension is left to another program that has taken it over since.
  ReadRegStr $0 HKCU "${CLASSES}\.tps" ""
  ${If} $0 == "${PROGID}"
    DeleteRegValue HKCU "${CLASSES}\.tps" ""
  ${EndIf}
  DeleteRegValue HKCU "${CLASSES}\.tps\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty HKCU "${CLASSES}\.tps\OpenWithProgids"
  DeleteRegKey /ifempty HKCU "${CLASSES}\.tps"
  DeleteRegKey HKCU "${CLASSES}\${PROGID}"
  ${NOTIFY_ASSOCIATIONS}
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "Software\Distangler"  ; the window's settings (recent files)

  ; Only the files the installer wrote: anything else the user keeps in the
  ; folder stays, and so does the folder then. The shared places above it
  ; ($LOCALAPPDATA\Programs, the registry's Uninstall and Classes keys) stay.
  !include "uninstall-files.nsh"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
