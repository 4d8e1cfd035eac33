; The setup program. It installs the 32-bit module and, on x64 Windows, the
; 64-bit module too, so that 32-bit and 64-bit browser processes both find the
; button. It is itself a 32-bit program, so that it runs on 32-bit Windows as
; well. It installs in one of two modes, chosen on its page or with /AllUsers
; or /CurrentUser:
; - for all users: each module in the program-files folder of its bitness,
;   registered by the regsvr32 of its bitness, the uninstall entry in HKLM;
; - just for the current user, needing no administrator rights: each module
;   in a folder of its bitness under %LOCALAPPDATA%\Programs\<product>,
;   registered in HKEY_CURRENT_USER\Software\Classes by the registration
;   helper of its bitness, the uninstall entry in HKCU.
; Either way the module's own DllRegisterServer writes what its registry
; script says; this script never restates it. The two modes never coexist.
;
; The build (tools/installer.cmake) passes the product's identity, read from
; the module's version block, the two modules, the two helpers and the icon:
;   GD_PRODUCT GD_VERSION GD_PUBLISHER GD_COPYRIGHT GD_MODULE GD_DLL32 GD_DLL64
;   GD_HELPER32 GD_HELPER64 GD_ICON GD_OUTFILE

!macro Needs define
    !ifndef ${define}
        !error "${define} is not defined: make the setup program with the build's setup target"
    !endif
!macroend
!insertmacro Needs GD_PRODUCT
!insertmacro Needs GD_VERSION
!insertmacro Needs GD_PUBLISHER
!insertmacro Needs GD_COPYRIGHT
!insertmacro Needs GD_MODULE
!insertmacro Needs GD_DLL32
!insertmacro Needs GD_DLL64
!insertmacro Needs GD_HELPER32
!insertmacro Needs GD_HELPER64
!insertmacro Needs GD_ICON
!insertmacro Needs GD_OUTFILE

Unicode true
SetCompressor /SOLID lzma

; Administrators are asked to elevate and get both modes; other users get
; the per-user mode without being asked.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_FUNCTION SetFolders
!define MULTIUSER_INSTALLMODE_UNFUNCTION un.SetFolders
!define MULTIUSER_INSTALLMODEPAGE_SHOWUSERNAME
!define MULTIUSER_INSTALLMODEPAGE_TEXT_TOP "Select whether you want to install $(^NameDA) for all users of this computer or only for yourself.$\r$\n$\r$\nFor all users it goes into the program-files folders. Just for you it goes into your own application data folder and needs no administrator rights."
!define MULTIUSER_PAGE_CUSTOMFUNCTION_LEAVE LeaveModePage
!include MultiUser.nsh
; MultiUser.nsh brings a string search for the uninstaller's switches, which
; this uninstaller does not read (its folder tells its mode).
!pragma warning disable 6010
!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${GD_PRODUCT}"
!define UNINSTALLER "Uninstall.exe"
!define HELPER "glimmerdeck-user-register"

Name "${GD_PRODUCT} ${GD_VERSION}"
OutFile "${GD_OUTFILE}"
; There is no folder to choose: each mode has its own. This one only tells
; .onInit whether a folder was given with /D.
InstallDir "$PROGRAMFILES32\${GD_PRODUCT}"
ShowInstDetails hide
ShowUninstDetails hide
BrandingText "${GD_PRODUCT} ${GD_VERSION}"

VIProductVersion "${GD_VERSION}"
VIAddVersionKey /LANG=1033 ProductName "${GD_PRODUCT}"
VIAddVersionKey /LANG=1033 ProductVersion "${GD_VERSION}"
VIAddVersionKey /LANG=1033 CompanyName "${GD_PUBLISHER}"
VIAddVersionKey /LANG=1033 LegalCopyright "${GD_COPYRIGHT}"
VIAddVersionKey /LANG=1033 FileDescription "${GD_PRODUCT} setup"
VIAddVersionKey /LANG=1033 FileVersion "${GD_VERSION}"

!define MUI_ICON "${GD_ICON}"
!define MUI_UNICON "${GD_ICON}"

!define MUI_WELCOMEPAGE_TEXT "This will install $(^NameDA) on your computer.$\r$\n$\r$\n${GD_PRODUCT} puts a button on your browser's toolbar that shows the HTML code of the page you are looking at, in a window of its own.$\r$\n$\r$\nClose your browser before you continue.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "${GD_PRODUCT} is installed"
!define MUI_FINISHPAGE_TEXT "${GD_PRODUCT} is installed. Open your browser: the button is on its toolbar, and $\"Displays current page HTML code$\" is in its Tools menu.$\r$\n$\r$\nA browser that was running during the installation shows the button only after you close it and start it again."
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; A module that a browser still holds is removed at the next restart; a
; message says so, as it does in silent mode, rather than offering a restart.
!define MUI_FINISHPAGE_NOREBOOTSUPPORT
!define MUI_FINISHPAGE_TITLE "${GD_PRODUCT} is removed"
!define MUI_FINISHPAGE_TEXT "${GD_PRODUCT} has been removed from your computer.$\r$\n$\r$\nA browser that was running shows the button until you close it."
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "English"

; Each module's folder: the 64-bit one is "" where only the 32-bit module
; belongs.
Var Dir32
Var Dir64
; What went wrong, for the message that ends a failed installation.
Var Failure

; The folders of the chosen mode. Only x64 Windows gets the 64-bit module:
; 32-bit Windows cannot load it, and on ARM64 Windows the native regsvr32 and
; browsers cannot either. The uninstaller keeps its own folder as $INSTDIR.
!macro SetFolders un
Function ${un}SetFolders
    StrCpy $Dir64 ""
    ${If} $MultiUser.InstallMode == AllUsers
        !if "${un}" == ""
            StrCpy $INSTDIR "$PROGRAMFILES32\${GD_PRODUCT}"
        !endif
        StrCpy $Dir32 "$INSTDIR"
        ${If} ${IsNativeAMD64}
            StrCpy $Dir64 "$PROGRAMFILES64\${GD_PRODUCT}"
        ${EndIf}
    ${Else}
        !if "${un}" == ""
            StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${GD_PRODUCT}"
        !endif
        StrCpy $Dir32 "$INSTDIR\x86"
        ${If} ${IsNativeAMD64}
            StrCpy $Dir64 "$INSTDIR\x64"
        ${EndIf}
    ${EndIf}
FunctionEnd
!macroend
!insertmacro SetFolders ""
!insertmacro SetFolders "un."

; Runs the regsvr32 of the given bitness with ARGS on MODULE; its exit code
; (0 when it registered) lands in $0, "not started" when it could not run.
; $SYSDIR is SysWOW64 for this 32-bit program on 64-bit Windows and the one
; System32 on 32-bit Windows; with redirection off it is the 64-bit System32.
!macro Regsvr32 BITS ARGS MODULE
    !if ${BITS} == 64
        ${DisableX64FSRedirection}
    !endif
    ClearErrors
    ExecWait '"$SYSDIR\regsvr32.exe" ${ARGS} "${MODULE}"' $0
    ${If} ${Errors}
        StrCpy $0 "not started"
    ${EndIf}
    !if ${BITS} == 64
        ${EnableX64FSRedirection}
    !endif
!macroend

; The per-user mode's registration helpers, in the plug-ins folder that goes
; when the program ends.
!macro UnpackHelpers
    ${IfNot} ${FileExists} "$PLUGINSDIR\${HELPER}-32.exe"
        InitPluginsDir
        File "/oname=$PLUGINSDIR\${HELPER}-32.exe" "${GD_HELPER32}"
        File "/oname=$PLUGINSDIR\${HELPER}-64.exe" "${GD_HELPER64}"
    ${EndIf}
!macroend

; Runs the registration helper of the given bitness, ACTION --register or
; --unregister, on MODULE. $0 is its exit code (0 when done, "error" when it
; could not start), $1 what went wrong, without the line end.
!macro UserRegister BITS ACTION MODULE
    nsExec::ExecToStack '"$PLUGINSDIR\${HELPER}-${BITS}.exe" ${ACTION} "${MODULE}"'
    Pop $0
    Pop $1
    ${Do}
        StrCpy $2 $1 1 -1
        ${If} $2 != "$\n"
        ${AndIf} $2 != "$\r"
            ${Break}
        ${EndIf}
        StrCpy $1 $1 -1
    ${Loop}
    ${If} $0 == "error"
        StrCpy $1 "${HELPER}-${BITS}.exe could not be started"
    ${ElseIf} $1 == ""
        StrCpy $1 "${HELPER} exit code $0"
    ${EndIf}
!macroend

; Removes everything that the installation of the current mode makes: the
; registrations, the modules, the uninstaller, the uninstall entry and the
; folders. It serves the uninstaller and the roll-back of a failed
; installation alike. Each module is unregistered while its file is still
; there; unregistering either one removes the toolbar button that both share.
; The uninstaller leaves a module that a browser still holds, and its folder,
; for the next restart; a roll-back removes only what it has just made,
; which nothing holds, so it schedules nothing (not a folder that some other
; file keeps, either).
!macro RemoveEverything un REBOOTOK
Function ${un}RemoveEverything
    ${If} $MultiUser.InstallMode == CurrentUser
        !insertmacro UnpackHelpers
    ${EndIf}
    ${If} $Dir64 != ""
    ${AndIf} ${FileExists} "$Dir64\${GD_MODULE}"
        DetailPrint "Unregistering $Dir64\${GD_MODULE}"
        ${If} $MultiUser.InstallMode == AllUsers
            !insertmacro Regsvr32 64 "/u /s" "$Dir64\${GD_MODULE}"
        ${Else}
            !insertmacro UserRegister 64 --unregister "$Dir64\${GD_MODULE}"
            ${If} $0 != 0
                DetailPrint "$1"
            ${EndIf}
        ${EndIf}
    ${EndIf}
    ${If} ${FileExists} "$Dir32\${GD_MODULE}"
        DetailPrint "Unregistering $Dir32\${GD_MODULE}"
        ${If} $MultiUser.InstallMode == AllUsers
            !insertmacro Regsvr32 32 "/u /s" "$Dir32\${GD_MODULE}"
        ${Else}
            !insertmacro UserRegister 32 --unregister "$Dir32\${GD_MODULE}"
            ${If} $0 != 0
                DetailPrint "$1"
            ${EndIf}
        ${EndIf}
    ${EndIf}
    ${If} $Dir64 != ""
        Delete ${REBOOTOK} "$Dir64\${GD_MODULE}"
        RMDir ${REBOOTOK} "$Dir64"
    ${EndIf}
    Delete ${REBOOTOK} "$Dir32\${GD_MODULE}"
    RMDir ${REBOOTOK} "$Dir32"
    Delete ${REBOOTOK} "$INSTDIR\${UNINSTALLER}"
    RMDir ${REBOOTOK} "$INSTDIR"
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
    ${If} $MultiUser.InstallMode == CurrentUser
        ; Folders and keys that this installation made when it was the
        ; user's first program, class, toolbar button or uninstall entry of
        ; their own go too, if nothing else has come into them.
        RMDir "$LOCALAPPDATA\Programs"
        ${If} $Dir64 != ""
            SetRegView 64
            DeleteRegKey /ifempty HKCU "Software\Classes\CLSID"
            SetRegView lastused
        ${EndIf}
        DeleteRegKey /ifempty HKCU "Software\Classes\CLSID"
        DeleteRegKey /ifempty HKCU "Software\Classes"
        DeleteRegKey /ifempty HKCU "Software\Microsoft\Internet Explorer\Extensions"
        DeleteRegKey /ifempty HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall"
    ${EndIf}
FunctionEnd
!macroend
!insertmacro RemoveEverything "" ""
!insertmacro RemoveEverything "un." "/REBOOTOK"

; Ends a failed installation: rolls back, says why (a message box, or in
; silent mode only the exit code 2) and marks the installation failed.
Function Fail
    DetailPrint "$Failure"
    DetailPrint "Rolling back"
    Call RemoveEverything
    MessageBox MB_OK|MB_ICONSTOP "$Failure$\r$\n$\r$\n${GD_PRODUCT} has not been installed." /SD IDOK
    SetErrorLevel 2
    Abort "${GD_PRODUCT} has not been installed."
FunctionEnd

; Why the chosen mode cannot be installed beside the other one, or "" in $0.
; Two registrations of one class would fight, and each uninstaller would
; remove the toolbar button that the other one still needs.
Function WhyNotBesideTheOtherMode
    StrCpy $0 ""
    ${If} $MultiUser.InstallMode == CurrentUser
        ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "UninstallString"
        ${If} $1 != ""
            StrCpy $0 "${GD_PRODUCT} is already installed for all users of this computer. Remove it from there first, or install it for all users."
        ${EndIf}
    ${Else}
        ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "UninstallString"
        ${If} $1 != ""
            StrCpy $0 "${GD_PRODUCT} is already installed just for you. Remove it from there first, or install it just for you."
        ${EndIf}
    ${EndIf}
FunctionEnd

; The choice stays open: the user may take the other mode instead.
Function LeaveModePage
    Call WhyNotBesideTheOtherMode
    ${If} $0 != ""
        MessageBox MB_OK|MB_ICONSTOP "$0"
        Abort
    ${EndIf}
FunctionEnd

Function .onInit
    ; A folder given with /D would split the product from its 64-bit half
    ; and from where the uninstaller looks: refuse it rather than ignore it.
    ${If} $INSTDIR != "$PROGRAMFILES32\${GD_PRODUCT}"
        MessageBox MB_OK|MB_ICONSTOP "This setup program installs into folders of its own and takes no /D folder." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}

    ; MultiUser.nsh answers /AllUsers from a user without administrator
    ; rights with a message box that even silent mode shows, and then quits
    ; as if it had succeeded: answer it here instead.
    UserInfo::GetAccountType
    Pop $0
    ${GetParameters} $1
    ${StrStr} $2 $1 "/AllUsers"
    ${If} $2 != ""
    ${AndIf} $0 != Admin
    ${AndIf} $0 != Power
        MessageBox MB_OK|MB_ICONSTOP "Installing ${GD_PRODUCT} for all users of this computer needs administrator rights. Run the setup program as an administrator, or with /CurrentUser to install it just for you." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}

    !insertmacro MULTIUSER_INIT

    ; A silent installation without /CurrentUser has always been one for
    ; all users: a deployment that asked for that must not get a per-user
    ; one because it ran without administrator rights.
    ${StrStr} $2 $MultiUser.Parameters "/CurrentUser"
    ${If} ${Silent}
    ${AndIf} $MultiUser.InstallMode != AllUsers
    ${AndIf} $2 == ""
        SetErrorLevel 2
        Quit
    ${EndIf}
FunctionEnd

Section "${GD_PRODUCT}"
    ; Refused before anything is written, so nothing is rolled back either.
    Call WhyNotBesideTheOtherMode
    ${If} $0 != ""
        DetailPrint "$0"
        MessageBox MB_OK|MB_ICONSTOP "$0$\r$\n$\r$\n${GD_PRODUCT} has not been installed." /SD IDOK
        SetErrorLevel 2
        Abort "${GD_PRODUCT} has not been installed."
    ${EndIf}
    ${If} $MultiUser.InstallMode == CurrentUser
        !insertmacro UnpackHelpers
    ${EndIf}

    ; "try": a file that cannot be written (a browser holding the previous
    ; module) sets the error flag instead of asking, so the installation
    ; can roll back as a whole.
    SetOverwrite try
    ClearErrors
    SetOutPath "$Dir32"
    File "/oname=${GD_MODULE}" "${GD_DLL32}"
    ${If} ${Errors}
        StrCpy $Failure "Could not write $Dir32\${GD_MODULE}. Close every browser window and run the setup program again."
        Call Fail
    ${EndIf}
    ${If} $Dir64 != ""
        SetOutPath "$Dir64"
        File "/oname=${GD_MODULE}" "${GD_DLL64}"
        ${If} ${Errors}
            StrCpy $Failure "Could not write $Dir64\${GD_MODULE}. Close every browser window and run the setup program again."
            Call Fail
        ${EndIf}
    ${EndIf}
    ; Leave no folder in use, so that a roll-back can remove them.
    SetOutPath "$TEMP"

    ; The 32-bit module first: where both are registered, the shared toolbar
    ; button then names the 64-bit module, the one that 64-bit browsers load.
    DetailPrint "Registering $Dir32\${GD_MODULE}"
    ${If} $MultiUser.InstallMode == AllUsers
        !insertmacro Regsvr32 32 "/s" "$Dir32\${GD_MODULE}"
        StrCpy $1 "regsvr32 exit code $0"
    ${Else}
        !insertmacro UserRegister 32 --register "$Dir32\${GD_MODULE}"
    ${EndIf}
    ${If} $0 != 0
        StrCpy $Failure "The 32-bit module $Dir32\${GD_MODULE} could not be registered ($1)."
        Call Fail
    ${EndIf}
    ${If} $Dir64 != ""
        DetailPrint "Registering $Dir64\${GD_MODULE}"
        ${If} $MultiUser.InstallMode == AllUsers
            !insertmacro Regsvr32 64 "/s" "$Dir64\${GD_MODULE}"
            StrCpy $1 "regsvr32 exit code $0"
        ${Else}
            !insertmacro UserRegister 64 --register "$Dir64\${GD_MODULE}"
        ${EndIf}
        ${If} $0 != 0
            StrCpy $Failure "The 64-bit module $Dir64\${GD_MODULE} could not be registered ($1)."
            Call Fail
        ${EndIf}
    ${EndIf}

    ; The modules' size, in KB, before the error flag counts again.
    ${GetSize} "$Dir32" "/S=0K" $1 $2 $3
    ${If} $Dir64 != ""
        ${GetSize} "$Dir64" "/S=0K" $2 $3 $4
        IntOp $1 $1 + $2
    ${EndIf}
    ClearErrors
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"
    ; SHCTX: HKLM for all users, HKCU just for me.
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${GD_PRODUCT}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${GD_VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${GD_PUBLISHER}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$Dir32\${GD_MODULE},0"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $1
    ${If} ${Errors}
        StrCpy $Failure "Could not write the uninstaller or its entry in the list of installed programs."
        Call Fail
    ${EndIf}
SectionEnd

; The uninstaller's mode is that of the installation it belongs to, which
; its own folder tells; switches on its command line do not change it. A
; folder of neither mode (a copy elsewhere, or another user's folder) would
; have it remove what belongs to some other installation: it refuses.
Function un.onInit
    UserInfo::GetAccountType
    Pop $MultiUser.Privileges
    SetShellVarContext current
    ${If} $INSTDIR == "$LOCALAPPDATA\Programs\${GD_PRODUCT}"
        Call un.MultiUser.InstallMode.CurrentUser
    ${ElseIf} $INSTDIR != "$PROGRAMFILES32\${GD_PRODUCT}"
        MessageBox MB_OK|MB_ICONSTOP "This uninstaller belongs to no installation of ${GD_PRODUCT} for you or for all users of this computer: $INSTDIR." /SD IDOK
        SetErrorLevel 2
        Quit
    ${ElseIf} $MultiUser.Privileges == Admin
    ${OrIf} $MultiUser.Privileges == Power
        Call un.MultiUser.InstallMode.AllUsers
    ${Else}
        MessageBox MB_OK|MB_ICONSTOP "${GD_PRODUCT} is installed for all users of this computer: removing it needs administrator rights." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
FunctionEnd

Section "Uninstall"
    Call un.RemoveEverything
    ; 3010, "restart required", is what deployment tools look for.
    ${If} ${RebootFlag}
        MessageBox MB_OK|MB_ICONINFORMATION "A browser still holds ${GD_PRODUCT}: its files go when Windows restarts." /SD IDOK
        SetErrorLevel 3010
    ${EndIf}
SectionEnd
