# The Windows packages' names, chosen per generator while cpack runs.
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_PACKAGE_FILE_NAME "kavendrum-${CPACK_PACKAGE_VERSION}-setup")
elseif(CPACK_GENERATOR STREQUAL "ZIP")
    set(CPACK_PACKAGE_FILE_NAME "kavendrum-${CPACK_PACKAGE_VERSION}-portable")
endif()
