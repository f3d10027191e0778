# One library per folder, linked in the direction of the layers (README, "Layout"). A
# library sees only the headers of its own folder and of the libraries it links: each
# gets an include root holding links to its folder's headers only, and the source tree
# itself is not on its include path. An include against the layers therefore fails to
# compile, not just to link. A library links PUBLIC only what its own headers include,
# so a layer's neighbours do not leak upwards through it.

# brindlecot_expose_headers(TARGET FOLDER...): FOLDERs (relative to the source tree) are
# the folders whose headers TARGET offers to itself and to whoever links it.
function(brindlecot_expose_headers target)
  set(root ${CMAKE_BINARY_DIR}/exposed_headers/${target})
  foreach(folder IN LISTS ARGN)
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.h)
    file(MAKE_DIRECTORY ${root}/${folder})
    foreach(header IN LISTS headers)
      get_filename_component(name ${header} NAME)
      file(CREATE_LINK ${header} ${root}/${folder}/${name} SYMBOLIC)
    endforeach()
  endforeach()
  get_target_property(kind ${target} TYPE)
  if(kind STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# brindlecot_module(TARGET FOLDER [QT] SOURCES files... [PUBLIC targets...]
#                   [PRIVATE targets...] [EXPOSE extra-folders...])
# PUBLIC: what the folder's headers include; PRIVATE: what only its sources include.
# QT: the sources are Qt code (moc runs, and the screenshot program links the library).
function(brindlecot_module target folder)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;PUBLIC;PRIVATE;EXPOSE" ${ARGN})
  add_library(${target} STATIC ${ARG_SOURCES})
  brindlecot_expose_headers(${target} ${folder} ${ARG_EXPOSE})
  target_link_libraries(${target} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
  brindlecot_set_warnings(${target})
  if(ARG_QT)
    set_target_properties(${target} PROPERTIES AUTOMOC ON)
    brindlecot_register_gui_library(${target})
  endif()
endfunction()
