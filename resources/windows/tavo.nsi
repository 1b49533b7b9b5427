; The Windows installer: tavo.exe (and tavo-cli.exe where built) with the help
; documents into Program Files, a Start menu entry, an uninstaller. Built by
; scripts/windows-package.sh with makensis /DVERSION=... /DSOURCE=... /DOUTFILE=...
; A 64-bit installer: Tavo is a 64-bit program, and it runs where only 64-bit Wine is.
Target amd64-unicode
SetCompressor /SOLID lzma
Name "Tavo ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tavo"
RequestExecutionLevel admin
Icon "${SOURCE}\tavo.ico"
UninstallIcon "${SOURCE}\tavo.ico"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Tavo"
VIAddVersionKey "FileDescription" "Tavo (Client) setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "See tavo_client.license.html"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavo"

Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles
LicenseData "${SOURCE}\license.txt"

Section "Tavo"
  SetOutPath "$INSTDIR"
  File "${SOURCE}\tavo.exe"
  !if /FileExists "${SOURCE}\tavo-cli.exe"
    File "${SOURCE}\tavo-cli.exe"
  !endif
  File "${SOURCE}\tavo_client.license.html"
  File "${SOURCE}\tavo_client.readme.html"
  File "${SOURCE}\tavo_client.limitations.html"
  File "${SOURCE}\tavo_client.history.html"
  File "${SOURCE}\tavo_client_version.html"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; The entry starts Tavo in the user's own settings directory, %APPDATA%\Tavo.
  SetShellVarContext all
  CreateShortCut "$SMPROGRAMS\Tavo.lnk" "$INSTDIR\tavo.exe" "--user-settings" "$INSTDIR\tavo.exe" 0 \
    SW_SHOWNORMAL "" "Files on your organizer"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tavo"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tavo.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The user's settings (%APPDATA%\Tavo) stay: only what the installer put here goes.
Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Tavo.lnk"
  Delete "$INSTDIR\tavo.exe"
  Delete "$INSTDIR\tavo-cli.exe"
  Delete "$INSTDIR\tavo_client.license.html"
  Delete "$INSTDIR\tavo_client.readme.html"
  Delete "$INSTDIR\tavo_client.limitations.html"
  Delete "$INSTDIR\tavo_client.history.html"
  Delete "$INSTDIR\tavo_client_version.html"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
