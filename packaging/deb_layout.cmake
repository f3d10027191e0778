# Run by CPack on the staged installation before the package is made: menus and icon
# themes look in /usr/share, and the command line is found in /usr/bin. The program
# itself stays in one folder, /opt/brindlecot, which finds its conf/, language/ and
# driver/ beside itself.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(stage "${CPACK_TEMPORARY_DIRECTORY}")
set(program_folder "${CPACK_PACKAGING_INSTALL_PREFIX}")
if(NOT IS_DIRECTORY "${stage}${program_folder}/share")
  message(FATAL_ERROR "nothing staged in ${stage}${program_folder}/share")
endif()
file(MAKE_DIRECTORY "${stage}/usr")
file(RENAME "${stage}${program_folder}/share" "${stage}/usr/share")
file(MAKE_DIRECTORY "${stage}/usr/bin")
file(CREATE_LINK "${program_folder}/brindlecot-cli" "${stage}/usr/bin/brindlecot-cli" SYMBOLIC)
