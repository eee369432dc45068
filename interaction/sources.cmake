list(APPEND VORPA_PORTABLE_SOURCES
  interaction/OpenMessages.cpp
)
list(APPEND VORPA_WIN_SOURCES
  interaction/ListCommands.cpp
  interaction/Mouse.cpp
  interaction/OpenUrl.cpp
)
