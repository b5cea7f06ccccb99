# A second compiler over the library's own sources: Debian's clang in MinGW mode,
# against the MinGW-w64 headers and the libstdc++ of the posix g++ that the real
# build uses. A warnings pass: it compiles objects and links nothing.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET   ${_mingw})
set(CMAKE_CXX_COMPILER_TARGET ${_mingw})
set(CMAKE_RC_COMPILER  ${_mingw}-windres)
# CMake's compiler checks would otherwise link a program, which needs a MinGW linker set-up.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# The include path as the posix g++ reports it. clang takes its libstdc++ folders
# and the MinGW-w64 headers, and keeps its own built-in headers (stddef.h,
# intrinsics) in place of GCC's, which only GCC can read.
execute_process(COMMAND ${_mingw}-g++-posix -v -E -x c++ /dev/null
  OUTPUT_QUIET ERROR_VARIABLE _adw_gxx_verbose RESULT_VARIABLE _adw_gxx_result)
if(NOT _adw_gxx_result EQUAL 0)
  message(FATAL_ERROR "${_mingw}-g++-posix did not report its include path:\n${_adw_gxx_verbose}")
endif()
string(REGEX MATCH "#include <\\.\\.\\.> search starts here:\n(.*)\nEnd of search list\\." _ "${_adw_gxx_verbose}")
string(REPLACE "\n" ";" _adw_gxx_dirs "${CMAKE_MATCH_1}")
set(_adw_cxx_flags "")
set(_adw_c_flags "")
foreach(dir IN LISTS _adw_gxx_dirs)
  string(STRIP "${dir}" dir)
  file(REAL_PATH "${dir}" dir)
  if(dir MATCHES "/include/c\\+\\+(/|$)")
    string(APPEND _adw_cxx_flags " -isystem ${dir}")
  elseif(dir MATCHES "/lib/gcc/")
    # GCC's own built-in headers.
  else()
    # After clang's built-in headers, where the MinGW-w64 headers expect to be.
    string(APPEND _adw_c_flags " -idirafter ${dir}")
  endif()
endforeach()
if(NOT _adw_cxx_flags OR NOT _adw_c_flags)
  message(FATAL_ERROR "No libstdc++ or MinGW-w64 include folder in the posix g++'s include path:\n${_adw_gxx_verbose}")
endif()
set(CMAKE_C_FLAGS_INIT   "-nostdlibinc${_adw_c_flags}")
set(CMAKE_CXX_FLAGS_INIT "-nostdinc++ -nostdlibinc${_adw_cxx_flags}${_adw_c_flags}")
