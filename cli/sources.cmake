# vorpa-list: the list from the command line, natively and as a Windows
# console program. Portable files first; the walk has one file per platform.
set(VORPA_CLI_SOURCES
  cli/Options.cpp
  cli/Rows.cpp
  cli/Audit.cpp
  cli/Formats.cpp
  cli/ListTool.cpp
  cli/TerminalText.cpp
)
if(WIN32)
  list(APPEND VORPA_CLI_SOURCES cli/WalkWin.cpp)
else()
  list(APPEND VORPA_CLI_SOURCES cli/WalkPosix.cpp)
endif()
add_library(vorpa_cli STATIC ${VORPA_CLI_SOURCES})
target_link_libraries(vorpa_cli PUBLIC vorpa_core)
target_compile_options(vorpa_cli PRIVATE ${VORPA_WARNINGS})
if(WIN32)
  # The display name comes from the same title function the window uses.
  target_link_libraries(vorpa_cli PUBLIC comdlg32 shlwapi kernel32)
endif()

add_executable(vorpa-list cli/main.cpp)
target_link_libraries(vorpa-list PRIVATE vorpa_cli)
target_compile_options(vorpa-list PRIVATE ${VORPA_WARNINGS})
if(MINGW)
  target_link_options(vorpa-list PRIVATE -municode)
endif()
