# Runs PROGRAM with one optional argument ARG and checks its exit status (EXPECT_EXIT) and
# that its output matches EXPECT_OUTPUT. With NO_DISPLAY set, it runs without any display;
# with WINE_RUN and WINE_PREFIX, under Wine.
#   cmake -DPROGRAM=... [-DARG=...] -DEXPECT_EXIT=1 -DEXPECT_OUTPUT=regex [-DNO_DISPLAY=1]
#         [-DWINE_RUN=scripts/wine-run -DWINE_PREFIX=DIR] -P ExpectExit.cmake
if(NO_DISPLAY)
  unset(ENV{DISPLAY})
  unset(ENV{WAYLAND_DISPLAY})
  unset(ENV{QT_QPA_PLATFORM})
endif()
set(command ${PROGRAM})
if(DEFINED WINE_RUN)
  set(command ${WINE_RUN} ${WINE_PREFIX} ${PROGRAM})
endif()
execute_process(COMMAND ${command} ${ARG} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status STREQUAL EXPECT_EXIT)
  message(FATAL_ERROR "exit status '${status}', expected ${EXPECT_EXIT}\n${out}${err}")
endif()
if(NOT "${out}${err}" MATCHES "${EXPECT_OUTPUT}")
  message(FATAL_ERROR "output does not match '${EXPECT_OUTPUT}':\n${out}${err}")
endif()
