# The Debian package: every component in one package, oculant_<version>_<arch>.deb, made by
# scripts/package (cpack -G DEB in the build folder).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME oculant)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop test bench for stereo vision algorithms")
set(CPACK_PACKAGE_DESCRIPTION
    "Renders a small 3D scene described in a text file as an exact, repeatable stereo pair: an \
overview window to turn and drive the stereo rig, and two windows with its left and right eye \
views, which outside programs fetch over a local socket. Runs headless without a display.
Ships the bench (oculant), the scene checker (oculant-scene), the command-line client \
(oculant-client), the client library with its headers, pkg-config file and CMake package, and \
a demo scene in /usr/share/oculant/demo.")
set(CPACK_PACKAGE_CONTACT "oculant developers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The libraries the programs link come from dpkg-shlibdeps; these are what they load or read at
# run time: the GL and EGL drivers (EGL for the headless mode) and the overlay's font, whose
# glyphs are part of every frame.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Other packages' programs that link the client library depend on this package through it.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1-mesa-dri, libegl1, fonts-liberation2")
include(CPack)
