; The Windows installer: the program under Program Files, a Start-menu entry that starts it in
; Documenti\Sentaro, and an uninstaller that removes only what was installed (never the user's data).
Unicode true
Target amd64-unicode
!include "MUI2.nsh"
!include "x64.nsh"

Name "Sentaro ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Sentaro"
InstallDirRegKey HKLM "Software\Sentaro" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Sentaro"

!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENZE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Italian"

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\disinstalla.exe"
  CreateDirectory "$SMPROGRAMS\Sentaro"
  CreateShortcut "$SMPROGRAMS\Sentaro\Sentaro.lnk" "$INSTDIR\sentaro-avvio.exe" "" "$INSTDIR\sentaro.exe"
  CreateShortcut "$SMPROGRAMS\Sentaro\Disinstalla Sentaro.lnk" "$INSTDIR\disinstalla.exe"
  WriteRegStr HKLM "Software\Sentaro" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Sentaro"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\sentaro.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\disinstalla.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\disinstalla.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; Only the files this version installed: the folder may have been chosen by hand.
  !include "${UNINSTALL_LIST}"
  Delete "$INSTDIR\disinstalla.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Sentaro\Sentaro.lnk"
  Delete "$SMPROGRAMS\Sentaro\Disinstalla Sentaro.lnk"
  RMDir "$SMPROGRAMS\Sentaro"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Sentaro"
SectionEnd
