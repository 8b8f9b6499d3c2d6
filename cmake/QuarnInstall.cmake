# Installation of the programs (trelmctl, trelm-devsim and, when it is part of
# the build, quarnui with its templates, launcher, desktop entry and icon) and
# the Debian packages. Included at the end of the top-level CMakeLists.txt, so
# every target exists already. libtrelm's own rules are in trelm/.
#
# Install components and the Debian package each one becomes:
#   library      libtrelm1      libtrelm.so.1*
#   development  libtrelm-dev   trelm.h, libtrelm.so, trelm.pc, CMake package
#   tools        trelm-tools    trelmctl, trelm-devsim, their manual pages
#   program      quarnloader    quarnui, the launcher, templates, menu entry
include(GNUInstallDirs)

# The Qt 6 runtime packages the desktop program needs: the libraries it links
# and those Qt loads as plugins at run time (the SVG icon engine is in
# libqt6svg6; the COM port list's adapter names come from libqt6serialport6).
# The one list of them; quarnloader depends on each.
set(QUARN_PROGRAM_QT_PACKAGES
  "libqt6core6 (>= 6.4)"
  "libqt6gui6 (>= 6.4)"
  "libqt6widgets6 (>= 6.4)"
  "libqt6svg6 (>= 6.4)"
  "libqt6serialport6 (>= 6.4)")

# Under another prefix the programs that link libtrelm find it relative to
# their own folder, so such a tree works without LD_LIBRARY_PATH. Under /usr
# and /usr/local (a package, or a staged install with DESTDIR) the library
# is in the loader's standard path and the programs carry no search path.
file(RELATIVE_PATH QUARN_BIN_TO_LIB ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
set(QUARN_INSTALL_RPATH "$ORIGIN/${QUARN_BIN_TO_LIB}")

# quarn_install_program(TARGET COMPONENT [USES_LIBTRELM])
function(quarn_install_program target component)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component})
  if(NOT "USES_LIBTRELM" IN_LIST ARGN)
    return()
  endif()
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "${QUARN_INSTALL_RPATH}")
  set(file "${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:${target}>")
  install(CODE "
    if(CMAKE_INSTALL_PREFIX MATCHES \"^/usr(/local)?/*$\")
      file(RPATH_REMOVE FILE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${file}\")
    endif()" COMPONENT ${component})
endfunction()

quarn_install_program(trelmctl tools USES_LIBTRELM)
quarn_install_program(trelm-devsim tools)

# Manual pages, with the version filled in and compressed as Debian's policy
# asks.
set(QUARN_PACKAGE_VERSION
  ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
set(QUARN_MAN_PAGES)
foreach(page trelmctl.1 trelm-devsim.1)
  set(page_file ${PROJECT_BINARY_DIR}/packaging/man/${page})
  configure_file(${PROJECT_SOURCE_DIR}/packaging/man/${page}.in ${page_file} @ONLY)
  add_custom_command(OUTPUT ${page_file}.gz
    COMMAND gzip -9 -n -f -k ${page_file}
    DEPENDS ${page_file}
    COMMENT "Compressing the manual page ${page}")
  list(APPEND QUARN_MAN_PAGES ${page_file}.gz)
endforeach()
add_custom_target(quarn_man_pages ALL DEPENDS ${QUARN_MAN_PAGES})
install(FILES ${QUARN_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)

if(TARGET quarnui)
  quarn_install_program(quarnui program USES_LIBTRELM)

  # What a user's start-up folder starts with; the launcher copies it there.
  set(QUARN_TEMPLATE_DIR ${CMAKE_INSTALL_DATADIR}/quarnloader)
  file(GLOB QUARN_TEMPLATE_TEXTS CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/resources/LANG_*.txt ${PROJECT_SOURCE_DIR}/resources/ERR_*.txt)
  install(FILES
    ${PROJECT_SOURCE_DIR}/resources/quarnloader.ini
    ${QUARN_TEMPLATE_TEXTS}
    ${PROJECT_SOURCE_DIR}/resources/splash.bmp
    ${PROJECT_SOURCE_DIR}/resources/OemLogo.bmp
    DESTINATION ${QUARN_TEMPLATE_DIR} COMPONENT program)

  file(RELATIVE_PATH QUARN_BIN_TO_TEMPLATES
    ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/quarnloader)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/quarnloader.in
    ${PROJECT_BINARY_DIR}/packaging/quarnloader @ONLY)
  install(PROGRAMS ${PROJECT_BINARY_DIR}/packaging/quarnloader
    DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/quarnloader.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT program)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/app.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
    RENAME quarnloader.svg COMPONENT program)
endif()

# ---- Debian packages: `cpack` in the build folder --------------------------

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarnloader)
set(CPACK_PACKAGE_VENDOR "Quarn")
set(CPACK_PACKAGE_CONTACT "Quarn File Loader maintainers <quarnloader@localhost>")
set(CPACK_PACKAGE_VERSION ${QUARN_PACKAGE_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL library development tools)
if(TARGET quarnui)
  list(APPEND CPACK_COMPONENTS_ALL program)
endif()
# name_version_architecture.deb
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies on libc, libstdc++ and the Qt libraries are worked out by
# dpkg-shlibdeps from the binaries. libtrelm1 is not installed while its own
# packages are made, so the packages that use it name it themselves, and
# dpkg-shlibdeps looks for it in the build tree.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/trelm)
# Debug information stays in the build tree, not in the packages.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libtrelm1)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
# A shlibs file: packages built against libtrelm.so.1 depend on
# libtrelm1 (>= this version).
# (Only libtrelm1 holds a shared library, so only it gets one.)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_LIBRARY_DESCRIPTION
  "serial file access library for embedded devices
libtrelm speaks the framed request/reply protocol with which an embedded
device offers its NV file store on a serial line. Through a small C API it
opens a COM port or finds the port a device answers on, reads the device
information and file statistics, lists, queries and deletes the device's
files, and copies files to and from the device with progress and cancel.

This package contains the shared library.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libtrelm-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libtrelm1 (= ${QUARN_PACKAGE_VERSION})")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
  "serial file access library for embedded devices - development files
libtrelm speaks the framed request/reply protocol with which an embedded
device offers its NV file store on a serial line.

This package contains what programs built against the library need: the
header trelm.h, the libtrelm.so link, the pkg-config file trelm.pc and the
CMake package (find_package(trelm), target trelm::trelm).")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME trelm-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "libtrelm1 (>= ${QUARN_PACKAGE_VERSION})")
set(CPACK_DEBIAN_TOOLS_DESCRIPTION
  "command line tool and device emulator for libtrelm
trelmctl moves files between this computer and the NV file store of an
embedded device on a serial line: it lists, queries, copies and deletes the
device's files, for terminals and scripts (JSON output, exit status per
result).

trelm-devsim emulates such a device on a pseudo-terminal and offers it as a
COM port, with scripted faults, so that everything can be tried and tested
without hardware.")

if(TARGET quarnui)
  set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME quarnloader)
  set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION comm)
  list(JOIN QUARN_PROGRAM_QT_PACKAGES ", " QUARN_PROGRAM_QT_DEPENDS)
  set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS
    "libtrelm1 (>= ${QUARN_PACKAGE_VERSION}), ${QUARN_PROGRAM_QT_DEPENDS}")
  set(CPACK_DEBIAN_PROGRAM_DESCRIPTION
    "desktop program that loads files into embedded devices
The Quarn File Loader shows the files of an embedded device connected on a
serial port beside the files of a local folder, and copies the selected
files between them with progress and cancel. Files can be deleted on either
side; an options sheet sets the COM port, the language and the folder, and
a service mode shows hidden files and per-file marks.

The menu entry starts it through the launcher quarnloader, which keeps the
user's settings in ~/.local/share/quarnloader.")
endif()

# What CPack cannot write itself is finished in the built packages.
set(CPACK_DEBIAN_EXTRA_FIELDS
  "libtrelm1=Multi-Arch: same"
  "libtrelm-dev=Multi-Arch: same"
  "trelm-tools=Multi-Arch: foreign")
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/DebianControl.cmake)
include(CPack)
