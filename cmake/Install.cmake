# What `cmake --install` places and how scripts/package.sh turns it into a
# Debian package: the programs, the desktop entry, icons, the shared-MIME-info
# entry, the AppStream metainfo, the manual pages, the bash completion of
# dlvr and the package's copyright and changelog. Included from the top-level CMakeLists.txt.
include(GNUInstallDirs)

set(DLVR_APP_ID jp.dlvrview.DLVRView)
set(DLVR_DATA_DIR ${PROJECT_SOURCE_DIR}/data)
# Directories a package creates are rwxr-xr-x whatever the builder's umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(DLVR_DEB_MAINTAINER "DLVRView developers <maintainers@dlvrview.example>")
set(DLVR_DEB_VERSION "${PROJECT_VERSION}-1")

# Manual pages and the package's changelog are installed compressed, as
# Debian wants them (gzip -n: no name or time stamp, so the bytes are the
# same on every build).
set(DLVR_MAN_PAGES dlvr)
if(TARGET dlvrview)
  list(APPEND DLVR_MAN_PAGES dlvrview)
endif()
set(_dlvr_gz_outputs)
foreach(page IN LISTS DLVR_MAN_PAGES)
  set(_src ${DLVR_DATA_DIR}/man/${page}.1)
  set(_out ${PROJECT_BINARY_DIR}/data/man/${page}.1.gz)
  add_custom_command(OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/data/man
    COMMAND gzip -9n -c ${_src} > ${_out}
    DEPENDS ${_src} VERBATIM)
  list(APPEND _dlvr_gz_outputs ${_out})
  install(FILES ${_out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
configure_file(${DLVR_DATA_DIR}/debian/changelog.in ${PROJECT_BINARY_DIR}/data/debian/changelog.Debian @ONLY)
set(_changelog_gz ${PROJECT_BINARY_DIR}/data/debian/changelog.Debian.gz)
add_custom_command(OUTPUT ${_changelog_gz}
  COMMAND gzip -9n -c ${PROJECT_BINARY_DIR}/data/debian/changelog.Debian > ${_changelog_gz}
  DEPENDS ${PROJECT_BINARY_DIR}/data/debian/changelog.Debian VERBATIM)
list(APPEND _dlvr_gz_outputs ${_changelog_gz})
add_custom_target(dlvr_install_data ALL DEPENDS ${_dlvr_gz_outputs})

if(TARGET dlvr)
  install(TARGETS dlvr RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${DLVR_DATA_DIR}/completion/dlvr DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endif()
if(TARGET dlvrview)
  install(TARGETS dlvrview RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${DLVR_DATA_DIR}/${DLVR_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${DLVR_DATA_DIR}/metainfo/${DLVR_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${DLVR_DATA_DIR}/mime/${DLVR_APP_ID}.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
  install(DIRECTORY ${DLVR_DATA_DIR}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons
          FILES_MATCHING PATTERN "*.png" PATTERN "*.svg")
endif()
install(FILES ${DLVR_DATA_DIR}/debian/copyright ${_changelog_gz}
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/dlvrview)

# The Debian package (scripts/package.sh runs cpack -G DEB).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dlvrview)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${DLVR_DEB_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer and checker for public-works electronic deliveries")
set(CPACK_PACKAGE_DESCRIPTION
    "DLVRView reads the electronic delivery of a finished public-works contract,
often spread over several CD-R media: the management file INDEX_C.XML, the
sub-management files of drawings, meetings, plans, other documents and
photos, and the documents they list. It shows the delivery as a tree,
previews the documents and SXF drawings, checks every field and prints the
error report, without ever changing the delivery.

The headless tool dlvr prints the same records, trees and checks for
scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${DLVR_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Japanese fonts for the grids and the drawings, Qt's own dialogs in Japanese,
# photos in the image formats Qt reads through plugins (TIFF), the maps of
# the Japanese character collection for the search's PDF text.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-ipafont-gothic, fonts-ipafont-mincho, qt6-translations-l10n, qt6-image-formats-plugins, poppler-data")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
