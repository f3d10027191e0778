# GUI tests are Qt Test programs, each run twice by CTest: `<name>` on Qt's offscreen
# platform, and `<name>.xvfb` on the real X11 platform inside a virtual display, where
# window managers' focus, painting and event order are the real ones. Those that
# brindlecot_add_wayland_twin names run a third time, `<name>.wayland`, as native Wayland
# clients of a headless weston, which places and sizes windows itself.
#
# brindlecot_add_gui_test(NAME SOURCES files... LIBS targets...)
find_program(BRINDLECOT_XVFB_RUN xvfb-run)
if(NOT BRINDLECOT_XVFB_RUN)
  message(WARNING "xvfb-run not found: GUI tests run on the offscreen platform only "
                  "(scripts/setup.sh installs xvfb)")
endif()

# Arguments for running a GUI program on Xvfb: a screen deep enough for real colours,
# and a display number of its own.
set(BRINDLECOT_XVFB_COMMAND ${BRINDLECOT_XVFB_RUN} -a -s "-screen 0 1280x1024x24")

function(brindlecot_add_gui_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  find_package(Qt6 REQUIRED COMPONENTS Test Widgets)
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  brindlecot_set_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test Qt6::Widgets)
  # Tests reach into every layer and share tests/support/.
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE
    BRINDLECOT_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    BRINDLECOT_STAGE_DIR="${BRINDLECOT_STAGE_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  if(BRINDLECOT_XVFB_RUN)
    add_test(NAME ${name}.xvfb
      COMMAND ${BRINDLECOT_XVFB_COMMAND} env QT_QPA_PLATFORM=xcb $<TARGET_FILE:${name}>)
    # xvfb-run -a picks its display number racily: one virtual display at a time.
    set_tests_properties(${name}.xvfb PROPERTIES RESOURCE_LOCK xvfb)
  endif()
endfunction()

find_program(BRINDLECOT_WESTON weston)
if(NOT BRINDLECOT_WESTON)
  message(WARNING "weston not found: no GUI test runs on Wayland "
                  "(scripts/setup.sh installs weston and qt6-wayland)")
endif()
set(BRINDLECOT_WESTON_COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/run_on_weston.sh)

# brindlecot_add_wayland_test(NAME COMMAND command...): a test run under its own weston.
# Only in the plain build: the sanitizers' runs of the same code are the Xvfb twins.
function(brindlecot_add_wayland_test name)
  cmake_parse_arguments(ARG "" "" "COMMAND" ${ARGN})
  if(BRINDLECOT_WESTON AND NOT BRINDLECOT_SANITIZE)
    add_test(NAME ${name} COMMAND ${BRINDLECOT_WESTON_COMMAND} ${ARG_COMMAND})
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  endif()
endfunction()

function(brindlecot_add_wayland_twin name)
  brindlecot_add_wayland_test(${name}.wayland COMMAND $<TARGET_FILE:${name}>)
endfunction()

# Every Qt library of the program that has dialogs registers itself here, so that the
# screenshot program links all of them without anyone editing its list.
function(brindlecot_register_gui_library target)
  set_property(GLOBAL APPEND PROPERTY BRINDLECOT_GUI_LIBRARIES ${target})
endfunction()
