# Cross build for aarch64 Linux with Debian's cross compiler
# (package g++-aarch64-linux-gnu).
#   cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-aarch64-linux-gnu.cmake \
#         -DDUMPLOG_TESTS=OFF -DDUMPLOG_STATIC=ON -DCMAKE_BUILD_TYPE=Release
set(DEBIAN_CROSS_TRIPLE aarch64-linux-gnu)
set(DEBIAN_CROSS_PROCESSOR aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
