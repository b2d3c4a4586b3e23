# Installation and the Debian package. `cmake --install` puts the two
# programs in bin/ and the data in share/vantrel/ (data.pak and the scene
# file, laid out as in the run folder); the programs find it there from the
# path they were started by, and write log.txt and screenshots into the
# working directory, never into the prefix. `make package` builds the .deb
# with its dependencies computed from the programs (dpkg-shlibdeps).
include(GNUInstallDirs)

install(TARGETS vantrel-demo vantrel-capture RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${VANTREL_RUN_DIR}/data.pak DESTINATION ${CMAKE_INSTALL_DATADIR}/vantrel)
install(FILES ${VANTREL_RUN_DIR}/data/station03.ase DESTINATION ${CMAKE_INSTALL_DATADIR}/vantrel/data)
install(FILES ${PROJECT_SOURCE_DIR}/demo/vantrel-demo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR "Vantrel")
set(CPACK_PACKAGE_CONTACT "Vantrel developers <vantrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Real-time 3D demo: a lit, shadowed space station with post-processing")
set(CPACK_PACKAGE_INSTALL_DIRECTORY vantrel)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# OpenGL and EGL are loaded at run time (libepoxy), so no library names them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1, libegl1")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri")
set(CPACK_STRIP_FILES ON)
include(CPack)
