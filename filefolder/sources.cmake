list(APPEND VORPA_PORTABLE_SOURCES
  filefolder/PathText.cpp
)
list(APPEND VORPA_WIN_SOURCES
  filefolder/clsFileFolder.cpp
)
