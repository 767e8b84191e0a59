# The libraries of the program, lowest layer first: each may use only those listed before it
# (the layer check in tests/arch reads this list).
set(VOL_LIBS platform foundation files net engine ogl tex widgets shell installer movie geometry scenery
    CACHE INTERNAL "")

# vol_library(name [DEPS lib...]): a static library from src/<name>/src/*.cpp with its
# public headers in src/<name>/include, linked against the libraries it uses.
function(vol_library name)
  cmake_parse_arguments(V "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/src/*.c)
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include)
  target_link_libraries(${name} PUBLIC ${V_DEPS})
endfunction()

# vol_link_all(target): every library of the program, highest layer first, for the rare tool
# that really uses the whole program. No link group: a call from a library up into a higher one
# still fails to link. Prefer linking what the target uses.
function(vol_link_all target)
  set(top_first ${VOL_LIBS})
  list(REVERSE top_first)
  target_link_libraries(${target} PRIVATE ${top_first})
endfunction()
