# Writes the menu entry at installation time, when the program's absolute path (the
# prefix, which `cmake --install --prefix` may change) is known. Expects
# BRINDLECOT_DESKTOP_TEMPLATE and BRINDLECOT_DESKTOP_FILE.
set(program "${CMAKE_INSTALL_PREFIX}/Brindlecot")
# Exec takes a quoted argument, inside which " ` $ and \ are escaped with a backslash;
# the file's string escaping then doubles every backslash.
string(REGEX REPLACE "([\"`$\\])" "\\\\\\1" quoted "${program}")
string(REPLACE "\\" "\\\\" quoted "${quoted}")
set(BRINDLECOT_EXEC "\"${quoted}\"")
string(REPLACE "\\" "\\\\" BRINDLECOT_TRY_EXEC "${program}")
configure_file("${BRINDLECOT_DESKTOP_TEMPLATE}" "${BRINDLECOT_DESKTOP_FILE}" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications"
     TYPE FILE FILES "${BRINDLECOT_DESKTOP_FILE}")
