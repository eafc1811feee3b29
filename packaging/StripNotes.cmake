# Run by CPack between installing into its staging folder and packing it
# (CPACK_PRE_BUILD_SCRIPTS), on the program and its Hamlib plugin. CPack's
# own stripping keeps the compilers' .comment section and the .note section;
# Debian's packaging tools drop both, and lintian notes a binary that still
# has them. The build-id note stays.
file(GLOB_RECURSE corvane_programs LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/*")
file(GLOB_RECURSE corvane_plugins LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.so")
list(APPEND corvane_programs ${corvane_plugins})
if(NOT corvane_programs)
    message(FATAL_ERROR "no program under ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
foreach(corvane_program IN LISTS corvane_programs)
    execute_process(COMMAND "${CPACK_CORVANE_STRIP}" --remove-section=.comment --remove-section=.note
                            "${corvane_program}"
                    RESULT_VARIABLE corvane_rc)
    if(NOT corvane_rc EQUAL 0)
        message(FATAL_ERROR "could not strip ${corvane_program}")
    endif()
endforeach()
