# vol_library(name [DEPS lib...]): a static library from src/<name>/src/*.cpp with its
# public headers in src/<name>/include.
function(vol_library name)
  cmake_parse_arguments(V "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/src/*.c)
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include)
  target_link_libraries(${name} PUBLIC ${V_DEPS})
endfunction()

# Every library of the program, in one link group so that call-backs across layers resolve.
set(VOL_ALL_LIBS platform foundation files net engine ogl tex widgets shell installer movie geometry scenery
    CACHE INTERNAL "")
function(vol_link_all target)
  target_link_libraries(${target} PRIVATE "$<LINK_GROUP:RESCAN,${VOL_ALL_LIBS}>")
endfunction()
