list(APPEND VORPA_PORTABLE_SOURCES
  filefolder/PathText.cpp
)
list(APPEND VORPA_WIN_SOURCES
  filefolder/clsFileFolder.cpp
)
# The walk and the long-path rule serve the window and vorpa-list.exe alike.
if(WIN32)
  list(APPEND VORPA_PLATFORM_SOURCES filefolder/LongPath.cpp filefolder/FolderWalk.cpp filefolder/ShellName.cpp)
endif()
