; The Windows installer: the library, the device library, the PKCS #11
; module and the tool in <folder>\bin, the header and import library for
; developers in <folder>\include and <folder>\lib, and the README. For the
; user who runs it: no administrator rights, the folder goes on the user's
; PATH, and the uninstaller is registered with Windows. Silent with /S; a
; chosen folder with /D=<folder> (last, unquoted).
;
; Packed by scripts/windows.sh:
;   makensis -DTARGET=x86-unicode -DVERSION=<version> -DBUILD=<build dir>
;            -DSOURCE=<source dir> -DOUTFILE=<installer> tkp30.nsi
; TARGET amd64-unicode packs a 64-bit build into a 64-bit installer, for
; the tests on machines that run no 32-bit programs.

Unicode true
Target ${TARGET}
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "LogicLib.nsh"
!include "WinMessages.nsh"

!define PRODUCT "TKP30"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define ENVIRONMENT_KEY "Environment"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; $R0: a PATH; $R1: one folder. Gives in $R2 the PATH without that folder
; (with or without a trailing backslash, in any case, as Windows compares
; them) and in $R3 "1" when it was there, else "0". Uses $R4 to $R6.
!macro DROP_FROM_PATH un
Function ${un}DropFromPath
  StrCpy $R2 ""
  StrCpy $R3 "0"
  ${DoWhile} $R0 != ""
    StrCpy $R4 0
    ${Do}
      StrCpy $R5 $R0 1 $R4
      ${IfThen} $R5 == ";" ${|} ${ExitDo} ${|}
      ${IfThen} $R5 == "" ${|} ${ExitDo} ${|}
      IntOp $R4 $R4 + 1
    ${Loop}
    StrCpy $R6 $R0 $R4
    IntOp $R4 $R4 + 1
    StrCpy $R0 $R0 "" $R4
    ${If} $R6 == $R1
    ${OrIf} $R6 == "$R1\"
      StrCpy $R3 "1"
    ${ElseIf} $R2 == ""
      StrCpy $R2 $R6
    ${Else}
      StrCpy $R2 "$R2;$R6"
    ${EndIf}
  ${Loop}
FunctionEnd
!macroend
!insertmacro DROP_FROM_PATH ""
!insertmacro DROP_FROM_PATH "un."

; NSIS reads at most ${NSIS_MAX_STRLEN} characters of a string: a longer
; PATH would come back cut short, and writing it back would lose folders.
; Such a PATH is left as it is, and the user is told why.
!macro PATH_FITS un
Function ${un}PathFits
  StrLen $R7 $R0
  StrLen $R8 ";$R1"
  IntOp $R7 $R7 + $R8
  ${If} $R7 >= ${NSIS_MAX_STRLEN}
    StrCpy $R9 "0"
  ${Else}
    StrCpy $R9 "1"
  ${EndIf}
FunctionEnd
!macroend
!insertmacro PATH_FITS ""
!insertmacro PATH_FITS "un."

Function AddToPath
  ReadRegStr $R0 HKCU "${ENVIRONMENT_KEY}" "Path"
  StrCpy $R1 "$INSTDIR\bin"
  Call PathFits
  ${If} $R9 != "1"
    DetailPrint "Your PATH is too long for this installer to change safely."
    MessageBox MB_ICONINFORMATION|MB_OK "Your PATH is too long for this installer to change \
      safely, so it is left as it is. Add $R1 to it yourself to run tkp30 from anywhere." /SD IDOK
    Return
  ${EndIf}
  StrCpy $R7 $R0
  Call DropFromPath
  ${If} $R3 == "1"
    DetailPrint "$R1 is on your PATH already."
    Return
  ${EndIf}
  ${If} $R7 == ""
    StrCpy $R7 $R1
  ${Else}
    StrCpy $R7 "$R7;$R1"
  ${EndIf}
  WriteRegExpandStr HKCU "${ENVIRONMENT_KEY}" "Path" $R7
  ; Only what the installer added is removed again.
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "PathAdded" 1
  DetailPrint "Added $R1 to your PATH."
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:${ENVIRONMENT_KEY}" /TIMEOUT=5000
FunctionEnd

Function un.RemoveFromPath
  ReadRegDWORD $R7 HKCU "${UNINSTALL_KEY}" "PathAdded"
  ${IfThen} $R7 != "1" ${|} Return ${|}
  ReadRegStr $R0 HKCU "${ENVIRONMENT_KEY}" "Path"
  StrCpy $R1 "$INSTDIR\bin"
  Call un.PathFits
  ${If} $R9 != "1"
    DetailPrint "Your PATH is too long to change safely: remove $R1 from it yourself."
    MessageBox MB_ICONINFORMATION|MB_OK "Your PATH is too long for this uninstaller to change \
      safely, so it is left as it is. Remove $R1 from it yourself." /SD IDOK
    Return
  ${EndIf}
  Call un.DropFromPath
  ${IfThen} $R3 != "1" ${|} Return ${|}
  ${If} $R2 == ""
    DeleteRegValue HKCU "${ENVIRONMENT_KEY}" "Path"
  ${Else}
    WriteRegExpandStr HKCU "${ENVIRONMENT_KEY}" "Path" $R2
  ${EndIf}
  DetailPrint "Removed $R1 from your PATH."
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:${ENVIRONMENT_KEY}" /TIMEOUT=5000
FunctionEnd

Section "${PRODUCT}"
  SetOutPath "$INSTDIR\bin"
  File "${BUILD}/bin/norv_dal_tkp30.dll"
  File "${BUILD}/bin/dmcos.dll"
  File "${BUILD}/bin/tkp30-pkcs11.dll"
  File "${BUILD}/bin/tkp30.exe"
  SetOutPath "$INSTDIR\include"
  File "${SOURCE}/include/norv_dal_tkp30.h"
  SetOutPath "$INSTDIR\lib"
  File "${BUILD}/lib/libnorv_dal_tkp30.dll.a"
  SetOutPath "$INSTDIR"
  File "${SOURCE}/README.md"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  Call AddToPath
SectionEnd

; Removes what the installer put there, file by file: anything else the
; user left in the folders keeps them.
Section "Uninstall"
  Call un.RemoveFromPath
  Delete "$INSTDIR\bin\norv_dal_tkp30.dll"
  Delete "$INSTDIR\bin\dmcos.dll"
  Delete "$INSTDIR\bin\tkp30-pkcs11.dll"
  Delete "$INSTDIR\bin\tkp30.exe"
  Delete "$INSTDIR\include\norv_dal_tkp30.h"
  Delete "$INSTDIR\lib\libnorv_dal_tkp30.dll.a"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR\bin"
  RMDir "$INSTDIR\include"
  RMDir "$INSTDIR\lib"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
