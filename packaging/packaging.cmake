# Installation (cmake --install) and the Debian package (cpack -G DEB).
include(GNUInstallDirs)

set(XMCA_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING
    "Where the udev rule for FTDI analysers goes, relative to the install prefix")

install(TARGETS xmca mcatool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/xmca.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/xmca.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/60-xmca-ftdi.rules DESTINATION ${XMCA_UDEV_RULES_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME xmca)
set(CPACK_PACKAGE_VENDOR "xmca")
set(CPACK_PACKAGE_CONTACT "xmca maintainers <xmca@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Control program for a USB multichannel analyser (gamma-ray spectrometry)")
set(CPACK_PACKAGE_DESCRIPTION "Acquires pulse-height spectra from a USB multichannel analyser on a \
scintillation detector, shows them live, and computes Cs-134, Cs-137 and K-40 activities in Bq/kg. \
Includes mcatool for batch work and unattended acquisition, and a udev rule giving the plugdev group \
access to FTDI analysers.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# Libraries from dpkg-shlibdeps (Qt, libftdi1, libusb); the fonts the plot and the
# Japanese labels are drawn with are not linked, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, fonts-ipafont-gothic")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev, qt6-translations-l10n")  # Qt's own dialogs in Japanese
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${CMAKE_CURRENT_LIST_DIR}/debian/postinst;${CMAKE_CURRENT_LIST_DIR}/debian/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
