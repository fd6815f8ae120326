# Install layout (GNUInstallDirs) and the Debian package. The programs find their catalogue relative
# to their own folder, so the installed tree works wherever it is put.
include(GNUInstallDirs)

set(PELVANOR_APP_ID com.example.Pelvanor)
set(PELVANOR_DATADIR ${CMAKE_INSTALL_DATADIR}/pelvanor)
set(PELVANOR_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/pelvanor)
set(PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(GENERATED_DIR ${CMAKE_BINARY_DIR}/packaging)

install(TARGETS pelvanor pelvanor-render pelvanor-compare pelvanor-toric RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A private folder: the domain "default" would collide with other programs in the shared one.
install(FILES ${MO_FILE} DESTINATION ${PELVANOR_DATADIR}/locale/en/LC_MESSAGES)

# The guide the program shows on F1, also readable without it.
file(GLOB GUIDE_FILES ${CMAKE_SOURCE_DIR}/resources/guide/guide_*)
install(FILES ${GUIDE_FILES} DESTINATION ${PELVANOR_DOCDIR}/guide)

install(FILES ${PACKAGING_DIR}/${PELVANOR_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PACKAGING_DIR}/${PELVANOR_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/pelvanor-${size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${PELVANOR_APP_ID}.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/pelvanor.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${PELVANOR_APP_ID}.svg)

# Manual pages from the programs' own --help and --version.
find_program(HELP2MAN help2man)
find_program(GZIP gzip REQUIRED)
if(HELP2MAN)
    set(MAN_PAGES)
    foreach(program pelvanor pelvanor-render pelvanor-compare pelvanor-toric)
        if(program STREQUAL "pelvanor")
            set(summary "mark and read angles on a photograph of an eye")
        elseif(program STREQUAL "pelvanor-compare")
            set(summary "measure the rotation of an eye between two photographs")
        elseif(program STREQUAL "pelvanor-toric")
            set(summary "check a toric lens's axis, residual astigmatism and turn")
        else()
            set(summary "write a photograph of an eye with the angle gauge burned in")
        endif()
        set(page ${GENERATED_DIR}/${program}.1.gz)
        add_custom_command(OUTPUT ${page}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${GENERATED_DIR}
            COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                ${HELP2MAN} --no-info --no-discard-stderr --section=1 --source=Pelvanor
                "--name=${summary}" --include=${PACKAGING_DIR}/man/${program}.h2m
                --output=${GENERATED_DIR}/${program}.1 $<TARGET_FILE:${program}>
            COMMAND ${GZIP} -9nf ${GENERATED_DIR}/${program}.1
            DEPENDS ${program} ${PACKAGING_DIR}/man/${program}.h2m
            VERBATIM)
        list(APPEND MAN_PAGES ${page})
    endforeach()
    add_custom_target(manpages ALL DEPENDS ${MAN_PAGES})
    install(FILES ${MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
    message(WARNING "help2man not found: no manual pages (scripts/deps installs it)")
endif()

set(CHANGELOG_GZ ${GENERATED_DIR}/changelog.Debian.gz)
add_custom_command(OUTPUT ${CHANGELOG_GZ}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${GENERATED_DIR}
    COMMAND ${GZIP} -9nc ${PACKAGING_DIR}/changelog > ${CHANGELOG_GZ}
    DEPENDS ${PACKAGING_DIR}/changelog)
add_custom_target(changelog ALL DEPENDS ${CHANGELOG_GZ})
install(FILES ${PACKAGING_DIR}/copyright ${CHANGELOG_GZ} DESTINATION ${PELVANOR_DOCDIR})

# scripts/package: pelvanor_2.0-1_amd64.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelvanor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "The Pelvanor developers <developers@example.com>")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.example.com/pelvanor)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: the serif and sans fonts the windows and the
# composite name, the TIFF reader and writer, Qt's own Spanish texts. The JPEG reader and the X11
# platform come with Qt Gui.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, qt6-image-formats-plugins, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "angle gauge for photographs of the eye")
# The synopsis comes from the summary; this is the extended description.
set(CPACK_PACKAGE_DESCRIPTION "Pelvanor lays an angle gauge over a photograph of an eye: degree rays numbered
from 0 to 180 around a movable centre, a guide line and a sector whose width
is shown. The photo with the gauge burned in is saved at full resolution,
copied to the clipboard or printed. The interface is in Spanish and English.
pelvanor-render writes the same picture from the command line; pelvanor-toric
checks a toric lens from the axis of its marks read on a photo.")
include(CPack)
