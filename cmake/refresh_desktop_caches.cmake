# Run by `cmake --install`: makes the desktop see the new MIME type, desktop entry and icons.
# Into a prefix of the user's own the caches are refreshed at once; into any other the commands
# are printed. A staged install (DESTDIR, as for the Debian package) leaves this to the package.
if(DEFINED ENV{DESTDIR} AND NOT "$ENV{DESTDIR}" STREQUAL "")
    return()
endif()
set(share "${CMAKE_INSTALL_PREFIX}/share")
set(commands
    "update-mime-database ${share}/mime"
    "update-desktop-database ${share}/applications")
execute_process(COMMAND test -O "${CMAKE_INSTALL_PREFIX}" RESULT_VARIABLE not_own)
find_program(UPDATE_MIME update-mime-database)
find_program(UPDATE_DESKTOP update-desktop-database)
if(not_own EQUAL 0 AND UPDATE_MIME AND UPDATE_DESKTOP)
    execute_process(COMMAND ${UPDATE_MIME} "${share}/mime" RESULT_VARIABLE mime_failed)
    execute_process(COMMAND ${UPDATE_DESKTOP} -q "${share}/applications"
                    RESULT_VARIABLE desktop_failed)
    find_program(UPDATE_ICONS gtk-update-icon-cache)
    if(UPDATE_ICONS AND EXISTS "${share}/icons/hicolor/index.theme")
        execute_process(COMMAND ${UPDATE_ICONS} -q -t -f "${share}/icons/hicolor")
    endif()
    if(mime_failed EQUAL 0 AND desktop_failed EQUAL 0)
        message(STATUS "Refreshed the MIME and desktop databases under ${share}")
        return()
    endif()
endif()
string(REPLACE ";" "\n    " shown "${commands}")
message(STATUS "To let the desktop find Kavendrum and its head files, run:\n    ${shown}")
