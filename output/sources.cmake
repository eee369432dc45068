list(APPEND VORPA_PORTABLE_SOURCES
  output/CsvText.cpp
  output/SheetExport.cpp
  output/XlsxWriter.cpp
)
list(APPEND VORPA_WIN_SOURCES
  output/CsvSave.cpp
  output/ExcelDispatch.cpp
  output/ExcelExport.cpp
  output/ExcelMessageFilter.cpp
)
