# Run by CPack after it made the ZIP (CPACK_POST_BUILD_SCRIPTS), before it copies the ZIP out
# and writes its checksum: makes the ZIP again from the same staged files so that the same
# files give the same bytes on any machine and at any time.
# - The entries in a fixed order: the names sorted by their bytes.
# - Every entry's time SOURCE_DATE_EPOCH, when set, else the time of the last commit of the
#   source tree, else (no git, or not a clone) a fixed date, 2026-01-01 00:00 UTC. The ZIP's
#   DOS times are written in local time: the archiver runs with TZ=UTC.
# - Owner and group are written as 0 by CMake's archiver whoever builds; the files' modes
#   are those install() gave them.

if(DEFINED ENV{SOURCE_DATE_EPOCH} AND "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
else()
  execute_process(
    COMMAND git -C "${CPACK_QUORVIN_SOURCE_DIR}" log -1 --format=%ct
    RESULT_VARIABLE git_result
    OUTPUT_VARIABLE epoch
    ERROR_QUIET
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT git_result EQUAL 0 OR NOT epoch MATCHES "^[0-9]+$")
    set(epoch 1767225600)
  endif()
endif()
# The earliest time a ZIP can hold is 1980-01-01.
if(epoch LESS 315532800)
  set(epoch 315532800)
endif()

file(GLOB_RECURSE entries LIST_DIRECTORIES false RELATIVE "${CPACK_TEMPORARY_DIRECTORY}"
     "${CPACK_TEMPORARY_DIRECTORY}/*")
list(SORT entries COMPARE STRING)

foreach(zip IN LISTS CPACK_PACKAGE_FILES)
  file(REMOVE "${zip}")
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -E env TZ=UTC LC_ALL=C SOURCE_DATE_EPOCH=${epoch}
            "${CMAKE_COMMAND}" -E tar cf "${zip}" --format=zip -- ${entries}
    WORKING_DIRECTORY "${CPACK_TEMPORARY_DIRECTORY}"
    COMMAND_ERROR_IS_FATAL ANY)
  message(STATUS "${zip}: ${entries}, entries dated ${epoch} (SOURCE_DATE_EPOCH)")
endforeach()
