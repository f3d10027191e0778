# Desktop integration and the Debian package.
#
# `cmake --install` lays out the portable folder at the prefix (program, CLI, driver/,
# language/, conf/) and adds a menu entry and the application icon under the prefix's
# share/. `cpack -G DEB` packages the same installation with the prefix /opt/brindlecot,
# moves share/ to /usr/share where menus and icon themes look, and puts brindlecot-cli on
# the PATH as /usr/bin/brindlecot-cli, a link into /opt/brindlecot.

set(BRINDLECOT_DESKTOP_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/brindlecot.desktop.in)
set(BRINDLECOT_DESKTOP_FILE ${CMAKE_BINARY_DIR}/packaging/brindlecot.desktop)

# The launcher names the program by its absolute path, which is known only when the
# installation runs.
install(CODE "
  set(BRINDLECOT_DESKTOP_TEMPLATE \"${BRINDLECOT_DESKTOP_TEMPLATE}\")
  set(BRINDLECOT_DESKTOP_FILE \"${BRINDLECOT_DESKTOP_FILE}\")")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/install_desktop_entry.cmake)

# The icon theme's sizes come from the pictures the build draws (gui/resources/).
foreach(size IN LISTS BRINDLECOT_ICON_SIZES)
  install(FILES ${BRINDLECOT_ICON_DIR}/brindlecot-${size}.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps
    RENAME brindlecot.png)
endforeach()
install(FILES ${BRINDLECOT_ICON_DIR}/brindlecot.svg DESTINATION share/icons/hicolor/scalable/apps)

set(CPACK_PACKAGE_NAME brindlecot)
set(CPACK_PACKAGE_VENDOR "Brindlecot")
set(CPACK_PACKAGE_CONTACT "Brindlecot maintainers <brindlecot@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Batch file preparation for finance clerks, with file sealing (Kestrelvane)")
set(CPACK_PACKAGE_DESCRIPTION
    "Brindlecot prepares fixed-width payment and payroll batch files, checked field by field
against a template, and seals or opens files exchanged with a party holding the same keys.
Installed as a portable folder in /opt/brindlecot; the installed key of each person is
kept in ~/.config/brindlecot/keyConf.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /opt/brindlecot)
set(CPACK_PACKAGING_INSTALL_PREFIX /opt/brindlecot)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The dialogs are laid out for this CJK font; Qt loads its X11 platform plugin (in
# libqt6gui6, found by the library scan) at run time, and its own dialogs' Chinese texts.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-zenhei, qt6-translations-l10n")
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/deb_layout.cmake)
include(CPack)
