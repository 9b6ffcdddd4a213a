# Installation on Linux and the Debian package (cmake --build build --target
# package; scripts/package.sh builds it cleanly and checks it).
#
# /usr/bin/opacimeter-host is a launcher that starts the program, kept in
# /usr/libexec, in the user's own working folder: the program keeps set.ini
# and finds its button images in whatever folder it runs in.
include(GNUInstallDirs)

install(TARGETS opacimeter-host RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/opacimeter-host)
install(PROGRAMS packaging/launcher.sh DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME opacimeter-host)
if(TARGET opacimeter-sim)
    install(TARGETS opacimeter-sim opacimeter-shm opacimeter-records RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES app/images/ang.png app/images/ang@2x.png app/images/time.png app/images/time@2x.png DESTINATION ${CMAKE_INSTALL_DATADIR}/opacimeter-host)
install(FILES profiles/GB3847-2018.ini profiles/EU-2014-45.ini
        DESTINATION ${CMAKE_INSTALL_DATADIR}/opacimeter-host/profiles)
install(FILES packaging/opacimeter-host.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES app/images/opacimeter.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps
        RENAME opacimeter-host.png)
install(FILES app/images/opacimeter@2x.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps
        RENAME opacimeter-host.png)

# Debian wants the copyright and a compressed changelog in the package's doc folder.
set(OPA_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/opacimeter-host)
configure_file(packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    COMMAND gzip -n -9 -f -k ${CMAKE_BINARY_DIR}/packaging/changelog
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog)
add_custom_target(opa-changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION ${OPA_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_CONTACT "opacimeter-host developers <maintainers@opacimeter-host.invalid>"
    CACHE STRING "Maintainer named in the Debian package")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "host program of a transmission-type smoke opacity meter")
# CPack indents the lines and marks the empty one as a paragraph break.
set(CPACK_PACKAGE_DESCRIPTION "Finds the meter's network server (TCP port 8899) on the local network, polls
the meter ten times a second and shows opacity N, Ns, the absorption
coefficient K, two temperatures and the energy value with running maxima.
It calibrates the meter, restores its factory settings, measures its rise
and fall response times, and trades data with companion programs through
two named shared-memory segments.

Every free-acceleration test is kept with its vehicle in a local SQLite
database, optionally forwarded to the station's PostgreSQL server, and
printed as a report; lane systems reach the program through a local
WebSocket API.

Also holds a meter simulator (opacimeter-sim), a shared-memory companion
(opacimeter-shm) and the records tool (opacimeter-records).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's SQL drivers are plugins, which the library scan does not see.
# Qt's own buttons and dialogs in Chinese (language/language.cpp).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt5sql5-sqlite, libqt5sql5-psql, qttranslations5-l10n")
# The form's captions are drawn for this typeface (see app/textfit.h).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-noto-cjk)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)
include(CPack)
