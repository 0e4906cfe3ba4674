# Import libraries that load their DLL on the first call rather than when the
# program starts: Windows would take such a DLL, when it is not one of its
# known DLLs, from the program's own folder before the program could say
# otherwise. The first call goes through the delay-load helper, whose hook
# (platform/system_dlls.cpp) loads the system's copy.
#
# delay_import(NAME) makes the target delayed_NAME, made at configure time
# from every function of the toolchain's libNAME.a.
function(delay_import name)
  set(folder ${CMAKE_BINARY_DIR}/delay_imports)
  set(definition ${folder}/${name}.def)
  set(library ${folder}/lib${name}_delay.a)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=lib${name}.a
                  OUTPUT_VARIABLE import_library OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${CMAKE_NM} ${import_library}
                  OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
  # The library's functions (a variable has no code symbol and cannot load
  # late), all imported by name.
  string(REGEX MATCHALL "T _[^\n]+" functions "${symbols}")
  list(TRANSFORM functions REPLACE "^T _" "")
  string(REGEX MATCHALL "I __imp__[^\n]+" imports "${symbols}")
  list(TRANSFORM imports REPLACE "^I __imp__" "")
  list(FILTER imports INCLUDE REGEX ".")
  set(exports)
  foreach(import ${imports})
    if(import IN_LIST functions)
      list(APPEND exports ${import})
    endif()
  endforeach()
  list(JOIN exports "\n" exports)
  set(content "LIBRARY ${name}.dll\nEXPORTS\n${exports}\n")
  set(written "")
  if(EXISTS ${definition})
    file(READ ${definition} written)
  endif()
  if(NOT content STREQUAL written)
    file(WRITE ${definition} "${content}")
  endif()
  if(NOT EXISTS ${library} OR ${definition} IS_NEWER_THAN ${library})
    execute_process(COMMAND ${CMAKE_DLLTOOL} --kill-at --input-def ${definition} --output-delaylib ${library}
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()
  add_library(delayed_${name} INTERFACE)
  target_link_libraries(delayed_${name} INTERFACE ${library})
endfunction()

# The linker drops an import stub that nothing calls by name, and with it the
# first target of a delayed import's address slot, which would then jump to
# nothing: a program's link map must show every delayed stub kept.
# Run as a script: cmake -DMAP=<link map> -P delay_imports.cmake
if(CMAKE_SCRIPT_MODE_FILE AND DEFINED MAP)
  file(STRINGS ${MAP} dropped REGEX "^ \\.text +0x0+ +0x0*[1-9a-f][0-9a-f]* +.*_delay\\.a\\(")
  if(dropped)
    list(JOIN dropped "\n" dropped)
    message(FATAL_ERROR "Delayed imports referenced only by their address slot:\n${dropped}")
  endif()
endif()
