# Debian mipsel: MIPS32r2, o32 ABI, hard-float (FPXX).
set(TSD_CROSS_TARGET mipsel)
set(TSD_CROSS_TRIPLET mipsel-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR mipsel)
set(TSD_CROSS_QEMU qemu-mipsel)
set(TSD_CROSS_LOADER lib/ld.so.1)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
