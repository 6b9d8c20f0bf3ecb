; The setup program qvn-<version>-setup.exe: puts the release package's files into a folder
; and runs QVNInstall from there, for the user who runs it (the default, no administrator
; rights) or for everyone on the computer (administrator rights, asked for only then).
; The uninstaller it leaves beside the files runs QVNRemove the same way and removes what the
; setup program put there, and nothing else.
;
; makensis gets these from make_installer.cmake:
;   VERSION (2.0.0), VERSION4 (2.0.0.7), OUTFILE, ICON, STAGE, the folder that holds the
;   package's files as they are installed, and PACKAGE_FILES, the include made from the
;   package's list (package/files.cmake) with the macros that name those files.
;
; Exit statuses: 0 when every step succeeded; 1 cancelled by the user; 2 stopped before
; anything was changed; the setup tool's own status when QVNInstall or QVNRemove fails; 8
; when the machine-wide registration did not take effect in time; 32 when administrator
; rights were refused; 64 when a file to replace or remove is in use; 65 when a newer version
; is installed.
;
; Command line: /S silent, /ALLUSERS for everyone on the computer (the first page is left
; out then). The uninstaller takes /S.

Unicode true
ManifestSupportedOS all
; Both kinds of installation start without administrator rights; the machine-wide one starts
; this program again elevated (see RunElevated), so that "For me" never shows a prompt.
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "WordFunc.nsh"
!include "nsDialogs.nsh"
!include "${PACKAGE_FILES}"

!define PRODUCT "Quorvane"
!define UNINSTALL_LIST "Software\Microsoft\Windows\CurrentVersion\Uninstall"
!define UNINSTALL_KEY "${UNINSTALL_LIST}\${PRODUCT}"
!define PROGID_KEY "Quorvane.Connect"
!define EXIT_NOT_REGISTERED 8
!define EXIT_REFUSED 32
!define EXIT_IN_USE 64
!define EXIT_NEWER_INSTALLED 65
; ShellExecuteEx reports this when the user answers No to the administrator prompt.
!define ERROR_CANCELLED 1223

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} Setup"
UninstallCaption "${PRODUCT} ${VERSION} Uninstall"
BrandingText "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PRODUCT}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey "LegalCopyright" "${PRODUCT}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

Var AllUsers          ; 1 for everyone on the computer
Var ChoiceGiven       ; 1 when the command line made the choice
Var RadioForMe
Var RadioForEveryone

Page custom ChoicePage ChoicePageLeave
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Functions the installer and the uninstaller both need; NSIS wants each in both name spaces.
!macro SharedFunctions UN

; Whether this process has administrator rights. QVN_INSTALLER_ELEVATION lets a test walk the
; path of a user without them where, as under Wine, every process has them: "relaunch" takes
; the elevated re-start (the variable is cleared for the child), "refuse" answers as a user
; who declines the prompt.
Function ${UN}HasAdministratorRights
    Push $0
    ReadEnvStr $0 QVN_INSTALLER_ELEVATION
    ${If} $0 == ""
        System::Call 'shell32::IsUserAnAdmin() i .r0'
        ${If} $0 <> 0
            StrCpy $0 1
        ${EndIf}
    ${Else}
        StrCpy $0 0
    ${EndIf}
    Exch $0
FunctionEnd

; Starts this program again with administrator rights and the parameters on the stack, waits
; for it and pushes its exit status, or ${EXIT_REFUSED} when the rights were refused.
Function ${UN}RunElevated
    Exch $0 ; parameters
    Push $1
    Push $2
    Push $3
    ReadEnvStr $1 QVN_INSTALLER_ELEVATION
    ${If} $1 == "refuse"
        StrCpy $0 ${EXIT_REFUSED}
        Goto done
    ${EndIf}
    System::Call 'kernel32::SetEnvironmentVariableW(w "QVN_INSTALLER_ELEVATION", p 0)'
    ; SHELLEXECUTEINFOW as a 32-bit program lays it out (60 bytes); SEE_MASK_NOCLOSEPROCESS
    ; | SEE_MASK_NOASYNC, so that the process handle comes back.
    System::Call '*(i 60, i 0x140, p $HWNDPARENT, w "runas", w "$EXEPATH", w r0, p 0, i ${SW_SHOWNORMAL}, p 0, p 0, p 0, p 0, i 0, p 0, p 0) p .r1'
    System::Call 'shell32::ShellExecuteExW(p r1) i .r2 ?e'
    Pop $3
    ${If} $2 = 0
        ${If} $3 <> ${ERROR_CANCELLED}
            DetailPrint "The setup program could not be started again with administrator rights (error $3)."
        ${EndIf}
        StrCpy $0 ${EXIT_REFUSED}
    ${Else}
        System::Call '*$1(i, i, p, p, p, p, p, i, p, p, p, p, i, p, p .r2)'
        System::Call 'kernel32::WaitForSingleObject(p r2, i -1)'
        System::Call 'kernel32::GetExitCodeProcess(p r2, *i .r0)'
        System::Call 'kernel32::CloseHandle(p r2)'
    ${EndIf}
    System::Free $1
done:
    Pop $3
    Pop $2
    Pop $1
    Exch $0
FunctionEnd

; Pushes the first of the installed files that exists and cannot be opened for writing with
; no sharing (a host has QVN.dll loaded, or a setup tool still runs), or "" when none is.
Function ${UN}FirstFileInUse
    Push $0
    Push $1
    Push $2
    StrCpy $2 ""
    !insertmacro ForEachPackageFile CheckFileInUse
    !if "${UN}" == ""
        ; The uninstaller runs from a copy in the temporary folder; its own file is free.
        !insertmacro CheckFileInUse "$INSTDIR\Uninstall.exe"
    !endif
    StrCpy $0 $2
    Pop $2
    Pop $1
    Exch $0
FunctionEnd

; Asks the user to close the hosts until every file is free; in silent mode, or when the user
; gives up, stops the section with ${EXIT_IN_USE} before anything was changed.
Function ${UN}WaitUntilFilesFree
    Push $0
retry:
    Call ${UN}FirstFileInUse
    Pop $0
    ${If} $0 != ""
        DetailPrint "$0 is in use."
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$0 is in use, most likely by a Visual Basic IDE or an Office program with the VBA editor open.$\r$\n$\r$\nClose the IDE or the Office program, then choose Retry." /SD IDCANCEL IDRETRY retry
        SetErrorLevel ${EXIT_IN_USE}
        Abort
    ${EndIf}
    Pop $0
FunctionEnd

; Waits until regsvr32, which the machine-wide tools start without waiting for it, has done
; its work: the ProgID is there (present 1) or gone (present 0). Pushes 1 when it happened
; within a minute.
Function ${UN}WaitForRegistration
    Exch $0 ; present
    Push $1
    Push $2
    StrCpy $2 0
    ${Do}
        ClearErrors
        ReadRegStr $1 HKCR "${PROGID_KEY}\CLSID" ""
        ${If} ${Errors}
            StrCpy $1 0
        ${Else}
            StrCpy $1 1
        ${EndIf}
        ${If} $1 = $0
            StrCpy $0 1
            ${Break}
        ${EndIf}
        ${If} $2 >= 240
            StrCpy $0 0
            ${Break}
        ${EndIf}
        Sleep 250
        IntOp $2 $2 + 1
    ${Loop}
    Pop $2
    Pop $1
    Exch $0
FunctionEnd

!macroend

!macro CheckFileInUse FILE
    ${If} $2 == ""
    ${AndIf} ${FileExists} "${FILE}"
        ; GENERIC_WRITE, no sharing, OPEN_EXISTING
        System::Call 'kernel32::CreateFileW(w "${FILE}", i 0x40000000, i 0, p 0, i 3, i 0x80, p 0) p .r0'
        ${If} $0 P= -1
            StrCpy $2 "${FILE}"
        ${Else}
            System::Call 'kernel32::CloseHandle(p r0)'
        ${EndIf}
    ${EndIf}
!macroend

!insertmacro SharedFunctions ""
!insertmacro SharedFunctions "un."

; The kind of installation decides the folder, the registry root of the Uninstall entry
; (SHCTX) and how QVNInstall is run.
Function UseChoice
    ${If} $AllUsers = 1
        SetShellVarContext all
        StrCpy $INSTDIR "$PROGRAMFILES32\${PRODUCT}"
    ${Else}
        SetShellVarContext current
        StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PRODUCT}"
    ${EndIf}
FunctionEnd

; Runs the program again elevated with these parameters and ends with its status.
!macro EndThroughElevatedRun PARAMETERS
    Push "${PARAMETERS}"
    Call RunElevated
    Pop $0
    ${If} $0 = ${EXIT_REFUSED}
        MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} was not installed: installing it for everyone on this computer needs administrator rights. Run the setup program again and choose $\"For me$\" to install it for yourself only." /SD IDOK
    ${EndIf}
    SetErrorLevel $0
    Quit
!macroend

Function .onInit
    StrCpy $AllUsers 0
    StrCpy $ChoiceGiven 0
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/ALLUSERS" $R1
    ${IfNot} ${Errors}
        StrCpy $AllUsers 1
        StrCpy $ChoiceGiven 1
    ${EndIf}
    ${If} $AllUsers = 1
        Call HasAdministratorRights
        Pop $0
        ${If} $0 = 0
            ${If} ${Silent}
                !insertmacro EndThroughElevatedRun "/S /ALLUSERS"
            ${Else}
                !insertmacro EndThroughElevatedRun "/ALLUSERS"
            ${EndIf}
        ${EndIf}
    ${EndIf}
    Call UseChoice
FunctionEnd

Function ChoicePage
    ${If} $ChoiceGiven = 1
        Abort
    ${EndIf}
    !insertmacro MUI_HEADER_TEXT "Install ${PRODUCT} ${VERSION}" "Choose who will use ${PRODUCT}, the message-box code builder."
    nsDialogs::Create 1018
    Pop $0
    ${If} $0 == error
        Abort
    ${EndIf}
    ${NSD_CreateRadioButton} 0 4u 100% 12u "For &me (no administrator rights needed)"
    Pop $RadioForMe
    ${NSD_CreateLabel} 12u 18u -12u 10u "Serves the VBA editor of Office, 32-bit and 64-bit: it reads only your own add-in entries."
    Pop $0
    ${NSD_CreateRadioButton} 0 42u 100% 12u "For &everyone on this computer (needs administrator rights)"
    Pop $RadioForEveryone
    ${NSD_CreateLabel} 12u 56u -12u 10u "Serves the Visual Basic 5.0 and 6.0 IDEs, which usually run as administrator."
    Pop $0
    ${If} $AllUsers = 1
        ${NSD_Check} $RadioForEveryone
    ${Else}
        ${NSD_Check} $RadioForMe
    ${EndIf}
    nsDialogs::Show
FunctionEnd

Function ChoicePageLeave
    ${NSD_GetState} $RadioForEveryone $0
    ${If} $0 = ${BST_CHECKED}
        StrCpy $AllUsers 1
        Call HasAdministratorRights
        Pop $0
        ${If} $0 = 0
            Push "/ALLUSERS"
            Call RunElevated
            Pop $0
            ${If} $0 = ${EXIT_REFUSED}
                MessageBox MB_OK|MB_ICONEXCLAMATION "Installing ${PRODUCT} for everyone on this computer needs administrator rights. Choose $\"For me$\" to install it for yourself only."
                StrCpy $AllUsers 0
                Abort
            ${EndIf}
            ; The elevated copy did the installation and showed its own pages.
            HideWindow
            SetErrorLevel $0
            Quit
        ${EndIf}
    ${Else}
        StrCpy $AllUsers 0
    ${EndIf}
    Call UseChoice
FunctionEnd

Function StopWithStatus
    Exch $0
    SetErrorLevel $0
    Pop $0
    Abort
FunctionEnd

Section "${PRODUCT}" SectionMain
    ; An installation of a newer version is left alone: its files would be replaced by older
    ; ones under its Uninstall entry.
    ClearErrors
    ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "DisplayVersion"
    ${IfNot} ${Errors}
        ${VersionCompare} "$0" "${VERSION}" $1
        ${If} $1 = 1
            DetailPrint "${PRODUCT} $0 is installed already."
            MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} $0, a newer version, is installed already. Remove it first to install ${VERSION}." /SD IDOK
            Push ${EXIT_NEWER_INSTALLED}
            Call StopWithStatus
        ${EndIf}
    ${EndIf}

    ; Every file must be replaceable before the first is replaced: a host that has the old
    ; QVN.dll loaded would otherwise leave old and new files side by side.
    Call WaitUntilFilesFree

    !insertmacro InstallPackageFiles
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    ; Written before QVNInstall runs, so that whatever it reports, the files can be removed
    ; through the system's list of programs. For everyone this is HKLM's key in the 32-bit
    ; view (Wow6432Node on 64-bit Windows), where a 32-bit program's entry belongs; the list
    ; of programs shows both views.
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Uninstall.exe,0"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
    SectionGetSize ${SectionMain} $0
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0

    ; A silent installation shows no window: the tools then report through their exit status
    ; alone, and have the registration tool work silently too.
    ${If} ${Silent}
        System::Call 'kernel32::SetEnvironmentVariableW(w "QVN_SETUP_QUIET", w "1")'
    ${EndIf}
    ClearErrors
    ${If} $AllUsers = 1
        DetailPrint "QVNInstall: adding ${PRODUCT} to vbaddin.ini and registering QVN.dll"
        ExecWait '"$INSTDIR\QVNInstall.exe"' $0
    ${Else}
        DetailPrint "QVNInstall /user: registering ${PRODUCT} for you"
        ExecWait '"$INSTDIR\QVNInstall.exe" /user' $0
    ${EndIf}
    ${If} ${Errors}
    ${OrIf} $0 <> 0
        DetailPrint "QVNInstall failed with exit status $0."
        MessageBox MB_OK|MB_ICONSTOP "QVNInstall could not install ${PRODUCT} (exit status $0); its message said why. The files stay in $INSTDIR: run the setup program again once the cause is gone, or remove ${PRODUCT} from the list of installed programs." /SD IDOK
        Push $0
        Call StopWithStatus
    ${EndIf}
    ${If} $AllUsers = 1
        ; QVNInstall leaves the registration to regsvr32 without waiting for it.
        Push 1
        Call WaitForRegistration
        Pop $0
        ${If} $0 <> 1
            DetailPrint "QVN.dll was not registered within a minute."
            MessageBox MB_OK|MB_ICONSTOP "QVN.dll was not registered: the registration tool did not succeed within a minute." /SD IDOK
            Push ${EXIT_NOT_REGISTERED}
            Call StopWithStatus
        ${EndIf}
    ${EndIf}
SectionEnd

; Removes one of the installed files; regsvr32 may still hold QVN.dll for a moment after the
; machine-wide removal, so it is tried again for up to half a minute.
!macro DeleteInstalled FILE
    StrCpy $1 0
    ${Do}
        Delete "${FILE}"
        ${IfNot} ${FileExists} "${FILE}"
        ${OrIf} $1 >= 120
            ${Break}
        ${EndIf}
        Sleep 250
        IntOp $1 $1 + 1
    ${Loop}
    ${If} ${FileExists} "${FILE}"
        DetailPrint "${FILE} could not be deleted."
        StrCpy $2 1
    ${EndIf}
!macroend

Function un.onInit
    StrCpy $AllUsers 0
    ; A machine-wide installation is the one whose folder HKLM's entry names.
    ClearErrors
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${IfNot} ${Errors}
    ${AndIf} $0 == $INSTDIR
        StrCpy $AllUsers 1
    ${EndIf}
    ${If} $AllUsers = 1
        SetShellVarContext all
        Call un.HasAdministratorRights
        Pop $0
        ${If} $0 = 0
            ; The folder goes last, as the uninstaller wants it.
            ${If} ${Silent}
                Push "/S _?=$INSTDIR"
            ${Else}
                Push "_?=$INSTDIR"
            ${EndIf}
            Call un.RunElevated
            Pop $0
            ${If} $0 = ${EXIT_REFUSED}
                MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} was installed for everyone on this computer; removing it needs administrator rights." /SD IDOK
            ${EndIf}
            SetErrorLevel $0
            Quit
        ${EndIf}
    ${Else}
        SetShellVarContext current
    ${EndIf}
FunctionEnd

Function un.StopWithStatus
    Exch $0
    SetErrorLevel $0
    Pop $0
    Abort
FunctionEnd

Section "Uninstall"
    Call un.WaitUntilFilesFree
    ${If} ${FileExists} "$INSTDIR\QVNRemove.exe"
        ${If} ${Silent}
            System::Call 'kernel32::SetEnvironmentVariableW(w "QVN_SETUP_QUIET", w "1")'
        ${EndIf}
        ClearErrors
        ${If} $AllUsers = 1
            DetailPrint "QVNRemove: removing ${PRODUCT} from vbaddin.ini and unregistering QVN.dll"
            ExecWait '"$INSTDIR\QVNRemove.exe"' $0
        ${Else}
            DetailPrint "QVNRemove /user: removing ${PRODUCT} for you"
            ExecWait '"$INSTDIR\QVNRemove.exe" /user' $0
        ${EndIf}
        ${If} ${Errors}
        ${OrIf} $0 <> 0
            DetailPrint "QVNRemove failed with exit status $0."
            MessageBox MB_OK|MB_ICONSTOP "QVNRemove could not remove ${PRODUCT} (exit status $0); its message said why. Nothing was deleted." /SD IDOK
            Push $0
            Call un.StopWithStatus
        ${EndIf}
        ${If} $AllUsers = 1
            Push 0
            Call un.WaitForRegistration
            Pop $0
            ${If} $0 <> 1
                DetailPrint "QVN.dll is still registered."
                MessageBox MB_OK|MB_ICONSTOP "QVN.dll is still registered a minute after QVNRemove; nothing was deleted." /SD IDOK
                Push ${EXIT_NOT_REGISTERED}
                Call un.StopWithStatus
            ${EndIf}
        ${EndIf}
    ${EndIf}

    ; Only what the setup program put there: a file of the user's keeps the folder.
    StrCpy $2 0
    !insertmacro ForEachPackageFile DeleteInstalled
    !insertmacro DeleteInstalled "$INSTDIR\Uninstall.exe"
    !insertmacro RemovePackageFolders
    RMDir "$INSTDIR"
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
    ; A user's list of installed programs may have been made for this one entry; the
    ; machine's list belongs to Windows and stays, even when empty.
    ${If} $AllUsers = 0
        DeleteRegKey /ifempty HKCU "${UNINSTALL_LIST}"
    ${EndIf}
    ${If} $2 = 1
        SetErrorLevel ${EXIT_IN_USE}
    ${EndIf}
SectionEnd
