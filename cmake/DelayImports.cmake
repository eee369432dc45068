# DLLs the window does not call before its first paint are imported on first
# call instead of at start, so the loader does not map them (and everything
# they import) before the program runs. Every such first call comes after
# the program has restricted the DLL search to the system folder
# (app/DllSearch.cpp), so the delay loads find only the system's copies.
#
# vorpa_delay_imports(<out-var> <dll>...) sets <out-var> to what to link in
# place of the DLLs' import libraries.
#  MinGW: a delay-import library per DLL, made by dlltool from the names the
#         toolchain's import library exports; the helper is in libmingwex.
#  MSVC:  the import libraries as usual, /DELAYLOAD and the linker's helper.
function(vorpa_delay_imports out)
  set(libs)
  if(MINGW)
    set(dir ${CMAKE_BINARY_DIR}/delayimp)
    file(MAKE_DIRECTORY ${dir})
    foreach(name IN LISTS ARGN)
      find_library(VORPA_IMPLIB_${name} NAMES lib${name}.a REQUIRED)
      set(lib ${dir}/lib${name}_delay.a)
      if(NOT EXISTS ${lib} OR VORPA_IMPLIB_${name} IS_NEWER_THAN ${lib})
        execute_process(COMMAND ${CMAKE_NM} -g ${VORPA_IMPLIB_${name}} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
        # "__imp_Name" on x86_64; "__imp__Name@N" (stdcall) or "__imp__Name"
        # on i686, where the import itself is by the undecorated name (-k).
        if(CMAKE_SIZEOF_VOID_P EQUAL 4)
          string(REGEX MATCHALL "[^\n]* I __imp__[A-Za-z_][A-Za-z0-9_]*(@[0-9]+)?\n" entries "${symbols}")
        else()
          string(REGEX MATCHALL "[^\n]* I __imp_[A-Za-z_][A-Za-z0-9_]*\n" entries "${symbols}")
        endif()
        set(exports)
        foreach(entry IN LISTS entries)
          string(REGEX REPLACE ".* I __imp_" "" export "${entry}")
          if(CMAKE_SIZEOF_VOID_P EQUAL 4)
            string(REGEX REPLACE "^_" "" export "${export}")
          endif()
          string(STRIP "${export}" export)
          list(APPEND exports "${export}")
        endforeach()
        list(REMOVE_DUPLICATES exports)
        list(JOIN exports "\n" body)
        file(WRITE ${dir}/${name}.def "LIBRARY ${name}.dll\nEXPORTS\n${body}\n")
        execute_process(COMMAND ${CMAKE_DLLTOOL} -k -d ${dir}/${name}.def -D ${name}.dll -y ${lib}
                        WORKING_DIRECTORY ${dir} COMMAND_ERROR_IS_FATAL ANY)
      endif()
      list(APPEND libs ${lib})
    endforeach()
  elseif(MSVC)
    foreach(name IN LISTS ARGN)
      list(APPEND libs ${name} "-DELAYLOAD:${name}.dll")
    endforeach()
    list(APPEND libs delayimp)
  else()
    set(libs ${ARGN})
  endif()
  set(${out} ${libs} PARENT_SCOPE)
endfunction()
