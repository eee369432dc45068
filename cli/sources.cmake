# vorpa-list: the list from the command line, natively and as a Windows
# console program. Portable files first; the walk has one file per platform.
set(VORPA_CLI_SOURCES
  cli/Options.cpp
  cli/Rows.cpp
  cli/FileName.cpp
  cli/Audit.cpp
  cli/Formats.cpp
  cli/ListTool.cpp
  cli/Check.cpp
  cli/TerminalText.cpp
)
# The link check's transport: WinHTTP, loaded from the system folder at run
# time, on Windows; libcurl elsewhere.
if(WIN32)
  set(VORPA_CLI_PLATFORM_SOURCES cli/WalkWin.cpp cli/CheckWinHttp.cpp)
else()
  set(VORPA_CLI_PLATFORM_SOURCES cli/WalkPosix.cpp cli/CheckCurl.cpp)
endif()
add_library(vorpa_cli_portable OBJECT ${VORPA_CLI_SOURCES})
target_link_libraries(vorpa_cli_portable PUBLIC vorpa_core)
target_compile_options(vorpa_cli_portable PRIVATE ${VORPA_PRODUCT_WARNINGS})
vorpa_portable_layer(vorpa_cli_portable)
add_library(vorpa_cli STATIC ${VORPA_CLI_PLATFORM_SOURCES})
target_link_libraries(vorpa_cli PUBLIC vorpa_cli_portable)
if(NOT WIN32)
  # Its headers only: the library is loaded when a check starts.
  find_package(CURL REQUIRED)
  target_include_directories(vorpa_cli PRIVATE $<TARGET_PROPERTY:CURL::libcurl,INTERFACE_INCLUDE_DIRECTORIES>)
  target_link_libraries(vorpa_cli PUBLIC ${CMAKE_DL_LIBS})
endif()
target_compile_options(vorpa_cli PRIVATE ${VORPA_PRODUCT_WARNINGS})
if(WIN32)
  # The display name comes from the same title function the window uses.
  target_link_libraries(vorpa_cli PUBLIC comdlg32 shlwapi kernel32)
endif()

add_executable(vorpa-list cli/main.cpp)
target_link_libraries(vorpa-list PRIVATE vorpa_cli)
target_compile_options(vorpa-list PRIVATE ${VORPA_PRODUCT_WARNINGS})
if(MINGW)
  target_link_options(vorpa-list PRIVATE -municode)
endif()
