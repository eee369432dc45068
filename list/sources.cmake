list(APPEND VORPA_PORTABLE_SOURCES
  list/RowModel.cpp
  list/Columns.cpp
  list/DropFiles.cpp
  list/ScanPaths.cpp
  list/UrlFileReader.cpp
)
list(APPEND VORPA_WIN_SOURCES
  list/FolderScan.cpp
  list/DropIntake.cpp
  list/ListingAhead.cpp
)
if(WIN32)
  list(APPEND VORPA_PLATFORM_SOURCES list/UrlFileReaderWin.cpp)
else()
  list(APPEND VORPA_PLATFORM_SOURCES list/UrlFileReaderPosix.cpp)
endif()
