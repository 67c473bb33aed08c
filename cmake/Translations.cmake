# The windows' catalogues. Each ui/translations/<name>.ts is turned into a .qm by Qt's
# lrelease at build time and carried inside the program as a Qt resource under :/i18n, so
# the program finds it wherever it is installed or unpacked. Where Qt has no catalogues of
# its own beside it (the Windows build, whose Qt has only qtbase), Qt's catalogue for its
# own texts goes in too, taken as data from Debian's qt6-translations-l10n.
#
# Qt's own CMake functions for this (qt_add_lrelease) come with Qt's LinguistTools package,
# which Debian ships with Designer and Assistant in qt6-tools-dev and which the Qt for
# Windows built here does not have; lrelease itself is the same tool either way.
#
# `update_translations` runs lupdate over ui/ and brings the .ts files up to date with the
# sources: new texts arrive untranslated, vanished ones leave.
find_program(QK_LRELEASE lrelease HINTS /usr/lib/qt6/bin NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_program(QK_LUPDATE lupdate HINTS /usr/lib/qt6/bin NO_CMAKE_FIND_ROOT_PATH)
set(QK_QT_TRANSLATIONS_DIR /usr/share/qt6/translations CACHE PATH
  "Where Qt's own catalogues are (qt6-translations-l10n)")

# qk_add_translations(TARGET ts... [WITH_QT_CATALOGUES] SOURCES dir...)
function(qk_add_translations target)
  cmake_parse_arguments(ARG "WITH_QT_CATALOGUES" "" "TS_FILES;SOURCES" ${ARGN})
  set(qm_dir ${CMAKE_CURRENT_BINARY_DIR}/i18n)
  set(qm_files)
  foreach(ts IN LISTS ARG_TS_FILES)
    get_filename_component(name ${ts} NAME_WE)
    set(qm ${qm_dir}/${name}.qm)
    add_custom_command(OUTPUT ${qm}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${qm_dir}
      COMMAND ${QK_LRELEASE} -silent -nounfinished ${ts} -qm ${qm}
      DEPENDS ${ts}
      COMMENT "Compiling the catalogue ${name}"
      VERBATIM)
    list(APPEND qm_files ${qm})
    if(ARG_WITH_QT_CATALOGUES)
      string(REGEX MATCH "[a-z][a-z](_[A-Z][A-Z])?$" language ${name})
      set(qt_qm ${QK_QT_TRANSLATIONS_DIR}/qtbase_${language}.qm)
      if(NOT EXISTS ${qt_qm})
        message(FATAL_ERROR "${qt_qm} is missing: scripts/install-deps build")
      endif()
      configure_file(${qt_qm} ${qm_dir}/qtbase_${language}.qm COPYONLY)
      list(APPEND qm_files ${qm_dir}/qtbase_${language}.qm)
    endif()
  endforeach()
  qt_add_resources(${target} qk_translations PREFIX /i18n BASE ${qm_dir} FILES ${qm_files})

  if(QK_LUPDATE)
    add_custom_target(update_translations
      COMMAND ${QK_LUPDATE} -silent -locations none -no-obsolete ${ARG_SOURCES} -ts ${ARG_TS_FILES}
      WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
      COMMENT "Bringing the catalogues up to date with the sources"
      VERBATIM)
  endif()
endfunction()
