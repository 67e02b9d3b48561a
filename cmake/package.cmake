# Installing the Linux program and packaging it for Debian:
#
#   cmake --install build [--prefix DIR]     the program under bin/, its files under share/quillmere/,
#                                            the launcher, the icons at the usual sizes, the manual page
#   (cd build && cpack)                      quillmere_<version>_<arch>.deb from the same rules
#
# The installed program finds its files in share/quillmere beside its bin folder.
include(GNUInstallDirs)

# Directories as Debian wants them, whatever the umask of the build.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS quillmere RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The pictures, the region file and the help page; the manual page is installed on its own.
file(GLOB QM_INSTALLED_ASSETS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/assets/*.bmp ${PROJECT_SOURCE_DIR}/assets/*.wr
     ${PROJECT_SOURCE_DIR}/assets/*.html)
install(FILES ${QM_INSTALLED_ASSETS} ${PROJECT_SOURCE_DIR}/src/app/quillmere.ico
        DESTINATION ${CMAKE_INSTALL_DATADIR}/quillmere)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/quillmere.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The icon theme's pictures, drawn by the build at each size.
add_executable(qm_make_icons ${PROJECT_SOURCE_DIR}/tools/make_icons.cc)
target_link_libraries(qm_make_icons PRIVATE Qt6::Gui qm_warnings)
set(QM_ICON_FOLDER ${PROJECT_BINARY_DIR}/icons/hicolor)
set(QM_ICON_SIZES 16 22 24 32 48 64 128 256)
set(QM_ICONS)
foreach(size IN LISTS QM_ICON_SIZES)
    list(APPEND QM_ICONS ${QM_ICON_FOLDER}/${size}x${size}/apps/quillmere.png)
endforeach()
add_custom_command(OUTPUT ${QM_ICONS}
    COMMAND qm_make_icons ${QM_ICON_FOLDER}
    DEPENDS qm_make_icons VERBATIM)
add_custom_target(qm_icons ALL DEPENDS ${QM_ICONS})
install(DIRECTORY ${QM_ICON_FOLDER} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# What Debian asks of every package: the copyright and a changelog, compressed.
if(QM_CONTACT_EMAIL)
    set(QM_MAINTAINER "Quillmere developers <${QM_CONTACT_EMAIL}>")
else()
    set(QM_MAINTAINER "Quillmere developers <quillmere@example.org>")
endif()
string(TIMESTAMP QM_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
find_program(GZIP_PROGRAM gzip)
if(GZIP_PROGRAM)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
        COMMAND sh -c "\"$0\" -9nc \"$1\" > \"$2\"" ${GZIP_PROGRAM} ${PROJECT_BINARY_DIR}/packaging/changelog
                ${PROJECT_BINARY_DIR}/packaging/changelog.gz
        DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog VERBATIM)
    add_custom_target(qm_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
    install(FILES ${PROJECT_BINARY_DIR}/packaging/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package. The Qt and C++ libraries come in through dpkg-shlibdeps; the browser and a font
# for the Chinese interface are named.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmere)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${QM_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QM_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "blocks browser popups nobody asked for and strips page ads")
# The summary above is the first line; these are the lines under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quillmere sits in the notification area and watches Chromium. It blocks
the popup windows a page opens by itself while letting through those that
answer a real click, can show a small countdown window from which a blocked
popup can still be opened, can keep browsing to one window, and strips
banner, Flash, inline-frame and floating advertisements from pages.")
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "chromium, fonts-wqy-microhei | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_INSTALL_DIRECTORY quillmere)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
