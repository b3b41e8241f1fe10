; Head files open in Kavendrum, for this user only. The whole rest of the command line is the
; program's one argument, so the head file's path goes unquoted.
WriteRegStr HKCU "Software\Classes\.kdh" "" "Kavendrum.HeadFile"
WriteRegStr HKCU "Software\Classes\Kavendrum.HeadFile" "" "Kavendrum Head File"
WriteRegStr HKCU "Software\Classes\Kavendrum.HeadFile\DefaultIcon" "" "$INSTDIR\kavendrum.exe,0"
WriteRegStr HKCU "Software\Classes\Kavendrum.HeadFile\shell\open\command" "" '"$INSTDIR\kavendrum.exe" %1'
