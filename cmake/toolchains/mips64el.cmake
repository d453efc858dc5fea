# Debian mips64el: MIPS64r2, n64 ABI (not n32), hard-float.
set(TSD_CROSS_TARGET mips64el)
set(TSD_CROSS_TRIPLET mips64el-linux-gnuabi64)
set(CMAKE_SYSTEM_PROCESSOR mips64el)
set(TSD_CROSS_QEMU qemu-mips64el)
set(TSD_CROSS_LOADER lib64/ld.so.1)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
