# Debian ppc64el: POWER8, little-endian, ELFv2 ABI.
set(TSD_CROSS_TARGET ppc64el)
set(TSD_CROSS_TRIPLET powerpc64le-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR ppc64le)
set(TSD_CROSS_QEMU qemu-ppc64le)
set(TSD_CROSS_LOADER lib/ld64.so.2)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
