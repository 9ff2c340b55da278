; Per-user setup of Tovela Notifier: no administrator rights, installs into
; %LOCALAPPDATA%\Programs\TovelaNotifier, a Start menu entry, "start with Windows" as an
; option, and an uninstaller that ends the program and removes its files, settings,
; registration and shortcuts.
;
; makensis -DVERSION=x.y.z -DSTAGE=<folder with the files> -DOUTFILE=<setup.exe> TovelaNotifier.nsi

Unicode true
!include MUI2.nsh
!include LogicLib.nsh
!include StrFunc.nsh
!include WinMessages.nsh
!include x64.nsh

!ifndef VERSION
  !error "VERSION is not defined"
!endif
!ifndef STAGE
  !error "STAGE is not defined"
!endif
!ifndef OUTFILE
  !define OUTFILE "TovelaNotifier-${VERSION}-setup.exe"
!endif

!define PRODUCT "Tovela Notifier"
!define EXE "TovelaNotifier.exe"
!define FORM_CLASS "TovelaNotifierForm"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TovelaNotifier"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "Software\VB and VBA Program Settings\NotificadorTovela"
!define CLIENTS_KEY "Software\Clients\Mail"
!define DRAFTS_SHORTCUT "Tovelaの下書きフォルダ.lnk"
!define BRIEFCASE_SHORTCUT "Tovela Briefcase.lnk"

${UnStrStr}

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\TovelaNotifier"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
ManifestDPIAware true
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PRODUCT}"

!define MUI_ABORTWARNING
!define MUI_ICON "${STAGE}\TovelaNotifier.ico"
!define MUI_UNICON "${STAGE}\TovelaNotifier.ico"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "English"

LangString SecProgramName ${LANG_JAPANESE} "${PRODUCT} (必須)"
LangString SecProgramName ${LANG_ENGLISH} "${PRODUCT} (required)"
LangString SecAutoRunName ${LANG_JAPANESE} "Windows の起動時に自動実行する"
LangString SecAutoRunName ${LANG_ENGLISH} "Start with Windows"
LangString StillRunning ${LANG_JAPANESE} "${PRODUCT} が終了しません。終了してから、もう一度お試しください。"
LangString StillRunning ${LANG_ENGLISH} "${PRODUCT} does not end. End it and try again."

; Ends a running program the way the system does at the end of a session: its form runs the
; shutdown (settings saved, Send To shortcuts removed) before the process ends.
!macro EndRunningProgram un
  Function ${un}EndRunningProgram
    FindWindow $0 "${FORM_CLASS}"
    ${If} $0 == 0
      Return
    ${EndIf}
    SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=30000
    StrCpy $1 0
    ${Do}
      FindWindow $0 "${FORM_CLASS}"
      ${If} $0 == 0
      ${OrIf} $1 >= 100
        ${Break}
      ${EndIf}
      Sleep 100
      IntOp $1 $1 + 1
    ${Loop}
    ${If} $0 != 0
      MessageBox MB_ICONSTOP|MB_OK "$(StillRunning)" /SD IDOK
      Abort
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro EndRunningProgram ""
!insertmacro EndRunningProgram "un."

; Deletes a file that a process which just ended may still hold for a moment.
!macro DeleteWhenFree un
  Function ${un}DeleteWhenFree
    Exch $0
    Push $1
    StrCpy $1 0
    ${Do}
      Delete "$0"
      ${IfNot} ${FileExists} "$0"
      ${OrIf} $1 >= 50
        ${Break}
      ${EndIf}
      Sleep 100
      IntOp $1 $1 + 1
    ${Loop}
    Pop $1
    Pop $0
  FunctionEnd
!macroend
!insertmacro DeleteWhenFree ""
!insertmacro DeleteWhenFree "un."

Section "!$(SecProgramName)" SecProgram
  SectionIn RO
  Call EndRunningProgram
  SetOutPath "$INSTDIR"
  Push "$INSTDIR\${EXE}"
  Call DeleteWhenFree
  File "${STAGE}\${EXE}"
  File "${STAGE}\unread.wav"
  File "${STAGE}\README.txt"
  !if /FileExists "${STAGE}\tnmapi32.dll"
    File "${STAGE}\tnmapi32.dll"
  !endif
  !if /FileExists "${STAGE}\x86\tnmapi32.dll"
    SetOutPath "$INSTDIR\x86"
    File "${STAGE}\x86\tnmapi32.dll"
    SetOutPath "$INSTDIR"
  !endif
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0 \
    SW_SHOWNORMAL "" "${PRODUCT}"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\${EXE}",0'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1

  ; The program writes or removes the Run value at every start from its own setting, so the
  ; choice made here goes into that setting too.
  WriteRegStr HKCU "${SETTINGS_KEY}\Settings" "AutoRun" "0"
  DeleteRegValue HKCU "${RUN_KEY}" "TovelaNotifier"
SectionEnd

Section "$(SecAutoRunName)" SecAutoRun
  WriteRegStr HKCU "${SETTINGS_KEY}\Settings" "AutoRun" "1"
  WriteRegStr HKCU "${RUN_KEY}" "TovelaNotifier" '"$INSTDIR\${EXE}"'
SectionEnd

; Removes a key of another program's place (the mailto: class) only where it names ours.
!macro RemoveIfOurs KEY
  ReadRegStr $0 HKCU "${KEY}" ""
  ${UnStrStr} $1 $0 "$INSTDIR\${EXE}"
  ${If} $1 != ""
    DeleteRegKey HKCU "${KEY}"
  ${EndIf}
!macroend

; Removes a key only when nothing is left in it: no subkey, no value.
!macro RemoveIfBare KEY
  EnumRegKey $0 HKCU "${KEY}" 0
  EnumRegValue $1 HKCU "${KEY}" 0
  ReadRegStr $2 HKCU "${KEY}" ""
  ${If} "$0$1$2" == ""
    DeleteRegKey HKCU "${KEY}"
  ${EndIf}
!macroend

; The machine-wide client entry an administrator's run wrote, in the current registry view.
!macro RemoveMachineClient
  DeleteRegKey HKLM "${CLIENTS_KEY}\${PRODUCT}"
  ReadRegStr $0 HKLM "${CLIENTS_KEY}" ""
  ${If} $0 == "${PRODUCT}"
    DeleteRegValue HKLM "${CLIENTS_KEY}" ""
  ${EndIf}
!macroend

Section "Uninstall"
  Call un.EndRunningProgram

  Push "$INSTDIR\${EXE}"
  Call un.DeleteWhenFree
  Delete "$INSTDIR\unread.wav"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\tnmapi32.dll"
  Delete "$INSTDIR\x86\tnmapi32.dll"
  RMDir "$INSTDIR\x86"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$SENDTO\${DRAFTS_SHORTCUT}"
  Delete "$SENDTO\${BRIEFCASE_SHORTCUT}"
  ; The trace file, when the user switched tracing on; the ending program may hold it a
  ; moment longer than its window.
  StrCpy $1 0
  ${Do}
    RMDir /r "$APPDATA\NotificadorTovela"
    ${IfNot} ${FileExists} "$APPDATA\NotificadorTovela\*.*"
    ${OrIf} $1 >= 50
      ${Break}
    ${EndIf}
    Sleep 100
    IntOp $1 $1 + 1
  ${Loop}

  ; Settings and autorun.
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  !insertmacro RemoveIfBare "Software\VB and VBA Program Settings"
  DeleteRegValue HKCU "${RUN_KEY}" "TovelaNotifier"

  ; Mail program and mailto: handler, as far as they are ours.
  !insertmacro RemoveIfOurs "Software\Classes\mailto\shell\open\command"
  !insertmacro RemoveIfBare "Software\Classes\mailto\shell\open"
  !insertmacro RemoveIfBare "Software\Classes\mailto\shell"
  !insertmacro RemoveIfOurs "Software\Classes\mailto\DefaultIcon"
  !insertmacro RemoveIfBare "Software\Classes\mailto"
  DeleteRegKey HKCU "Software\Classes\TovelaNotifier.MailTo"
  DeleteRegKey HKCU "${CLIENTS_KEY}\${PRODUCT}"
  ReadRegStr $0 HKCU "${CLIENTS_KEY}" ""
  ${If} $0 == "${PRODUCT}"
    DeleteRegValue HKCU "${CLIENTS_KEY}" ""
  ${EndIf}
  !insertmacro RemoveIfBare "${CLIENTS_KEY}"
  !insertmacro RemoveIfBare "Software\Clients"
  DeleteRegValue HKCU "SOFTWARE\RegisteredApplications" "${PRODUCT}"
  ; The machine-wide entries an administrator's run wrote; without the rights this does
  ; nothing. The 64-bit program writes the 64-bit view, which this 32-bit uninstaller reaches
  ; only by asking: Windows shares the key between the views, Wine keeps two.
  !insertmacro RemoveMachineClient
  ${If} ${RunningX64}
    SetRegView 64
    !insertmacro RemoveMachineClient
    SetRegView default
  ${EndIf}

  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:${CLIENTS_KEY}" /TIMEOUT=100
SectionEnd
