# Copies data/langs, data/skins and data/help into the program folder, file by
# file, only where the shipped file differs from the copy there.
foreach(sub langs skins help)
  if(EXISTS "${SRC}/${sub}")
    file(GLOB_RECURSE files RELATIVE "${SRC}" "${SRC}/${sub}/*")
    foreach(f IN LISTS files)
      get_filename_component(dir "${DST}/${f}" DIRECTORY)
      file(MAKE_DIRECTORY "${dir}")
      execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${SRC}/${f}" "${DST}/${f}")
    endforeach()
  endif()
endforeach()
