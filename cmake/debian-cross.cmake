# Shared part of the cross toolchain files: Debian's cross compiler for the
# triple DEBIAN_CROSS_TRIPLE, building for Linux on DEBIAN_CROSS_PROCESSOR.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${DEBIAN_CROSS_PROCESSOR})

set(CMAKE_C_COMPILER ${DEBIAN_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${DEBIAN_CROSS_TRIPLE}-g++)
set(CMAKE_STRIP ${DEBIAN_CROSS_TRIPLE}-strip)

# Libraries and headers come from the cross sysroot only; programs run on
# the build host.
set(CMAKE_FIND_ROOT_PATH /usr/${DEBIAN_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
