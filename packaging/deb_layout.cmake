# Run by CPack on the staged installation before the package is made: menus, icon themes,
# software centres and man look in /usr/share, commands are found in /usr/bin, and Debian
# expects each package's copyright and changelog in /usr/share/doc/<package>. The program
# itself stays in one folder, /usr/lib/brindlecot, which finds its conf/, language/ and
# driver/ beside itself.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(stage "${CPACK_TEMPORARY_DIRECTORY}")
set(program_folder "${CPACK_PACKAGING_INSTALL_PREFIX}")
set(packaging "${CPACK_BRINDLECOT_PACKAGING_DIR}")
if(NOT IS_DIRECTORY "${stage}${program_folder}/share")
  message(FATAL_ERROR "nothing staged in ${stage}${program_folder}/share")
endif()
file(MAKE_DIRECTORY "${stage}/usr")
file(RENAME "${stage}${program_folder}/share" "${stage}/usr/share")

file(MAKE_DIRECTORY "${stage}/usr/bin")
file(CREATE_LINK "../lib/brindlecot/Brindlecot" "${stage}/usr/bin/brindlecot" SYMBOLIC)
file(CREATE_LINK "../lib/brindlecot/brindlecot-cli" "${stage}/usr/bin/brindlecot-cli" SYMBOLIC)

set(doc "${stage}/usr/share/doc/brindlecot")
file(MAKE_DIRECTORY "${doc}")
file(COPY_FILE "${packaging}/copyright" "${doc}/copyright")
file(COPY_FILE "${packaging}/changelog" "${doc}/changelog")
execute_process(COMMAND gzip -9nf "${doc}/changelog" COMMAND_ERROR_IS_FATAL ANY)
file(MAKE_DIRECTORY "${stage}/usr/share/lintian/overrides")
file(COPY_FILE "${packaging}/lintian-overrides" "${stage}/usr/share/lintian/overrides/brindlecot")

