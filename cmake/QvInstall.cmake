# Installation: the program folder goes to <prefix>/lib/quorvex/ with a marker
# file that makes the programs keep their settings in the user's
# configuration folder; <prefix>/bin/ holds links to the two commands; the
# desktop entry, metainfo, icons and manual pages go under <prefix>/share/.
# Also the Debian package (cpack -G DEB).

set(QV_APP_ID "io.github.quorvex.Quorvex")
set(QV_INSTALL_APPDIR "lib/quorvex")

install(TARGETS avcore quorvex-cli RUNTIME DESTINATION "${QV_INSTALL_APPDIR}")
if(TARGET quorvex)
  install(TARGETS quorvex RUNTIME DESTINATION "${QV_INSTALL_APPDIR}")
endif()

# Language files and the English DirectShow template, help pages beside them,
# pictures. The profiles the build writes into langs/ of the build folder are
# not installed: the installed profiles are the untouched copy in shipped/,
# from which each user's profile tree is filled.
install(DIRECTORY "${CMAKE_SOURCE_DIR}/data/langs/" DESTINATION "${QV_INSTALL_APPDIR}/langs")
install(DIRECTORY "${CMAKE_SOURCE_DIR}/data/help/" DESTINATION "${QV_INSTALL_APPDIR}/langs")
install(DIRECTORY "${CMAKE_SOURCE_DIR}/data/skins/" DESTINATION "${QV_INSTALL_APPDIR}/skins")
install(DIRECTORY "${QV_APP_DIR}/shipped/" DESTINATION "${QV_INSTALL_APPDIR}/shipped")

set(QV_STAGE "${CMAKE_BINARY_DIR}/install-stage")
file(MAKE_DIRECTORY "${QV_STAGE}")
file(WRITE "${QV_STAGE}/installed"
  "This program folder is installed: the programs keep their settings and profiles\n"
  "in $XDG_CONFIG_HOME/quorvex/ (default ~/.config/quorvex/) and never write here.\n")
install(FILES "${QV_STAGE}/installed" DESTINATION "${QV_INSTALL_APPDIR}")

# Relative links, so that any prefix works.
foreach(cmd quorvex quorvex-cli)
  if(cmd STREQUAL "quorvex" AND NOT TARGET quorvex)
    continue()
  endif()
  file(CREATE_LINK "../${QV_INSTALL_APPDIR}/${cmd}" "${QV_STAGE}/${cmd}" SYMBOLIC)
  install(FILES "${QV_STAGE}/${cmd}" DESTINATION bin)
endforeach()

install(FILES "${CMAKE_SOURCE_DIR}/data/desktop/${QV_APP_ID}.desktop" DESTINATION share/applications)
install(FILES "${CMAKE_SOURCE_DIR}/data/desktop/${QV_APP_ID}.metainfo.xml" DESTINATION share/metainfo)
install(DIRECTORY "${CMAKE_SOURCE_DIR}/data/icons/hicolor" DESTINATION share/icons)

# Manual pages, compressed as Debian expects them.
find_program(QV_GZIP gzip REQUIRED)
set(man_outputs)
foreach(page quorvex quorvex-cli avcore.dll)
  set(out "${QV_STAGE}/${page}.1.gz")
  add_custom_command(OUTPUT "${out}"
    COMMAND "${QV_GZIP}" -9 -n -c "${CMAKE_SOURCE_DIR}/data/man/${page}.1" > "${out}"
    DEPENDS "${CMAKE_SOURCE_DIR}/data/man/${page}.1"
    VERBATIM)
  list(APPEND man_outputs "${out}")
  install(FILES "${out}" DESTINATION share/man/man1)
endforeach()
# A native package (no Debian revision) names it changelog.gz.
set(changelog "${QV_STAGE}/changelog.gz")
add_custom_command(OUTPUT "${changelog}"
  COMMAND "${QV_GZIP}" -9 -n -c "${CMAKE_SOURCE_DIR}/data/desktop/changelog" > "${changelog}"
  DEPENDS "${CMAKE_SOURCE_DIR}/data/desktop/changelog"
  VERBATIM)
add_custom_target(qv_man ALL DEPENDS ${man_outputs} "${changelog}")

install(FILES "${CMAKE_SOURCE_DIR}/data/desktop/copyright" "${changelog}" DESTINATION share/doc/quorvex)

# ---- Debian package ----
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "quorvex")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "The Quorvex developers")
set(CPACK_PACKAGE_CONTACT "The Quorvex developers <quorvex@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch converter for video and audio files")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Quorvex converts video and audio files in batches to sixteen formats (AVI,\n"
  "MP4, 3GP, MPEG, MOV, WMV, RM, SWF, VOB, ASF, AAC, AC3, MP2, MP3, AMR, WAV)\n"
  "with a saved encoding profile per format, showing per-file and batch\n"
  "progress. It comes with a desktop program and a command-line converter\n"
  "for scripts, and encodes through ffmpeg.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "video")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/quorvex/quorvex")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# The automatic scan finds the libraries the programs link (Qt, the C and C++
# runtimes) with their versions; MediaInfoLib and the AMR encoders are loaded
# at run time, ffmpeg is a program and the platform plugins are loaded by Qt,
# so these are named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ffmpeg, libmediainfo0v5, libopencore-amrnb0, libvo-amrwbenc0, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The package carries the programs without their debugging symbols.
set(CPACK_STRIP_FILES ON)
include(CPack)
