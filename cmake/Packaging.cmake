# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` puts beside the programs and the plugin (desktop entry, metainfo,
# icons, manual pages, documents), and the Debian package `cpack -G DEB` makes of it all.
include(GNUInstallDirs)

set(VZ_PACKAGE_MAINTAINER "Video Zarnix developers <videozarnix@users.noreply.github.com>"
  CACHE STRING "Maintainer of the Debian package: Name <address>")

set(vz_res ${PROJECT_SOURCE_DIR}/res)
set(vz_pkg ${PROJECT_BINARY_DIR}/packaging)
set(vz_docdir ${CMAKE_INSTALL_DATADIR}/doc/videozarnix)

install(FILES ${vz_res}/videozarnix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${vz_res}/io.github.videozarnix.VideoZarnix.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${vz_res}/icons/videozarnix-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME videozarnix.png)
endforeach()
install(FILES ${vz_res}/icons/videozarnix.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Documents, compressed without names or times in them so that a rebuild gives the same
# bytes: the README, the changelog and the copyright Debian asks for.
find_program(VZ_GZIP gzip REQUIRED)
configure_file(${vz_res}/debian/changelog.in ${vz_pkg}/changelog @ONLY)
set(vz_docs ${vz_pkg}/changelog.gz ${vz_pkg}/README.md.gz)
add_custom_command(OUTPUT ${vz_docs}
  COMMAND sh -c "${VZ_GZIP} -9nc changelog > changelog.gz"
  COMMAND sh -c "${VZ_GZIP} -9nc '${PROJECT_SOURCE_DIR}/README.md' > README.md.gz"
  DEPENDS ${vz_pkg}/changelog ${PROJECT_SOURCE_DIR}/README.md
  WORKING_DIRECTORY ${vz_pkg} VERBATIM)

# Manual pages from the programs' own --help, with the sections --help cannot hold (keys,
# OSC addresses, files, exit statuses) from res/man. The version comes from the project,
# not from --version, whose Qt and GStreamer lines describe the machine that built it.
find_program(VZ_HELP2MAN help2man)
set(vz_manpages "")
if(VZ_HELP2MAN AND VZ_SANITIZE STREQUAL "")
  foreach(program videozarnix videozarnix-fx)
    if(program STREQUAL "videozarnix")
      set(name "live colour effects for cameras, capture cards and MPEG files")
    else()
      set(name "apply a Video Zarnix look to raw video frames")
    endif()
    add_custom_command(OUTPUT ${vz_pkg}/${program}.1.gz
      COMMAND ${VZ_HELP2MAN} --no-info --section=1 --name=${name}
              --version-string=${PROJECT_VERSION}
              --include=${vz_res}/man/${program}.h2m --output=${vz_pkg}/${program}.1
              $<TARGET_FILE:${program}>
      COMMAND sh -c "${VZ_GZIP} -9nc ${program}.1 > ${program}.1.gz"
      DEPENDS ${program} ${vz_res}/man/${program}.h2m
      WORKING_DIRECTORY ${vz_pkg} VERBATIM)
    list(APPEND vz_manpages ${vz_pkg}/${program}.1.gz)
  endforeach()
  install(FILES ${vz_manpages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
elseif(VZ_SANITIZE STREQUAL "")
  message(STATUS "help2man not found: no manual pages (deps/install installs it)")
endif()
add_custom_target(vz_package_files ALL DEPENDS ${vz_docs} ${vz_manpages})
install(FILES ${vz_docs} ${vz_res}/debian/copyright DESTINATION ${vz_docdir})

# cpack -G DEB: videozarnix_<version>_<arch>.deb for /usr. Library dependencies come from
# the binaries (dpkg-shlibdeps); the GStreamer elements the program builds its graphs from
# at run time are named here: decodebin, videoconvert, appsrc (base), matroskamux, vp8enc,
# jpegdec, v4l2src (good), mpegpsdemux, h264parse (bad), x264enc, mpeg2dec (ugly),
# avenc_ffv1 and the MPEG decoders (libav), pipewiresrc/sink (pipewire); qt6-wayland
# lets it run as a native Wayland client.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME videozarnix)
set(CPACK_PACKAGE_VENDOR "Video Zarnix developers")
set(CPACK_PACKAGE_CONTACT ${VZ_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "live colour effects for cameras, capture cards and MPEG files")
# The long description: CPack puts the summary above it and indents each line by one space.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Video Zarnix plays video from a webcam, a capture card or an MPEG file
through a chain of integer per-pixel colour effects steered from one
large control dialog while the video runs: gain, invert, low-pass,
quantize, tint and output per channel, a floor, a mirror and seven modes.
Twenty-six preset slots are recalled by the letter keys, also in full
screen. The processed video can be recorded, offered to other programs as
a camera, shown in an output window, and driven over MIDI and OSC.

The package also holds videozarnix-fx, a frame filter that renders a look
offline, and the GStreamer element zarnix.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, gstreamer1.0-plugins-ugly, gstreamer1.0-libav, gstreamer1.0-pipewire, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pipewire")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "v4l2loopback-dkms, gstreamer1.0-tools")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build[^/]*/" "/\\\\.git/")
include(CPack)
include(${PROJECT_SOURCE_DIR}/tests/packaging_tests.cmake)
