# Copies data/langs and data/skins into the program folder, and data/help into
# its langs folder, file by file, only where the shipped file differs.
# data/help holds the help documents, which live beside the language files.
foreach(sub langs skins help)
  if(EXISTS "${SRC}/${sub}")
    file(GLOB_RECURSE files RELATIVE "${SRC}" "${SRC}/${sub}/*")
    foreach(f IN LISTS files)
      set(target "${f}")
      if(sub STREQUAL "help")
        string(REGEX REPLACE "^help/" "langs/" target "${f}")
      endif()
      get_filename_component(dir "${DST}/${target}" DIRECTORY)
      file(MAKE_DIRECTORY "${dir}")
      execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${SRC}/${f}" "${DST}/${target}")
    endforeach()
  endif()
endforeach()
