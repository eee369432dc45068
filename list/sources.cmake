list(APPEND VORPA_PORTABLE_SOURCES
  list/RowModel.cpp
  list/Columns.cpp
  list/ScanPaths.cpp
)
list(APPEND VORPA_WIN_SOURCES
  list/FolderScan.cpp
  list/DropIntake.cpp
)
