# Shared by the two toolchain files, which set GD_MINGW_TRIPLE and
# CMAKE_SYSTEM_PROCESSOR first: cross-compile for Windows with mingw-w64
# (posix threads) and run the results through Wine, so that CTest can execute
# the test programs here (the 64-bit ones through the 64-bit loader).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${GD_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GD_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${GD_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${GD_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "AMD64")
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/lib/wine-run64)
else()
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/lib/wine-run)
endif()
