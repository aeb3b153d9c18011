# Cross build for i686 Linux with Debian's cross compiler
# (package g++-i686-linux-gnu).
#   cmake -S . -B build-i686 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-linux-gnu.cmake \
#         -DDUMPLOG_TESTS=OFF -DDUMPLOG_STATIC=ON -DCMAKE_BUILD_TYPE=Release
set(DEBIAN_CROSS_TRIPLE i686-linux-gnu)
set(DEBIAN_CROSS_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
