; The setup program. It installs the 32-bit module and, on x64 Windows, the
; 64-bit module too, each in the program-files folder of its bitness and
; registered by the regsvr32 of its bitness, so that 32-bit and 64-bit browser
; processes both find the button. It is itself a 32-bit program, so that it
; runs on 32-bit Windows as well.
;
; The build (tools/installer.cmake) passes the product's identity, read from
; the module's version block, and the two modules:
;   GD_PRODUCT GD_VERSION GD_PUBLISHER GD_COPYRIGHT GD_MODULE GD_DLL32 GD_DLL64 GD_OUTFILE

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
!insertmacro Needs GD_OUTFILE

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${GD_PRODUCT}"
!define UNINSTALLER "Uninstall.exe"

Name "${GD_PRODUCT} ${GD_VERSION}"
OutFile "${GD_OUTFILE}"
; The 32-bit module's folder; the 64-bit one is Dir64. There is no folder to
; choose: each module belongs in the program-files folder of its bitness.
InstallDir "$PROGRAMFILES32\${GD_PRODUCT}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${GD_VERSION}"
VIAddVersionKey /LANG=1033 ProductName "${GD_PRODUCT}"
VIAddVersionKey /LANG=1033 ProductVersion "${GD_VERSION}"
VIAddVersionKey /LANG=1033 CompanyName "${GD_PUBLISHER}"
VIAddVersionKey /LANG=1033 LegalCopyright "${GD_COPYRIGHT}"
VIAddVersionKey /LANG=1033 FileDescription "${GD_PRODUCT} setup"
VIAddVersionKey /LANG=1033 FileVersion "${GD_VERSION}"

Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; The 64-bit module's folder, or "" where only the 32-bit module belongs.
Var Dir64
; What went wrong, for the message that ends a failed installation.
Var Failure

; Only x64 Windows gets the 64-bit module: 32-bit Windows cannot load it, and
; on ARM64 Windows the native regsvr32 and browsers cannot either.
!macro SetDir64
    StrCpy $Dir64 ""
    ${If} ${IsNativeAMD64}
        StrCpy $Dir64 "$PROGRAMFILES64\${GD_PRODUCT}"
    ${EndIf}
!macroend

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

; Removes everything that the installation makes: the registrations, the
; modules, the uninstaller, the uninstall entry and the folders. It serves
; the uninstaller and the roll-back of a failed installation alike. Each
; module is unregistered while its file is still there; unregistering either
; one removes the toolbar button that both share. The uninstaller leaves a
; module that a browser still holds, and its folder, for the next restart; a
; roll-back removes only what it has just made, which nothing holds, so it
; schedules nothing (not a folder that some other file keeps, either).
!macro RemoveEverything un REBOOTOK
Function ${un}RemoveEverything
    ${If} $Dir64 != ""
    ${AndIf} ${FileExists} "$Dir64\${GD_MODULE}"
        DetailPrint "Unregistering $Dir64\${GD_MODULE}"
        !insertmacro Regsvr32 64 "/u /s" "$Dir64\${GD_MODULE}"
    ${EndIf}
    ${If} ${FileExists} "$INSTDIR\${GD_MODULE}"
        DetailPrint "Unregistering $INSTDIR\${GD_MODULE}"
        !insertmacro Regsvr32 32 "/u /s" "$INSTDIR\${GD_MODULE}"
    ${EndIf}
    ${If} $Dir64 != ""
        Delete ${REBOOTOK} "$Dir64\${GD_MODULE}"
        RMDir ${REBOOTOK} "$Dir64"
    ${EndIf}
    Delete ${REBOOTOK} "$INSTDIR\${GD_MODULE}"
    Delete ${REBOOTOK} "$INSTDIR\${UNINSTALLER}"
    RMDir ${REBOOTOK} "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
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

Function .onInit
    ; A folder given with /D would split the product from its 64-bit half
    ; and from where the uninstaller looks: refuse it rather than ignore it.
    ${If} $INSTDIR != "$PROGRAMFILES32\${GD_PRODUCT}"
        MessageBox MB_OK|MB_ICONSTOP "This setup program installs into the program-files folders and takes no /D folder." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
    !insertmacro SetDir64
FunctionEnd

Section "${GD_PRODUCT}"
    ; "try": a file that cannot be written (a browser holding the previous
    ; module) sets the error flag instead of asking, so the installation
    ; can roll back as a whole.
    SetOverwrite try
    ClearErrors
    SetOutPath "$INSTDIR"
    File "/oname=${GD_MODULE}" "${GD_DLL32}"
    ${If} ${Errors}
        StrCpy $Failure "Could not write $INSTDIR\${GD_MODULE}. Close every browser window and run the setup program again."
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
    DetailPrint "Registering $INSTDIR\${GD_MODULE}"
    !insertmacro Regsvr32 32 "/s" "$INSTDIR\${GD_MODULE}"
    ${If} $0 != 0
        StrCpy $Failure "The 32-bit module $INSTDIR\${GD_MODULE} could not be registered (regsvr32 exit code $0)."
        Call Fail
    ${EndIf}
    ${If} $Dir64 != ""
        DetailPrint "Registering $Dir64\${GD_MODULE}"
        !insertmacro Regsvr32 64 "/s" "$Dir64\${GD_MODULE}"
        ${If} $0 != 0
            StrCpy $Failure "The 64-bit module $Dir64\${GD_MODULE} could not be registered (regsvr32 exit code $0)."
            Call Fail
        ${EndIf}
    ${EndIf}

    ; The modules' size, in KB, before the error flag counts again.
    ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
    ${If} $Dir64 != ""
        ${GetSize} "$Dir64" "/S=0K" $2 $3 $4
        IntOp $1 $1 + $2
    ${EndIf}
    ClearErrors
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${GD_PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${GD_VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${GD_PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${GD_MODULE},0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1
    ${If} ${Errors}
        StrCpy $Failure "Could not write the uninstaller or its entry in the list of installed programs."
        Call Fail
    ${EndIf}
SectionEnd

Function un.onInit
    !insertmacro SetDir64
FunctionEnd

Section "Uninstall"
    Call un.RemoveEverything
    ; 3010, "restart required", is what deployment tools look for.
    ${If} ${RebootFlag}
        MessageBox MB_OK|MB_ICONINFORMATION "A browser still holds ${GD_PRODUCT}: its files go when Windows restarts." /SD IDOK
        SetErrorLevel 3010
    ${EndIf}
SectionEnd
