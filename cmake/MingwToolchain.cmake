# Shared part of the two mingw-w64 toolchain files; BRINDLECOT_MINGW_TRIPLET names the target.
set(CMAKE_C_COMPILER ${BRINDLECOT_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRINDLECOT_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${BRINDLECOT_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${BRINDLECOT_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# A bare Windows has no libstdc++, libgcc or winpthread DLLs: link them in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
