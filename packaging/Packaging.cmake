# Install rules and the Debian package. Included from the top-level
# CMakeLists.txt, where CPack has to be set up.
include(GNUInstallDirs)

set(VESK_DATA_DIR ${CMAKE_INSTALL_DATADIR}/cv_veskauction)

install(TARGETS cv_veskauction RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The schemas to create on a server and a configuration to copy into the
# installation folder (placeholders only: credentials never ship).
install(DIRECTORY ${PROJECT_SOURCE_DIR}/sql/ DESTINATION ${VESK_DATA_DIR}/sql
        FILES_MATCHING PATTERN "*.sql")
install(FILES ${CMAKE_CURRENT_LIST_DIR}/cv_veskauction.ini DESTINATION ${VESK_DATA_DIR})
if(UNIX AND NOT APPLE)
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/cv_veskauction.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/cv_veskauction.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

# Debian package names allow no underscore.
set(CPACK_PACKAGE_NAME cv-veskauction)
set(CPACK_PACKAGE_VENDOR "cv_veskauction")
set(CPACK_PACKAGE_CONTACT "cv_veskauction maintainers <maintainers@cv-veskauction.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Sets the timed-auction ends of a jewellery store's items in its online shop")
set(CPACK_PACKAGE_DESCRIPTION
    "A desktop tool of the store's point-of-sale suite: it lists the store's items with their\n\
pictures and auction ends, lets the clerk set the ends in place and saves them into the\n\
online shop's MySQL/MariaDB item table. Reads the suite's installation folder\n\
(/opt/corvandel/ unless --install-dir names another); a sample database configuration\n\
and the table schemas are in /usr/share/cv_veskauction/.")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# The libraries come from dpkg-shlibdeps; the database drivers are plugins that
# Qt loads at run time, so they are named here: MySQL/MariaDB for the item
# database, ODBC for the suite's data source, SQLite for installations that
# keep a database in a file.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-mysql, libqt6sql6-odbc, libqt6sql6-sqlite")
include(CPack)
