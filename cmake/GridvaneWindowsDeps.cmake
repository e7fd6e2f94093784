# Libraries of the core on Windows. The spreadsheet is reached through COM and the width mappings go
# through the system, so the workbook-file reader (libzip, pugixml) and ICU are not part of this build;
# only the header-only JSON library is needed.
find_package(nlohmann_json 3.10 QUIET)
if(NOT nlohmann_json_FOUND AND CMAKE_CROSSCOMPILING AND EXISTS "/usr/include/nlohmann/json.hpp")
  # A cross build on Debian borrows the build machine's copy of the headers, linked into a directory of
  # its own so that no other host header can shadow the target's.
  set(_json_include "${CMAKE_BINARY_DIR}/host-headers")
  file(MAKE_DIRECTORY "${_json_include}")
  if(NOT EXISTS "${_json_include}/nlohmann")
    file(CREATE_LINK "/usr/include/nlohmann" "${_json_include}/nlohmann" SYMBOLIC)
  endif()
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  target_include_directories(nlohmann_json::nlohmann_json INTERFACE "${_json_include}")
  set(nlohmann_json_FOUND TRUE)
endif()
if(NOT nlohmann_json_FOUND)
  message(FATAL_ERROR "nlohmann_json 3.10 or later is needed")
endif()
