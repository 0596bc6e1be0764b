# Debian's hardening flags, as dpkg-buildflags gives them with every hardening feature on:
# fortified functions, stack protector, format checks, PIE, read-only relocations and immediate
# binding. The build type keeps choosing optimisation and debug information.
function(q3_dpkg_buildflags kind out)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                dpkg-buildflags --get ${kind}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "QUILLET3_DEBIAN_FLAGS needs dpkg-buildflags (package dpkg-dev)")
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-(O.*|g)$")
    set(${out} ${flags} PARENT_SCOPE)
endfunction()

q3_dpkg_buildflags(CPPFLAGS q3_cppflags)
q3_dpkg_buildflags(CXXFLAGS q3_cxxflags)
q3_dpkg_buildflags(LDFLAGS q3_ldflags)
add_compile_options(${q3_cppflags} ${q3_cxxflags})
add_link_options(${q3_ldflags})
string(JOIN " " q3_all_flags ${q3_cppflags} ${q3_cxxflags} ${q3_ldflags})
message(STATUS "Debian's build flags: ${q3_all_flags}")
