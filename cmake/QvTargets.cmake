# qv_add_library(NAME DIR... LINK libs...)
# A static library made of every .cpp in the given source folders (relative to src/).
function(qv_add_library name)
  cmake_parse_arguments(ARG "" "" "DIRS;LINK" ${ARGN})
  set(srcs)
  foreach(d IN LISTS ARG_DIRS)
    file(GLOB s CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/src/${d}/*.cpp")
    list(APPEND srcs ${s})
  endforeach()
  add_library(${name} STATIC ${srcs})
  target_link_libraries(${name} PUBLIC qv_common ${ARG_LINK})
endfunction()

# Puts an executable into the program folder.
function(qv_program_target target)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${QV_APP_DIR}")
endfunction()
