list(APPEND VORPA_PORTABLE_SOURCES
  app/VersionInfo.cpp
)
list(APPEND VORPA_WIN_SOURCES
  app/main.cpp
  app/frmMain.cpp
  app/frmAbout.cpp
  app/Messages.cpp
  app/ProgramFolder.cpp
  app/DllSearch.cpp
)
