; The Windows installer: Scenaria-Setup-<version>.exe, made by tools/windows/build.sh with
;   makensis -DVERSION=<version> -DSOURCE=<source tree> -DBUILD=<Windows build tree>
;            -DOUTFILE=<setup.exe> installer.nsi
; It puts the program where it finds its help (bin\ and share\scenaria\help\ under one folder),
; adds a Start-menu entry and an uninstaller. The uninstaller takes away exactly what was
; installed; the user's settings (in AppData, or beside the program where the user put them) and
; pictures stay.

; A 64-bit installer for the 64-bit program: it also runs where no 32-bit program can (wine on
; a kernel without 32-bit support, Windows without its 32-bit layer).
Target amd64-unicode
!ifndef VERSION
  !error "VERSION is not defined"
!endif
!ifndef BUILD
  !error "BUILD (the Windows build tree) is not defined"
!endif
!ifndef SOURCE
  !error "SOURCE (the source tree) is not defined"
!endif
!ifndef OUTFILE
  !define OUTFILE "Scenaria-Setup-${VERSION}.exe"
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Scenaria"

Name "Scenaria ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Scenaria"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
Icon "${SOURCE}\app\resources\scenaria.ico"
UninstallIcon "${SOURCE}\app\resources\scenaria.ico"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Scenaria"
  ; A running copy would keep its files; the tray's Exit, or the uninstaller's, ends it first.
  SetOutPath "$INSTDIR\bin"
  File "${BUILD}\bin\scenarix.exe"
  File "${BUILD}\bin\scenarix-tool.exe"
  SetOutPath "$INSTDIR\share\scenaria\help"
  File "${BUILD}\share\scenaria\help\scenarix.html"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  SetShellVarContext all
  CreateShortcut "$SMPROGRAMS\Scenaria.lnk" "$INSTDIR\bin\scenarix.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Scenaria"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Scenaria"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\bin\scenarix.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\bin\scenarix.exe"
  Delete "$INSTDIR\bin\scenarix-tool.exe"
  Delete "$INSTDIR\share\scenaria\help\scenarix.html"
  Delete "$INSTDIR\Uninstall.exe"
  ; Only folders left empty go: a settings file the user keeps beside the program stays.
  RMDir "$INSTDIR\share\scenaria\help"
  RMDir "$INSTDIR\share\scenaria"
  RMDir "$INSTDIR\share"
  RMDir "$INSTDIR\bin"
  RMDir "$INSTDIR"

  SetShellVarContext all
  Delete "$SMPROGRAMS\Scenaria.lnk"
  ; The program's own start-with-Windows shortcut would point at nothing now.
  SetShellVarContext current
  Delete "$SMSTARTUP\Scenarix.LNK"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
