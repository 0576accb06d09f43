# Fails unless the DLL exports exactly the functions of the public API.
# cmake -DOBJDUMP=<objdump> -DDLL=<kiv_sdk.dll> [-DPRINT=ON] -P check_exports.cmake
set(expected KivFree KivGetEngine KivMalloc KivMemCpy KivMemMov KivReleaseEngine KivStrCmp KivStrLen)
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${DLL}")
endif()
# The name table: "[Ordinal/Name Pointer] Table", then one "\t[   n] Name" line per export
# (older binutils put "+base[   m] hint" before the name), up to an empty line.
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)*" table "${dump}")
string(REPLACE "\n" ";" lines "${table}")
set(names)
foreach(line ${lines})
  if(line MATCHES "^[ \t]*\\[ *[0-9]+\\] (\\+base\\[ *[0-9]+\\] [0-9a-fA-F]+ )?([A-Za-z_@0-9?$]+)$")
    list(APPEND names ${CMAKE_MATCH_2})
  endif()
endforeach()
list(SORT names)
if(PRINT)
  message(STATUS "exports of ${DLL}: ${names}")
endif()
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "kiv_sdk exports '${names}', expected '${expected}'")
endif()
