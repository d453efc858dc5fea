# Debian armhf: ARMv7-A, Thumb-2, VFPv3-D16, hard-float EABI5.
set(TSD_CROSS_TARGET armhf)
set(TSD_CROSS_TRIPLET arm-linux-gnueabihf)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(TSD_CROSS_QEMU qemu-arm)
set(TSD_CROSS_LOADER lib/ld-linux-armhf.so.3)
# GCC notes that it passes some C++ aggregates differently since 7.1; only a
# mix with objects of an older compiler could notice, and the interface is C
# with libstdc++ linked in whole.
set(CMAKE_CXX_FLAGS_INIT "-Wno-psabi")
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
