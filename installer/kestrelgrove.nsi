; setup.exe for one published toolbar: the toolbar's files and both engine
; DLLs in one install folder, the toolbar key in both registry views, both
; DLLs registered, and an entry under "Add or Remove Programs" whose
; uninstaller takes all of it away again.
;
; Built by installer/build-setup.sh, which defines:
;   TOOLBAR_DIR   folder with the configuration, banner and legal notice
;   TOOLBAR_FILE  "Toolbar File": base name of "<file>.ini" and "<file>.bmp"
;   TOOLBAR_NAME  "Toolbar Name": display name, install folder, history file
;   ICONS         the icon file to install as "Icons.bin"
;   DLL64, DLL32  the x86_64 and i686 kestrelgrove.dll
;   CLSID         the band's class identifier, in braces
;   PUBLISHER, VERSION, OUTFILE
;
; Exit codes of setup.exe: 0 installed and both DLLs registered; 3 installed,
; but the 32-bit DLL could not be registered (32-bit browser processes will
; not list the toolbar); 4 installed, but the 64-bit DLL could not be
; registered; 1 cancelled; 2 aborted (for instance a file could not be written).

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all

!include LogicLib.nsh

!define TOOLBAR_KEY "SOFTWARE\Microsoft\Internet Explorer\Explorer Bars\${CLSID}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${TOOLBAR_NAME}"
!define TOOLBAR_LIST_KEY "SOFTWARE\Microsoft\Internet Explorer\Toolbar"
!define EXPLORER_BARS_KEY "SOFTWARE\Microsoft\Internet Explorer\Explorer Bars"
; The 32-bit DLL gets a folder of its own so that both keep the name kestrelgrove.dll.
!define X86_DIR "x86"
!if "${TOOLBAR_NAME}" == ""
  !error "TOOLBAR_NAME names the per-user folder and must not be empty"
!endif

; The files the toolbar keeps in a per-user folder: the history, and the
; configuration and icon file of an update that could not write the install folder.
!macro DeleteUserFiles FOLDER
  Delete "${FOLDER}\${TOOLBAR_NAME}.txt"
  Delete "${FOLDER}\${TOOLBAR_FILE}.ini"
  Delete "${FOLDER}\${TOOLBAR_FILE} Internet.ini"
  Delete "${FOLDER}\${TOOLBAR_FILE} Default.ini"
  Delete "${FOLDER}\Icons.bin"
  Delete "${FOLDER}\Internet Icons.bin"
  Delete "${FOLDER}\Icons Default.bin"
  RMDir "${FOLDER}"
!macroend

Name "${TOOLBAR_NAME}"
OutFile "${OUTFILE}"
BrandingText "${PUBLISHER}"
InstallDir "$PROGRAMFILES64\${TOOLBAR_NAME}"
; Installing again goes into the existing installation, where the history file lives.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Var Failed64
Var Failed32

; The toolbar key's three installation values in one registry view. Other
; values ("Search", "Search Type", "Date") are left as they are.
!macro WriteToolbarKey VIEW
  SetRegView ${VIEW}
  ClearErrors
  WriteRegStr HKLM "${TOOLBAR_KEY}" "InstallPath" "$INSTDIR"
  WriteRegStr HKLM "${TOOLBAR_KEY}" "Toolbar Name" "${TOOLBAR_NAME}"
  WriteRegStr HKLM "${TOOLBAR_KEY}" "Toolbar File" "${TOOLBAR_FILE}"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "Cannot write the toolbar key (${VIEW}-bit registry view)." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
!macroend

; Runs REGSVR32 on DLL (ARGS "/s" or "/u /s"); $0 := 0 on success.
!macro RunRegsvr32 REGSVR32 ARGS DLL
  ClearErrors
  ExecWait '"${REGSVR32}" ${ARGS} "${DLL}"' $0
  ${If} ${Errors}
    StrCpy $0 "not started"
  ${EndIf}
!macroend

Section "Toolbar"
  SetRegView 64
  ; The uninstaller and its entry come first: whatever fails later leaves
  ; an installation that "Add or Remove Programs" can remove.
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${TOOLBAR_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  File "/oname=${TOOLBAR_FILE}.ini" "${TOOLBAR_DIR}\${TOOLBAR_FILE}.ini"
  File "/oname=${TOOLBAR_FILE}.bmp" "${TOOLBAR_DIR}\${TOOLBAR_FILE}.bmp"
  File "/oname=Copyrights.txt" "${TOOLBAR_DIR}\Copyrights.txt"
  File "/oname=Icons.bin" "${ICONS}"
  File "/oname=kestrelgrove.dll" "${DLL64}"
  SetOutPath "$INSTDIR\${X86_DIR}"
  File "/oname=kestrelgrove.dll" "${DLL32}"
  SetOutPath "$INSTDIR"

  ; Each DLL reads the toolbar key of its own view; both point at this one
  ; folder, so 32- and 64-bit browsers share one configuration and history.
  ; The key comes before registration, which reads "Toolbar Name".
  !insertmacro WriteToolbarKey 32
  !insertmacro WriteToolbarKey 64

  ; A 64-bit regsvr32 registers into the 64-bit view, the one in SysWOW64
  ; into the 32-bit view: each DLL registers itself where its browsers look.
  StrCpy $Failed64 0
  StrCpy $Failed32 0
  DetailPrint "Registering $INSTDIR\kestrelgrove.dll (64-bit)"
  !insertmacro RunRegsvr32 "$WINDIR\System32\regsvr32.exe" "/s" "$INSTDIR\kestrelgrove.dll"
  ${If} $0 != 0
    DetailPrint "The 64-bit DLL could not be registered (regsvr32: $0)"
    StrCpy $Failed64 1
  ${EndIf}
  DetailPrint "Registering $INSTDIR\${X86_DIR}\kestrelgrove.dll (32-bit)"
  !insertmacro RunRegsvr32 "$WINDIR\SysWOW64\regsvr32.exe" "/s" "$INSTDIR\${X86_DIR}\kestrelgrove.dll"
  ${If} $0 != 0
    DetailPrint "The 32-bit DLL could not be registered (regsvr32: $0)"
    StrCpy $Failed32 1
  ${EndIf}

  ; A failed registration is reported, and the installation stays complete
  ; and removable; the exit code tells a scripted install which band is missing.
  ${If} $Failed64 == 1
    MessageBox MB_OK|MB_ICONEXCLAMATION "The toolbar was installed, but the 64-bit DLL could not be registered: 64-bit browsers will not list it." /SD IDOK
    SetErrorLevel 4
  ${ElseIf} $Failed32 == 1
    MessageBox MB_OK|MB_ICONEXCLAMATION "The toolbar was installed, but the 32-bit DLL could not be registered: 32-bit browsers will not list it." /SD IDOK
    SetErrorLevel 3
  ${EndIf}
SectionEnd

; The registration entries of one view, for a DLL that could not remove them
; itself (its regsvr32 failed, or the DLL is gone); the same entries its own
; unregistration removes.
!macro RemoveRegistration VIEW
  SetRegView ${VIEW}
  DeleteRegKey HKCR "CLSID\${CLSID}"
  DeleteRegValue HKLM "${TOOLBAR_LIST_KEY}" "${CLSID}"
  DeleteRegValue HKLM "${EXPLORER_BARS_KEY}" "${CLSID}"
!macroend

Section "Uninstall"
  SetRegView 64
  DetailPrint "Unregistering $INSTDIR\kestrelgrove.dll (64-bit)"
  !insertmacro RunRegsvr32 "$WINDIR\System32\regsvr32.exe" "/u /s" "$INSTDIR\kestrelgrove.dll"
  ${If} $0 != 0
    DetailPrint "regsvr32 /u of the 64-bit DLL failed ($0): removing its entries directly"
    !insertmacro RemoveRegistration 64
  ${EndIf}
  DetailPrint "Unregistering $INSTDIR\${X86_DIR}\kestrelgrove.dll (32-bit)"
  !insertmacro RunRegsvr32 "$WINDIR\SysWOW64\regsvr32.exe" "/u /s" "$INSTDIR\${X86_DIR}\kestrelgrove.dll"
  ${If} $0 != 0
    DetailPrint "regsvr32 /u of the 32-bit DLL failed ($0): removing its entries directly"
    !insertmacro RemoveRegistration 32
  ${EndIf}

  ; The toolbar key with the user's search state and splash date goes with the product.
  SetRegView 32
  DeleteRegKey HKLM "${TOOLBAR_KEY}"
  SetRegView 64
  DeleteRegKey HKLM "${TOOLBAR_KEY}"

  ; The installing user's own state: the per-user key (search state, splash
  ; date) and folder, and their low-integrity twins that a browser in
  ; Protected Mode writes (the toolbar key's path under the low-integrity key
  ; IEGetWriteableHKCU opens: one of HKCU's two, which its documentation does
  ; not name). Other users' per-user data stays, as with any per-user
  ; application data.
  SetShellVarContext current
  DeleteRegKey HKCU "${TOOLBAR_KEY}"
  DeleteRegKey HKCU "Software\AppDataLow\${TOOLBAR_KEY}"
  DeleteRegKey HKCU "Software\Microsoft\Internet Explorer\LowRegistry\${TOOLBAR_KEY}"
  !insertmacro DeleteUserFiles "$LOCALAPPDATA\${TOOLBAR_NAME}"
  !insertmacro DeleteUserFiles "$LOCALAPPDATA\..\LocalLow\${TOOLBAR_NAME}"

  ; Only the files this product puts into the folder, so that a folder the
  ; user chose, with files of their own, keeps them. The history file and
  ; the configuration update's downloads and backups are the product's too.
  ; A DLL still loaded by a running browser goes at the next restart.
  Delete "$INSTDIR\${TOOLBAR_FILE}.ini"
  Delete "$INSTDIR\${TOOLBAR_FILE}.bmp"
  Delete "$INSTDIR\Copyrights.txt"
  Delete "$INSTDIR\Icons.bin"
  Delete "$INSTDIR\${TOOLBAR_NAME}.txt"
  Delete "$INSTDIR\${TOOLBAR_FILE} Internet.ini"
  Delete "$INSTDIR\${TOOLBAR_FILE} Default.ini"
  Delete "$INSTDIR\Internet Icons.bin"
  Delete "$INSTDIR\Icons Default.bin"
  Delete /REBOOTOK "$INSTDIR\kestrelgrove.dll"
  Delete /REBOOTOK "$INSTDIR\${X86_DIR}\kestrelgrove.dll"
  RMDir /REBOOTOK "$INSTDIR\${X86_DIR}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"
  ${If} ${FileExists} "$INSTDIR\*.*"
    DetailPrint "$INSTDIR stays: it holds files of your own, or files in use until the next restart"
  ${EndIf}

  SetRegView 64
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ; This uninstaller runs as a copy in the temporary folder, which cannot
  ; delete itself: the copy and then its folder go at the next restart.
  Delete /REBOOTOK "$EXEPATH"
  RMDir /REBOOTOK "$EXEDIR"
SectionEnd
