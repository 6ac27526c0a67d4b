; Vellomar's setup for one Windows user: no administrator rights, the program
; in %LOCALAPPDATA%\Programs\Vellomar, a Start menu shortcut, optionally a start
; at login (minimized to the tray), and an uninstaller that keeps every record.
; scripts/package-windows.sh builds it:
;   makensis -DVERSION=1.0 -DFILE_VERSION=1.0.0.0 -DEXE=vellomar.exe
;            -DSAMPLE_INI=Vellomar.ini -DOUTFILE=setup.exe [-DICON=vellomar.ico] vellomar.nsi
; Silent use:
;   setup.exe /S [/HOST=Name,192.0.2.1] [/AUTOSTART] [/START] [/D=folder]
; A silent setup starts the monitor only with /START, and starts it at login
; only with /AUTOSTART or where an earlier installation did.
;   uninstall.exe /S
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include MUI2.nsh
!include nsDialogs.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vellomar"
; The window class of the monitor's main window.
!define MONITOR_CLASS "VellomarWindow"
!define PUBLISHER "Razvijalci programa Vellomar"

Name "Vellomar"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Vellomar"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Vellomar ${VERSION}"

VIProductVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=1060 "ProductName" "Vellomar"
VIAddVersionKey /LANG=1060 "FileDescription" "Namestitev programa Vellomar"
VIAddVersionKey /LANG=1060 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1060 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1060 "LegalCopyright" "${PUBLISHER}"

Var HostName
Var HostAddress
Var HostLine       ; "name, address" once checked; empty: none given
Var Autostart      ; 1 or 0
Var NameField
Var AddressField
Var AutostartBox

!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!insertmacro MUI_PAGE_DIRECTORY
Page custom HostPage HostPageLeave
!insertmacro MUI_PAGE_INSTFILES
; A monitor is only as good as the hours it runs: it starts when the setup ends, unless unticked.
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Zaženi Vellomar zdaj"
!define MUI_FINISHPAGE_RUN_FUNCTION StartMonitor
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Slovenian"

; Spaces at both ends of $R9 removed, and nothing else: the monitor trims so.
Function TrimSpaces
  ${DoWhile} "$R9" != ""
    StrCpy $R8 $R9 1
    ${IfThen} $R8 != " " ${|} ${ExitDo} ${|}
    StrCpy $R9 $R9 "" 1
  ${Loop}
  ${DoWhile} "$R9" != ""
    StrCpy $R8 $R9 1 -1
    ${IfThen} $R8 != " " ${|} ${ExitDo} ${|}
    StrCpy $R9 $R9 -1
  ${Loop}
FunctionEnd

; $R6 = the text in $R0 as one argument of a command line, in double quotes:
; a quote inside, and backslashes before a quote or the end, escaped so that
; the program reads the text back as it was.
Function QuoteArgument
  StrCpy $R6 ""
  StrCpy $R2 0        ; position
  StrCpy $R4 ""       ; backslashes not yet written
  ${Do}
    StrCpy $R3 $R0 1 $R2
    ${If} $R3 == "\"
      StrCpy $R4 "$R4\"
    ${ElseIf} $R3 == '"'
      StrCpy $R6 '$R6$R4$R4\"'
      StrCpy $R4 ""
    ${ElseIf} $R3 == ""
      StrCpy $R6 '"$R6$R4$R4"'
      ${ExitDo}
    ${Else}
      StrCpy $R6 "$R6$R4$R3"
      StrCpy $R4 ""
    ${EndIf}
    IntOp $R2 $R2 + 1
  ${Loop}
FunctionEnd

; Sets $HostLine from the text on the stack when the program itself accepts
; it as a host line (vellomar.exe --check-host), so that the setup and the
; monitor never disagree; empties it otherwise. The line is written as the
; program prints it: the name and the address trimmed of spaces.
Function CheckHostLine
  Pop $R7
  StrCpy $HostLine ""
  InitPluginsDir
  ${IfNot} ${FileExists} "$PLUGINSDIR\vellomar.exe"
    File "/oname=$PLUGINSDIR\vellomar.exe" "${EXE}"
  ${EndIf}
  StrCpy $R0 $R7
  Call QuoteArgument
  ExecWait '"$PLUGINSDIR\vellomar.exe" --check-host $R6' $R0
  ${IfThen} $R0 != 0 ${|} Return ${|}
  StrCpy $R4 0
  ${Do}
    StrCpy $R5 $R7 1 $R4
    ${IfThen} $R5 == "," ${|} ${ExitDo} ${|}
    IntOp $R4 $R4 + 1
  ${Loop}
  StrCpy $R9 $R7 $R4
  Call TrimSpaces
  StrCpy $HostName $R9
  IntOp $R4 $R4 + 1
  StrCpy $R9 $R7 "" $R4
  Call TrimSpaces
  StrCpy $HostAddress $R9
  StrCpy $HostLine "$HostName, $HostAddress"
FunctionEnd

; Asks a running monitor to close, as its window's close button does, and
; waits for its process to end: its files are then complete and free.
!macro CLOSE_MONITOR un
Function ${un}CloseMonitor
  StrCpy $R1 0
  ${Do}
    FindWindow $R0 "${MONITOR_CLASS}"
    ${IfThen} $R0 == 0 ${|} Return ${|}
    ${If} $R1 >= 5
      MessageBox MB_ICONSTOP "Vellomar se ni zaprl. Zaprite ga in poskusite znova." /SD IDOK
      SetErrorLevel 3
      Quit
    ${EndIf}
    System::Call 'user32::GetWindowThreadProcessId(p R0, *i .R2)'
    ; SYNCHRONIZE: enough to wait for it
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i R2) p .r3'
    SendMessage $R0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
    ${If} $3 != 0
      System::Call 'kernel32::WaitForSingleObject(p r3, i 15000) i .r4'
      System::Call 'kernel32::CloseHandle(p r3)'
    ${Else}
      Sleep 1000
    ${EndIf}
    IntOp $R1 $R1 + 1
  ${Loop}
FunctionEnd
!macroend
!insertmacro CLOSE_MONITOR ""
!insertmacro CLOSE_MONITOR "un."

; Vellomar.ini with $HostLine, in UTF-8 without a byte order mark.
Function WriteHostFile
  FileOpen $0 "$INSTDIR\Vellomar.ini" w
  FileWrite $0 "; Vellomar spremlja gostitelja v prvi vrstici, ki ni komentar:$\r$\n"
  FileWrite $0 "; ime, naslov IPv4$\r$\n"
  StrCpy $3 "$HostLine$\r$\n"
  System::Call 'kernel32::WideCharToMultiByte(i 65001, i 0, w r3, i -1, p 0, i 0, p 0, p 0) i .r1'
  System::Alloc $1
  Pop $2
  System::Call 'kernel32::WideCharToMultiByte(i 65001, i 0, w r3, i -1, p r2, i r1, p 0, p 0) i .r1'
  IntOp $1 $1 - 1
  System::Call 'kernel32::WriteFile(p r0, p r2, i r1, *i 0, p 0)'
  System::Free $2
  FileClose $0
FunctionEnd

; $R0 = the value of /HOST= on the command line, with or without quotes
; around it or around the whole option (as wine and many scripts quote an
; argument with spaces); the error flag is set when there is none.
Function GetHostOption
  ClearErrors
  ${GetParameters} $R1
  StrLen $R2 $R1
  StrCpy $R3 0
  ${Do}
    ${If} $R3 >= $R2
      SetErrors
      Return
    ${EndIf}
    StrCpy $R4 $R1 6 $R3
    ${IfThen} $R4 == "/HOST=" ${|} ${ExitDo} ${|}
    IntOp $R3 $R3 + 1
  ${Loop}
  StrCpy $R5 " /"
  ${If} $R3 > 0
    IntOp $R4 $R3 - 1
    StrCpy $R4 $R1 1 $R4
    ${IfThen} $R4 == "$\"" ${|} StrCpy $R5 "$\"" ${|}
  ${EndIf}
  IntOp $R3 $R3 + 6
  StrCpy $R1 $R1 "" $R3
  StrCpy $R4 $R1 1
  ${If} $R4 == "$\""
    StrCpy $R1 $R1 "" 1
    StrCpy $R5 "$\""
  ${EndIf}
  StrLen $R2 $R5
  StrCpy $R3 0
  ${Do}
    StrCpy $R4 $R1 $R2 $R3
    ${IfThen} $R4 == "" ${|} ${ExitDo} ${|}
    ${IfThen} $R4 == $R5 ${|} ${ExitDo} ${|}
    IntOp $R3 $R3 + 1
  ${Loop}
  StrCpy $R0 $R1 $R3
FunctionEnd

Function .onInit
  ; An earlier installation's start at login stays as it was chosen; a first
  ; one offers it ticked, and a silent one makes it only when asked.
  ReadRegStr $0 HKCU "${RUN_KEY}" "Vellomar"
  ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    StrCpy $Autostart 1
  ${ElseIf} $1 == ""
  ${AndIfNot} ${Silent}
    StrCpy $Autostart 1
  ${Else}
    StrCpy $Autostart 0
  ${EndIf}
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/AUTOSTART" $2
  ${IfNot} ${Errors}
    StrCpy $Autostart 1
  ${EndIf}
  Call GetHostOption
  ${IfNot} ${Errors}
    Push $R0
    Call CheckHostLine
    ${If} $HostLine == ""
      MessageBox MB_ICONSTOP "/HOST želi ime, vejico in naslov IPv4, na primer /HOST=Prehod,192.0.2.1" /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Function StartMonitor
  Exec '"$INSTDIR\vellomar.exe"'
FunctionEnd

Function HostPage
  !insertmacro MUI_HEADER_TEXT "Gostitelj in zagon" "Katerega gostitelja naj Vellomar spremlja in ali naj se zažene ob prijavi."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 12u "Ime gostitelja (na primer: Prehod ponudnika):"
  ${NSD_CreateText} 0 13u 100% 12u $HostName
  Pop $NameField
  ${NSD_CreateLabel} 0 32u 100% 12u "Naslov IPv4 (na primer: 192.0.2.1):"
  ${NSD_CreateText} 0 45u 100% 12u $HostAddress
  Pop $AddressField
  ${If} ${FileExists} "$INSTDIR\Vellomar.ini"
    ${NSD_CreateLabel} 0 62u 100% 20u "V mapi že je datoteka Vellomar.ini; ostane takšna, kot je."
    Pop $0
    EnableWindow $NameField 0
    EnableWindow $AddressField 0
  ${Else}
    ${NSD_CreateLabel} 0 62u 100% 20u "Pustite prazno za preizkus na 127.0.0.1; gostitelja lahko pozneje vpišete v Vellomar.ini."
    Pop $0
  ${EndIf}
  ${NSD_CreateCheckbox} 0 88u 100% 12u "Zaženi Vellomar ob prijavi (pomanjšan v sistemsko vrstico)"
  Pop $AutostartBox
  ${If} $Autostart == 1
    ${NSD_Check} $AutostartBox
  ${EndIf}
  ${NSD_SetFocus} $NameField
  nsDialogs::Show
FunctionEnd

Function HostPageLeave
  ${NSD_GetState} $AutostartBox $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $Autostart 1
  ${Else}
    StrCpy $Autostart 0
  ${EndIf}
  ${IfThen} ${FileExists} "$INSTDIR\Vellomar.ini" ${|} Return ${|}
  ${NSD_GetText} $NameField $1
  ${NSD_GetText} $AddressField $2
  StrCpy $HostLine ""
  ${IfThen} "$1$2" == "" ${|} Return ${|}
  Push "$1,$2"
  Call CheckHostLine
  ${If} $HostLine == ""
    MessageBox MB_ICONEXCLAMATION "Vpišite ime brez vejice in naslov IPv4 s štirimi števili od 0 do 255, na primer 192.0.2.1."
    Abort
  ${EndIf}
FunctionEnd

Section
  Call CloseMonitor
  SetOutPath "$INSTDIR"
  File "/oname=vellomar.exe" "${EXE}"
  ${IfNot} ${FileExists} "$INSTDIR\Vellomar.ini"
    ${If} $HostLine != ""
      Call WriteHostFile
    ${Else}
      File "/oname=Vellomar.ini" "${SAMPLE_INI}"
    ${EndIf}
  ${EndIf}
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\Vellomar.lnk" "$INSTDIR\vellomar.exe"
  ${If} $Autostart == 1
    WriteRegStr HKCU "${RUN_KEY}" "Vellomar" '"$INSTDIR\vellomar.exe" --minimized'
  ${Else}
    DeleteRegValue HKCU "${RUN_KEY}" "Vellomar"
  ${EndIf}
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Vellomar"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vellomar.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  SectionGetSize 0 $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${If} ${Silent}
    ${GetParameters} $1
    ClearErrors
    ${GetOptions} $1 "/START" $2
    ${IfNot} ${Errors}
      Call StartMonitor
    ${EndIf}
  ${EndIf}
SectionEnd

; The program goes; its records (PING_*.txt, GATEWAY_*.txt, ERR_list.csv, ERR_list.html) and
; Vellomar.ini stay, and so does the folder that holds them.
Section "Uninstall"
  Call un.CloseMonitor
  Delete "$INSTDIR\vellomar.exe"
  Delete "$SMPROGRAMS\Vellomar.lnk"
  DeleteRegValue HKCU "${RUN_KEY}" "Vellomar"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
