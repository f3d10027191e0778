# The Windows build (mingw-w64, cmake/toolchain-*.cmake): the library and the command-line
# program only, the same sources as on Linux with platform/ files chosen for Windows.
set(BRINDLECOT_BUILD_GUI OFF CACHE BOOL "" FORCE)
set(BRINDLECOT_BUILD_BENCHMARKS OFF CACHE BOOL "" FORCE)
# Debian ships no mingw builds of minizip, expat or zlib.
set(BRINDLECOT_XLSX OFF CACHE BOOL "" FORCE)

# Files above 2 GiB: a 64-bit off_t and stat size on both Windows targets.
add_compile_definitions(_FILE_OFFSET_BITS=64 WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
add_compile_options(-include ${CMAKE_SOURCE_DIR}/cmake/windows/posix_on_windows.h)
add_library(posix_on_windows STATIC ${CMAKE_SOURCE_DIR}/cmake/windows/posix_on_windows.cpp)
target_compile_options(posix_on_windows PRIVATE -Wall -Wextra -Werror)
link_libraries(posix_on_windows)
