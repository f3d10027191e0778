# Desktop integration and the Debian package.
#
# `cmake --install` lays out the portable folder at the prefix (program, CLI, driver/,
# language/, conf/) and adds under the prefix's share/ a menu entry, the application icon,
# the AppStream metadata and the CLI's manual page. `cpack -G DEB` packages the same
# installation with the prefix /usr/lib/brindlecot; deb_layout.cmake then moves share/ to
# /usr/share where menus, icon themes and software centres look, links both programs into
# /usr/bin, and adds the package's documentation.

# One name for the menu entry, the AppStream id and the Wayland application id.
set(BRINDLECOT_APP_ID org.brindlecot.brindlecot)
set(BRINDLECOT_DESKTOP_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/${BRINDLECOT_APP_ID}.desktop.in)
set(BRINDLECOT_DESKTOP_FILE ${CMAKE_BINARY_DIR}/packaging/${BRINDLECOT_APP_ID}.desktop)

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
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${BRINDLECOT_APP_ID}.metainfo.xml DESTINATION share/metainfo)

# The manual page is help2man's rendering of `brindlecot-cli --help`, so the two cannot
# drift apart (tests/packaging/check_manual.sh compares them word for word).
find_program(BRINDLECOT_HELP2MAN help2man)
if(BRINDLECOT_HELP2MAN)
  set(manual ${CMAKE_BINARY_DIR}/packaging/brindlecot-cli.1)
  add_custom_command(
    OUTPUT ${manual} ${manual}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND ${BRINDLECOT_HELP2MAN} --no-info --section=1
            "--name=prepare, seal and open batch files" --output=${manual}
            $<TARGET_FILE:brindlecot-cli>
    COMMAND gzip -9nf --keep ${manual}
    DEPENDS brindlecot-cli
    COMMENT "Writing the manual page of brindlecot-cli from its --help")
  # The program's own page is written by hand: it takes no options.
  set(program_manual ${CMAKE_BINARY_DIR}/packaging/brindlecot.1.gz)
  add_custom_command(
    OUTPUT ${program_manual}
    COMMAND gzip -9nc ${CMAKE_CURRENT_LIST_DIR}/brindlecot.1 > ${program_manual}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/brindlecot.1 ${manual}.gz)
  add_custom_target(brindlecot_manual ALL DEPENDS ${manual}.gz ${program_manual})
  install(FILES ${manual}.gz ${program_manual} DESTINATION share/man/man1)
else()
  message(WARNING "help2man not found: no manual page for brindlecot-cli "
                  "(scripts/setup.sh installs help2man)")
endif()

set(CPACK_PACKAGE_NAME brindlecot)
set(CPACK_PACKAGE_VENDOR "Brindlecot")
set(CPACK_PACKAGE_CONTACT "Brindlecot maintainers <maintainers@brindlecot.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch file preparation and file sealing for finance clerks")
# Debian shows the description in 80 columns: every line stays below that.
set(CPACK_PACKAGE_DESCRIPTION
    "Brindlecot prepares fixed-width payment and payroll batch files, checked
field by field against a template, and seals or opens files exchanged with a
party holding the same keys (Kestrelvane). brindlecot-cli does the same from
scripts. The program lives in /usr/lib/brindlecot; each person's installed
key is kept in ~/.config/brindlecot/keyConf.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr/lib/brindlecot)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr/lib/brindlecot)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://brindlecot.org/)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# Read by deb_layout.cmake, which CPack runs with its own variables only.
set(CPACK_BRINDLECOT_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The dialogs are laid out for this CJK font; Qt loads its X11 platform plugin (in
# libqt6gui6, found by the library scan) and its Wayland one at run time, and its own
# dialogs' Chinese texts.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-zenhei, qt6-translations-l10n, qt6-wayland")
# Upgrading from 0.1.0 in /opt/brindlecot carries over a key installed there.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/deb_layout.cmake)
include(CPack)
