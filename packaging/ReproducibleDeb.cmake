# Read by cpack just before it packs (CPACK_PROJECT_CONFIG_FILE). CPack's DEB generator
# dates every file, the control members and the archive itself with SOURCE_DATE_EPOCH when
# it is set, and with the time of packing otherwise, so that two packs of one tree would
# differ. Unless the caller chose a date, it is the last commit's; without git (a source
# tarball), the newest changelog entry's, as Debian's own tools take it.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C ${CPACK_QK_SOURCE_DIR} log -1 --format=%ct
    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE git_failed ERROR_QUIET)
  if(git_failed OR NOT epoch MATCHES "^[0-9]+$")
    file(STRINGS ${CPACK_QK_SOURCE_DIR}/packaging/changelog trailer REGEX "^ -- " LIMIT_COUNT 1)
    string(REGEX REPLACE "^ -- .*>  " "" changelog_date "${trailer}")
    execute_process(COMMAND date -u -d "${changelog_date}" +%s
      OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(NOT epoch MATCHES "^[0-9]+$")
    message(FATAL_ERROR "Cannot date the package: no git history and no changelog date; "
      "set SOURCE_DATE_EPOCH")
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()
