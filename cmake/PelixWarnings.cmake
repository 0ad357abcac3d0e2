# Warnings are errors in every target of this project.
add_library(pelix_warnings INTERFACE)
target_compile_options(pelix_warnings INTERFACE
  -Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  -Wformat=2 -Wimplicit-fallthrough)

# pelix_add_object_library(NAME DEPS ...)
# Builds every .cpp of the calling folder as one object library. The shared
# library links all of them; a folder's test binary links just the ones it
# needs (object files are not passed on transitively, usage requirements are).
# Everything is compiled with hidden visibility: the library exports exactly
# what its public headers mark PELIX_API.
function(pelix_add_object_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} OBJECT ${sources})
    target_include_directories(${name} PUBLIC
      ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE pelix_warnings)
    # Only what the public headers mark PELIX_API leaves the shared library.
    set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE
      ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()
