; Windows installer of Purgo for Windows (NSIS 3, UTF-8 source: makensis -INPUTCHARSET UTF8).
; Defines given by installer/build-installer:
;   BINDIR   folder of PURGOWIN.exe and its libraries
;   DOCDIR   folder of the guide and the licence, already in CP1252 with CR LF
;   ICON     the program's icon
;   VERSION  file version of PURGOWIN.exe (four numbers)
;   SETTINGS_VERSION  product version text, which names the settings key ("4.0.0.0")
;   OUTFILE  the setup program to write
;   POLICIES the macros InstallPolicies and RemovePolicies, made from the administrators'
;            templates the tree holds (empty without them)
; The uninstaller removes exactly what was installed. The settings under Software\Corvane and
; the journal (PURGOWIN.LOG, wherever the user put it, even in the program folder) belong to
; the user and stay.

; A 64-bit setup for 64-bit binaries: Windows itself refuses to start it on a 32-bit system,
; with its own message in the system's language.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define PRODUCT "Purgo for Windows"
!define COMPANY "Corvane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define STARTMENU "$SMPROGRAMS\${PRODUCT}"
!define GUIDE "guide-utilisateur.txt"
!define LICENCE "LICENCE.txt"
!define UNINSTALLER "desinstaller.exe"
!define AGENT "PURGOSRV.exe"
; The cleaning agent starts at logon from the user's Run key, under the name the program and
; the options box keep in step with "Démarrer le service automatiquement".
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define AGENT_RUN_VALUE "${PRODUCT} - nettoyage automatique"
; The source of the program's and the agent's events in the Application log; the texts are
; in PURGOWIN.exe's message table.
!define EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\${PRODUCT}"
!define SERVICE_KEY "Software\${COMPANY}\${PRODUCT}\${SETTINGS_VERSION}\Service"
!define AUTO_START_VALUE "Demarrer le service automatiquement"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${COMPANY}"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1036 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1036 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1036 "FileDescription" "Installation de ${PRODUCT}"
VIAddVersionKey /LANG=1036 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "LegalCopyright" "Copyright © ${COMPANY} 1999-2026"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "${POLICIES}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
; No "start the program" box: started from the elevated setup, the program would keep its
; settings for administrators, and the user's own later start would not find them.
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\${GUIDE}"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Lire le guide de l'utilisateur"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${DOCDIR}/${LICENCE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "French"

; The program holds its files open while it runs: replacing or removing them then would leave
; a mixed or half-removed installation. Refuse before anything changes (exit code 2 in silent
; mode).
!define MAIN_WINDOW_CLASS "TUserMainForm"
!define RUNNING_TEXT "${PRODUCT} est ouvert. Fermez-le, puis recommencez."

!macro RefuseWhileRunning
  FindWindow $0 "${MAIN_WINDOW_CLASS}"
  ${If} $0 <> 0
    MessageBox MB_OK|MB_ICONSTOP "${RUNNING_TEXT}" /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
!macroend

; The running agent holds its files open: it is asked to end (and waited for) before its files
; are replaced or removed. Nothing to do when no agent runs (it then answers at once).
!macro StopAgent
  ${If} ${FileExists} "$INSTDIR\${AGENT}"
    ExecWait '"$INSTDIR\${AGENT}" /quit'
  ${EndIf}
!macroend

; $0 is 0 when "Démarrer le service automatiquement" was unticked, for this user or the
; machine, and 1 otherwise: an absent value is the default, ticked.
Function AutoStartWanted
  StrCpy $0 1
  ClearErrors
  ReadRegDWORD $1 HKCU "${SERVICE_KEY}" "${AUTO_START_VALUE}"
  ${IfNot} ${Errors}
  ${AndIf} $1 = 0
    StrCpy $0 0
  ${EndIf}
  ClearErrors
  ReadRegDWORD $1 HKLM "${SERVICE_KEY}" "${AUTO_START_VALUE}"
  ${IfNot} ${Errors}
  ${AndIf} $1 = 0
    StrCpy $0 0
  ${EndIf}
FunctionEnd

; Only for a person at the screen: a silent deployment runs under an administrator's account,
; whose Run key and session are not the users'. HKCU is that of the account that runs this
; elevated setup (another one when someone else confirmed the elevation). The agent is never
; started from this elevated process: it would clean with rights the user lacks (it refuses
; to, and ends). explorer.exe given a file hands it to the desktop's running shell, which
; starts it as the signed-in user with the session's own rights; where that fails, the Run
; value starts it at the next logon. Nothing here gives consent to automatic cleaning: only
; the options box records it, so the agent started now cleans only on demand until then.
Function StartAgentForUser
  ${If} ${Silent}
    Return
  ${EndIf}
  Call AutoStartWanted
  ${If} $0 = 1
    WriteRegStr HKCU "${RUN_KEY}" "${AGENT_RUN_VALUE}" '"$INSTDIR\${AGENT}"'
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\${AGENT}"'
  ${Else}
    DeleteRegValue HKCU "${RUN_KEY}" "${AGENT_RUN_VALUE}"
  ${EndIf}
FunctionEnd

; Shortcuts for every user, as the program goes into Program Files for every user. The
; uninstall entry goes to the registry's native (64-bit) view, where the system lists it.
Function .onInit
  SetShellVarContext all
  SetRegView 64
  !insertmacro RefuseWhileRunning
FunctionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
  !insertmacro RefuseWhileRunning
FunctionEnd

Section "Programme" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  !insertmacro StopAgent
  File "${BINDIR}/PURGOWIN.exe"
  File "${BINDIR}/purSearch.dll"
  File "${BINDIR}/${AGENT}"
  File "${BINDIR}/about.dll"
!if /FileExists "${BINDIR}/puroptions.dll"
  File "${BINDIR}/puroptions.dll"
!endif
  File "${DOCDIR}/${GUIDE}"
  File "${DOCDIR}/${LICENCE}"
  !insertmacro InstallPolicies
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  CreateDirectory "${STARTMENU}"
  CreateShortcut "${STARTMENU}\${PRODUCT}.lnk" "$INSTDIR\PURGOWIN.exe"
  CreateShortcut "${STARTMENU}\Guide de l'utilisateur.lnk" "$INSTDIR\${GUIDE}"
  CreateShortcut "${STARTMENU}\Désinstaller ${PRODUCT}.lnk" "$INSTDIR\${UNINSTALLER}"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\PURGOWIN.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$INSTDIR\PURGOWIN.exe"
  WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" "TypesSupported" 7
  SectionGetSize ${SecProgram} $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  Call StartAgentForUser
SectionEnd

; Files one by one and no recursive removal: the folder may have been chosen by the user
; (even an existing one) and may hold the journal, which stays with its folder.
Section "Uninstall"
  !insertmacro StopAgent
  DeleteRegValue HKCU "${RUN_KEY}" "${AGENT_RUN_VALUE}"
  Delete "$INSTDIR\PURGOWIN.exe"
  Delete "$INSTDIR\purSearch.dll"
  Delete "$INSTDIR\${AGENT}"
  Delete "$INSTDIR\about.dll"
  Delete "$INSTDIR\puroptions.dll"
  Delete "$INSTDIR\${GUIDE}"
  Delete "$INSTDIR\${LICENCE}"
  Delete "$INSTDIR\${UNINSTALLER}"
  !insertmacro RemovePolicies
  RMDir "$INSTDIR"

  Delete "${STARTMENU}\${PRODUCT}.lnk"
  Delete "${STARTMENU}\Guide de l'utilisateur.lnk"
  Delete "${STARTMENU}\Désinstaller ${PRODUCT}.lnk"
  RMDir "${STARTMENU}"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${EVENT_SOURCE_KEY}"
SectionEnd
