# Strict warnings for the project's own targets (not for third-party code).
function(quarn_strict target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
  # GCC 12's -Wrestrict misreads its own inlined std::string concatenation
  # at -O2 and above (GCC bug 105651) and would stop optimised builds; the
  # warning stays on, it only no longer fails the build there.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
     AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-error=restrict)
  endif()
endfunction()
