# Installation of the programs (trelmctl, trelm-devsim and, when it is part of
# the build, quarnui with its templates, launcher, desktop entry and icon) and
# the Debian package. Included at the end of the top-level CMakeLists.txt, so
# every target exists already. libtrelm's own rules are in trelm/.
include(GNUInstallDirs)

# Installed programs find libtrelm relative to their own folder, so a tree
# installed under any prefix works without LD_LIBRARY_PATH.
file(RELATIVE_PATH QUARN_BIN_TO_LIB ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
set(QUARN_INSTALL_RPATH "$ORIGIN/${QUARN_BIN_TO_LIB}")

foreach(tool trelmctl trelm-devsim)
  if(TARGET ${tool})
    set_target_properties(${tool} PROPERTIES INSTALL_RPATH "${QUARN_INSTALL_RPATH}")
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
  endif()
endforeach()

if(TARGET quarnui)
  set_target_properties(quarnui PROPERTIES INSTALL_RPATH "${QUARN_INSTALL_RPATH}")
  install(TARGETS quarnui RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)

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

# ---- Debian package: `cpack -G DEB` in the build folder ---------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarnloader)
set(CPACK_PACKAGE_VENDOR "Quarn")
set(CPACK_PACKAGE_CONTACT "Quarn File Loader maintainers <quarnloader@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Serial file loader for embedded devices: library, command line tool, emulator and program")
set(CPACK_PACKAGE_DESCRIPTION
  "libtrelm speaks the device's framed serial file protocol; trelmctl uses it from the command line; trelm-devsim emulates a device on a pseudo-terminal; quarnui is the desktop program, started through the quarnloader launcher.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Library dependencies of the binaries (libc, libstdc++, the Qt 6 libraries)
# are worked out by dpkg-shlibdeps; libtrelm comes with the package itself.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET quarnui)
  # The program draws its icons from SVG through Qt's SVG icon engine, a
  # plugin that Qt loads at run time (no link dependency dpkg-shlibdeps sees).
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6 (>= 6.4)")
endif()
# Debug information stays in the build tree, not in the package.
set(CPACK_STRIP_FILES ON)
include(CPack)
