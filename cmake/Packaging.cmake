# A Debian package from the install rules: cpack -G DEB in the build folder
# (./build.sh deb). Its dependencies are what dpkg-shlibdeps finds in the
# program and in our own libraries, plus the one outside library the program
# only loads at run time, by name.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvanel-sondrel)
set(CPACK_PACKAGE_VENDOR "Orvanel Sondrel")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "CD ripper: audio CDs to MP3, Ogg Vorbis, WMA, WAV, FLAC and APE")
set(CPACK_PACKAGE_DESCRIPTION
    "Orvanel Sondrel reads the tracks of an audio CD digitally and writes them as tagged sound files, named from a template, with a playlist, disc database lookup and a small CD player.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Orvanel Sondrel developers <developers@orvanel.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Our own libraries are private and found through the run path, not by the
# system's loader cache: tell dpkg-shlibdeps where they are.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
# Loaded at run time by name, so dpkg-shlibdeps cannot see them: libFLAC,
# and libopusenc for Opus files.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libflac12, libopusenc0")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pavucontrol")
include(CPack)
