# The Windows resources of an .exe: the program's icon and the version block that the file's
# properties show (packaging/windows/memvane.rc.in).
#   memvane_add_windows_resources(TARGET target DESCRIPTION "text")
function(memvane_add_windows_resources)
    cmake_parse_arguments(R "" "TARGET;DESCRIPTION" "" ${ARGN})
    set(MEMVANE_ICO ${PROJECT_SOURCE_DIR}/packaging/windows/memvane.ico)
    set(MEMVANE_FILE_DESCRIPTION "${R_DESCRIPTION}")
    set(MEMVANE_EXE_NAME ${R_TARGET})
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${R_TARGET}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/memvane.rc.in ${rc} @ONLY)
    target_sources(${R_TARGET} PRIVATE ${rc})
    # windres reads the icon when it compiles the script.
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${MEMVANE_ICO})
endfunction()
