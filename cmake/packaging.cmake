# The Debian package: every component in one package, oculant_<version>_<arch>.deb, made by
# scripts/package (cpack -G DEB in the build folder).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME oculant)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop test bench for stereo vision algorithms")
# Debian shows the description as written: lines of at most 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "Renders a small 3D scene described in a text file as an exact, repeatable
stereo pair: an overview window to turn and drive the stereo rig, and two
windows with its left and right eye views, which outside programs fetch over
a local socket. Runs headless without a display.
Ships the bench (oculant), the scene checker (oculant-scene), the command-line
client (oculant-client), the client library with its headers, pkg-config file
and CMake package, the Python client for python3 (module oculant_client), and
a demo scene in /usr/share/oculant/demo.")
# Debian wants a name and a mail address; whoever publishes the package sets theirs. The default
# is a reserved domain that no mail reaches.
set(OCULANT_PACKAGE_MAINTAINER "The oculant authors <authors@oculant.invalid>" CACHE STRING
    "The Debian package's Maintainer: a name and <mail address>")
set(CPACK_PACKAGE_CONTACT "${OCULANT_PACKAGE_MAINTAINER}")
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
# The Python client needs python3 (numpy turns its frames into arrays), only for those who use it.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3, python3-numpy")
# The library's folder is the system's: ldconfig runs once per apt run through its trigger. The
# maintainer scripts byte-compile the Python client and remove its byte code again.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/debian/triggers ${CMAKE_CURRENT_LIST_DIR}/debian/postinst
    ${CMAKE_CURRENT_LIST_DIR}/debian/prerm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The copyright file in Debian's machine-readable format, the licence's text taken from LICENSE,
# and the changelog every Debian package carries. Installed with both components, so that any
# install carries its licence.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
if(NOT licence MATCHES "Copyright \\(c\\) ([^\n]+)\n\n(.+)$")
  message(FATAL_ERROR "LICENSE has no \"Copyright (c) ...\" line followed by the licence's text")
endif()
set(OCULANT_COPYRIGHT "${CMAKE_MATCH_1}")
string(STRIP "${CMAKE_MATCH_2}" licence_text)
# Continuation lines start with a space; an empty line is written " .".
string(REPLACE "\n\n" "\n.\n" licence_text "${licence_text}")
string(REPLACE "\n" "\n " licence_text " ${licence_text}")
set(OCULANT_LICENCE_TEXT "${licence_text}")
set(debian_docs ${PROJECT_BINARY_DIR}/debian)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright.in ${debian_docs}/copyright @ONLY)
string(TIMESTAMP OCULANT_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${debian_docs}/changelog @ONLY)
execute_process(COMMAND gzip -9nf ${debian_docs}/changelog RESULT_VARIABLE gzip_status)
if(NOT gzip_status EQUAL 0)
  message(FATAL_ERROR "gzip ${debian_docs}/changelog failed: ${gzip_status}")
endif()
foreach(component bench client)
  install(FILES ${debian_docs}/copyright ${debian_docs}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT ${component})
endforeach()
include(CPack)
