# Writes the import library that MSVC's linker (and lld-link) use for a
# built DLL, from the names the DLL actually exports, so that the library
# can never promise a name the DLL lacks.  Run as
#   cmake -DDLL=x.dll -DLIB=x.lib -DMACHINE=i386|i386:x86-64
#         -DREADOBJ=llvm-readobj -DDLLTOOL=llvm-dlltool -P msvc_import_lib.cmake
# Names mangled the GNU C++ way (_Z...) are left out: only MinGW callers
# use them, through the MinGW import library.
foreach(var DLL LIB MACHINE READOBJ DLLTOOL)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "msvc_import_lib: ${var} is not set")
  endif()
endforeach()

execute_process(COMMAND ${READOBJ} --coff-exports ${DLL}
                OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "msvc_import_lib: cannot read the exports of ${DLL}")
endif()
string(REGEX MATCHALL "\n  Name: [^\n]+" lines "${listing}")

get_filename_component(dll_name ${DLL} NAME)
set(def "LIBRARY ${dll_name}\nEXPORTS\n")
set(count 0)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^\n  Name: " "" name "${line}")
  if(NOT name MATCHES "^_Z")
    string(APPEND def "  ${name}\n")
    math(EXPR count "${count} + 1")
  endif()
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "msvc_import_lib: ${DLL} exports nothing for MSVC callers")
endif()

set(def_file ${LIB}.def)
file(WRITE ${def_file} "${def}")
execute_process(COMMAND ${DLLTOOL} -m ${MACHINE} -d ${def_file} -D ${dll_name} -l ${LIB}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "msvc_import_lib: ${DLLTOOL} failed for ${DLL}")
endif()
