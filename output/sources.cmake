list(APPEND VORPA_PORTABLE_SOURCES
)
list(APPEND VORPA_WIN_SOURCES
  output/CsvSave.cpp
  output/ExcelExport.cpp
)
