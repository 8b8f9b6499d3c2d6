# Strict warnings for the project's own targets (not for third-party code).
function(quarn_strict target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
endfunction()
