# Portable code is compiled with a folder in front of every other that holds
# a windows.h and a stand-in for each header of the window: including one of
# them stops the build with an error that names the rule, on every platform.
# Of app/, only the version numbers and the version block reader are portable.
set(VORPA_LAYER_GUARD ${CMAKE_BINARY_DIR}/layer-guard)
file(CONFIGURE OUTPUT ${VORPA_LAYER_GUARD}/windows.h
     CONTENT "#error \"portable code includes no windows.h\"\n")
file(GLOB VORPA_WINDOW_HEADERS RELATIVE ${CMAKE_SOURCE_DIR} CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/app/*.h)
list(REMOVE_ITEM VORPA_WINDOW_HEADERS app/version.h app/VersionInfo.h)
foreach(header ${VORPA_WINDOW_HEADERS})
  file(CONFIGURE OUTPUT ${VORPA_LAYER_GUARD}/${header}
       CONTENT "#error \"portable code includes no header of the window (${header})\"\n")
endforeach()

function(vorpa_portable_layer target)
  target_include_directories(${target} BEFORE PRIVATE ${VORPA_LAYER_GUARD})
endfunction()

# The guard itself, checked whenever the build is configured: a portable file
# that includes windows.h or a window header is stopped by it, one that
# includes a portable header compiles.
set(VORPA_LAYER_GUARD_CHECK_DIR ${CMAKE_BINARY_DIR}/layer-guard-check)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
# Each check: a name, what the file includes, and the guard's message that
# must stop it (none: it must compile).
foreach(check "windows_h|<windows.h>|no windows.h" "window|\"app/resource.h\"|no header of the window"
              "portable|\"common/Text.h\"|")
  string(REPLACE "|" ";" check "${check}")
  list(GET check 0 name)
  list(GET check 1 include)
  list(GET check 2 message)
  file(CONFIGURE OUTPUT ${VORPA_LAYER_GUARD_CHECK_DIR}/${name}.cpp CONTENT "#include ${include}\nint vorpa_layer_check;\n")
  try_compile(vorpa_layer_${name} ${VORPA_LAYER_GUARD_CHECK_DIR}/${name} ${VORPA_LAYER_GUARD_CHECK_DIR}/${name}.cpp
              COMPILE_DEFINITIONS -I${VORPA_LAYER_GUARD} -I${CMAKE_SOURCE_DIR}
              CXX_STANDARD 20 OUTPUT_VARIABLE output)
  if(message STREQUAL "")
    set(held ${vorpa_layer_${name}})
  else()
    string(FIND "${output}" "portable code includes ${message}" stopped)
    if(NOT vorpa_layer_${name} AND stopped GREATER -1)
      set(held TRUE)
    else()
      set(held FALSE)
    endif()
  endif()
  if(NOT held)
    message(FATAL_ERROR "The layer guard does not hold for ${include}:\n${output}")
  endif()
endforeach()
unset(CMAKE_TRY_COMPILE_TARGET_TYPE)
