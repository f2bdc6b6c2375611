# One warnings target that every target of the project links.
add_library(tapwell_warnings INTERFACE)
target_compile_options(tapwell_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                                  -Wold-style-cast -Wcast-align -Woverloaded-virtual)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(tapwell_warnings INTERFACE -Wno-old-style-cast)
endif()

# Declares a static library: tapwell_library(<name> SOURCES <files> [LINK <libs>]).
function(tapwell_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINK" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LINK} PRIVATE tapwell_warnings)
endfunction()
