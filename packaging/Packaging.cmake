# The Debian package: `make package` (cpack in a Release build tree) writes
# qk4410conftool_<version>_<arch>.deb with the programs, their man pages, the desktop
# entry, the AppStream data, the icons, the bash completion and the user documentation.
# The libraries it needs are found by dpkg-shlibdeps. Packing the same tree twice gives the
# same bytes: see ReproducibleDeb.cmake.

# Man pages go in compressed, as Debian wants them.
function(qk_install_man page)
  get_filename_component(name ${page} NAME)
  set(gz ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND gzip -9 -n -c ${page} > ${gz}
    DEPENDS ${page}
    VERBATIM)
  add_custom_target(man_${name} ALL DEPENDS ${gz})
  install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

set(QK_PACKAGE_NAME qk4410conftool)
set(QK_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${QK_PACKAGE_NAME})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${QK_DOC_DIR})
# What the programs' help and man pages send the reader to.
install(FILES ${PROJECT_SOURCE_DIR}/docs/profiles.md ${PROJECT_SOURCE_DIR}/docs/fleet.md
  ${PROJECT_SOURCE_DIR}/docs/json.md ${PROJECT_SOURCE_DIR}/docs/json-schema.json
  ${PROJECT_SOURCE_DIR}/docs/remote.md DESTINATION ${QK_DOC_DIR})
set(changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > ${changelog}
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(qk_changelog ALL DEPENDS ${changelog})
install(FILES ${changelog} DESTINATION ${QK_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${QK_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "QK4410ConfTool contributors")
set(CPACK_PACKAGE_CONTACT "QK4410ConfTool contributors <qk4410conftool@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure QK4410/QK4520 network data terminals")
# CPack puts the summary first and indents each line of this by one space.
string(JOIN "\n" CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "QK4410ConfTool configures QK4410 and QK4520 radio data terminals, which"
  "forward their serial port to a TCP or UDP server, over a serial port: it"
  "switches the device into configuration mode, logs in, reads its parameters"
  "and writes them back, showing everything the device sends."
  "."
  "The package holds the configuration window (QK4410ConfTool), the command"
  "line qk4410-cli (scripted reading and writing, profiles applied to many"
  "devices at once, a scan for devices and their line speed), qk4410-sim, a"
  "simulated device on a pseudo-terminal for trying them without hardware, and"
  "qk4410-replay, which shows what a recorded conversation held.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's layout is measured with DejaVu Serif, and its fixed-pitch text takes DejaVu
# Sans Mono where the desktop's monospace font is not monospaced. Its Chinese texts want a
# CJK font; the one its layout is measured with. Qt's own buttons and dialogs speak Chinese
# with Qt's catalogues.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-arphic-uming, qt6-translations-l10n")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build/;/\\\\.git/")
# Read by cpack when it packs, not at configure time, so the date follows the last commit.
set(CPACK_QK_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/ReproducibleDeb.cmake)
include(CPack)
