# Windows programs whose narrow strings are UTF-8: kavendrum_use_utf8_code_page(target) embeds a
# manifest that makes UTF-8 the program's code page, so that file names in any script pass
# through the ANSI functions, the C runtime's arguments and the file layer whole. A program with a
# manifest of its own (the desktop program) says the same in it instead.
set(KAVENDRUM_UTF8_MANIFEST ${CMAKE_CURRENT_LIST_DIR}/utf8_code_page.manifest)
set(KAVENDRUM_UTF8_RC ${CMAKE_BINARY_DIR}/utf8_code_page.rc)
configure_file(${CMAKE_CURRENT_LIST_DIR}/utf8_code_page.rc.in ${KAVENDRUM_UTF8_RC} @ONLY)
set_source_files_properties(${KAVENDRUM_UTF8_RC} PROPERTIES OBJECT_DEPENDS
                            ${KAVENDRUM_UTF8_MANIFEST})

function(kavendrum_use_utf8_code_page target)
    target_sources(${target} PRIVATE ${KAVENDRUM_UTF8_RC})
endfunction()
