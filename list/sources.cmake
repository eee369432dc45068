list(APPEND VORPA_PORTABLE_SOURCES
  list/RowModel.cpp
  list/Columns.cpp
  list/DropFiles.cpp
)
list(APPEND VORPA_WIN_SOURCES
  list/FolderScan.cpp
  list/DropIntake.cpp
)
