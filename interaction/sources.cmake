list(APPEND VORPA_PORTABLE_SOURCES
)
list(APPEND VORPA_WIN_SOURCES
  interaction/ListCommands.cpp
  interaction/Mouse.cpp
)
