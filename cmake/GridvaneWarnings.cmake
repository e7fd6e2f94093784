# Warnings for our own targets only; they stop the build only when GRIDVANE_WERROR is on (./test.sh and
# the CI scripts turn it on; a user building with a newer compiler gets warnings, not a failed build).
option(GRIDVANE_WERROR "Treat compiler warnings in our own targets as errors" OFF)

function(gridvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(GRIDVANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
