list(APPEND VORPA_PORTABLE_SOURCES
)
list(APPEND VORPA_WIN_SOURCES
  filefolder/clsFileFolder.cpp
)
