# Run by cpack after staging and stripping: takes the compiler's notes out of the programs as
# dh_strip would, so that the package carries only what runs.
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
list(FILTER staged INCLUDE REGEX "/games/kavarin(-replay)?$")
foreach(binary IN LISTS staged)
  execute_process(COMMAND ${CPACK_KAVARIN_STRIP} --remove-section=.comment
                          --remove-section=.note ${binary}
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "strip_notes: could not strip ${binary}")
  endif()
endforeach()
