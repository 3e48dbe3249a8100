# Compiles a one-line source, #include "<HEADER>", with the include paths a layer's own code is
# built with (INCLUDES, '|'-separated) and checks that the header is FOUND or MISSING. A missing
# header must fail for that very reason: the compiler names the header and cannot find it.
#   cmake -DCOMPILER=... -DINCLUDES=a|b -DHEADER=x.h -DEXPECT=MISSING|FOUND -DWORK=<dir> -P CheckLayerInclude.cmake
foreach(var COMPILER INCLUDES HEADER EXPECT WORK)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "CheckLayerInclude: ${var} is not set")
  endif()
endforeach()

string(MAKE_C_IDENTIFIER "${HEADER}" stem)
set(source ${WORK}/${stem}.cpp)
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${source} "#include \"${HEADER}\"\n")
string(REPLACE "|" ";" dirs "${INCLUDES}")
set(flags "")
foreach(dir IN LISTS dirs)
  list(APPEND flags -I${dir})
endforeach()
execute_process(COMMAND ${COMPILER} -std=c++17 -fsyntax-only ${flags} ${source}
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)

string(REPLACE "." "\\." pattern "${HEADER}")
if(EXPECT STREQUAL "FOUND")
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "\"${HEADER}\" should compile with these include paths:\n${err}")
  endif()
elseif(EXPECT STREQUAL "MISSING")
  if(result EQUAL 0)
    message(FATAL_ERROR "\"${HEADER}\" is reachable from this layer, which must not see it")
  endif()
  if(NOT err MATCHES "${pattern}[^\n]*(No such file|not found)")
    message(FATAL_ERROR "\"${HEADER}\" failed for another reason than not being found:\n${err}")
  endif()
else()
  message(FATAL_ERROR "CheckLayerInclude: EXPECT is FOUND or MISSING, not \"${EXPECT}\"")
endif()
