# Run by CPack on the files it is about to package: strips the program and its module as Debian
# does (dh_strip), removing the debug information and the sections nothing reads at run time.
file(GLOB_RECURSE q3_files LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(file IN LISTS q3_files)
    file(READ ${file} magic LIMIT 4 HEX)
    if(NOT magic STREQUAL "7f454c46") # not ELF
        continue()
    endif()
    set(args --remove-section=.comment --remove-section=.note)
    if(file MATCHES "\\.so$")
        list(APPEND args --strip-unneeded)
    endif()
    execute_process(COMMAND strip ${args} ${file} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
