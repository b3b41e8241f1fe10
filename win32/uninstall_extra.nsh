; Nothing stays behind: the head-file association while it is still ours, the user profile and
; the option file beside the program.
ReadRegStr $0 HKCU "Software\Classes\.kdh" ""
StrCmp $0 "Kavendrum.HeadFile" 0 +2
DeleteRegKey HKCU "Software\Classes\.kdh"
DeleteRegKey HKCU "Software\Classes\Kavendrum.HeadFile"
DeleteRegKey HKCU "Software\Kavendrum\Kavendrum"
DeleteRegKey /ifempty HKCU "Software\Kavendrum"
Delete "$INSTDIR\kavendrum.opt"
