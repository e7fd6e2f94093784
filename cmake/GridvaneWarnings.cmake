# Warnings for our own targets only; they stop the build only when GRIDVANE_WERROR is on (./test.sh and
# the CI scripts turn it on; a user building with a newer compiler gets warnings, not a failed build).
option(GRIDVANE_WERROR "Treat compiler warnings in our own targets as errors" OFF)

function(gridvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    # GCC 12 at -O3 warns of overlapping copies inside std::string's operator+ that cannot happen
    # (its bug 105329); the warning says nothing about our code there.
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(GRIDVANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
