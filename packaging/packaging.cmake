# Installation (cmake --install) and the Debian package (cpack -G DEB).
include(GNUInstallDirs)

set(XMCA_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING
    "Where the udev rule for FTDI analysers goes, relative to the install prefix")

install(TARGETS xmca mcatool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Relocations resolved at start and then read-only (as Debian's hardening asks).
target_link_options(xmca PRIVATE -Wl,-z,relro,-z,now)
target_link_options(mcatool PRIVATE -Wl,-z,relro,-z,now)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/xmca.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/xmca.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/60-xmca-ftdi.rules DESTINATION ${XMCA_UDEV_RULES_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/example.c_seed_25c79191.xmca.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The changelog's latest entry and the metainfo's newest release name this version.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/debian/changelog xmca_changelog_head LIMIT_COUNT 1)
if(NOT xmca_changelog_head MATCHES "^xmca \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/debian/changelog: the latest entry is not version ${PROJECT_VERSION}")
endif()
file(READ ${CMAKE_CURRENT_LIST_DIR}/example.c_seed_25c79191.xmca.metainfo.xml xmca_metainfo)
if(NOT xmca_metainfo MATCHES "<releases>[ \n]*<release version=\"${PROJECT_VERSION}\"")
  message(FATAL_ERROR "packaging/example.c_seed_25c79191.xmca.metainfo.xml: the newest release is not ${PROJECT_VERSION}")
endif()

# A laboratory's server: the setup script and the README's section on it.
set(xmca_pkg_dir ${CMAKE_BINARY_DIR}/packaging)
add_custom_command(
  OUTPUT ${xmca_pkg_dir}/postgresql/README.md
  COMMAND ${CMAKE_COMMAND} -DREADME=${PROJECT_SOURCE_DIR}/README.md -DOUT=${xmca_pkg_dir}/postgresql/README.md
          -P ${CMAKE_CURRENT_LIST_DIR}/server_readme.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/README.md ${CMAKE_CURRENT_LIST_DIR}/server_readme.cmake
  VERBATIM)
# The changelog of a native Debian package, compressed as Debian keeps it.
add_custom_command(
  OUTPUT ${xmca_pkg_dir}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${xmca_pkg_dir}
  COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" sh ${CMAKE_CURRENT_LIST_DIR}/debian/changelog ${xmca_pkg_dir}/changelog.gz
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/debian/changelog
  VERBATIM)
set(xmca_pkg_outputs ${xmca_pkg_dir}/postgresql/README.md ${xmca_pkg_dir}/changelog.gz)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/postgresql/setup.sql ${xmca_pkg_dir}/postgresql/README.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/postgresql)
install(FILES ${xmca_pkg_dir}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Manual pages, made by help2man from each program's --help and --version (which
# need no display). Not in the sanitizer and fuzz builds, which are never packaged.
find_program(HELP2MAN help2man)
if(NOT XMCA_SANITIZE AND NOT XMCA_TSAN AND NOT XMCA_BUILD_FUZZ)
  if(NOT HELP2MAN)
    message(FATAL_ERROR "help2man is needed for the manual pages (Debian package help2man)")
  endif()
  foreach(prog_name xmca mcatool)
    if(prog_name STREQUAL "xmca")
      set(whatis "control program of a USB multichannel analyser for gamma-ray spectrometry")
    else()
      set(whatis "batch work on gamma-ray spectra, the sample register and the analyser")
    endif()
    add_custom_command(
      OUTPUT ${xmca_pkg_dir}/man/${prog_name}.1.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${xmca_pkg_dir}/man
      COMMAND ${HELP2MAN} --no-info --section=1 --name=${whatis} --output=${xmca_pkg_dir}/man/${prog_name}.1
              $<TARGET_FILE:${prog_name}>
      COMMAND gzip -9nf ${xmca_pkg_dir}/man/${prog_name}.1
      DEPENDS ${prog_name}
      VERBATIM)
    list(APPEND xmca_pkg_outputs ${xmca_pkg_dir}/man/${prog_name}.1.gz)
    install(FILES ${xmca_pkg_dir}/man/${prog_name}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  set(XMCA_MAN_DIR ${xmca_pkg_dir}/man)
endif()
add_custom_target(xmca_package_files ALL DEPENDS ${xmca_pkg_outputs})

set(CPACK_PACKAGE_NAME xmca)
set(CPACK_PACKAGE_VENDOR "xmca")
# The address the project's commits are made with.
set(CPACK_PACKAGE_CONTACT "Seed 25c79191 maintainers <maintainers@users.noreply.c-seed-25c79191.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Control program for a USB multichannel analyser (gamma-ray spectrometry)")
# Debian wants the extended description in lines of at most 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Acquires pulse-height spectra from a USB multichannel analyser on a\n"
  "scintillation detector, shows them live, and computes Cs-134, Cs-137 and\n"
  "K-40 activities in Bq/kg with their limits and a screening verdict.\n"
  "Includes mcatool for batch work and unattended acquisition, and a udev rule\n"
  "giving the plugdev group access to FTDI analysers.")
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
