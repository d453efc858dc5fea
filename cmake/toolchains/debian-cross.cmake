# Shared part of the board toolchains. The per-target file sets
#   TSD_CROSS_TARGET  Debian architecture name (armhf, ...)
#   TSD_CROSS_TRIPLET GNU triplet, also the multiarch directory
#   TSD_CROSS_QEMU    qemu-user program for the target
#   TSD_CROSS_LOADER  the target's ELF interpreter, relative to /usr/<triplet>
# and includes this file. Debian's cross compilers already default to the
# boards' ABI (hard-float, ELFv2, o32, n64); the ELF check proves it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${TSD_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${TSD_CROSS_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${TSD_CROSS_TRIPLET})
# The export check lists dynamic symbols with this nm: the host's would do,
# but the target's is the one that surely reads the target's ELF.
set(CMAKE_NM ${TSD_CROSS_TRIPLET}-nm CACHE FILEPATH "nm for the target")

# The target's libudev: unpacked from Debian's package into
# <source>/.deps/<target> by scripts/cross/fetch-deps.sh, or elsewhere with
# -DTSD_CROSS_DEPS_ROOT=<dir>. An empty root means a multiarch install
# (libudev-dev:<arch>) in the host's own /usr.
if(NOT DEFINED TSD_CROSS_DEPS_ROOT)
    if(DEFINED ENV{TSD_CROSS_DEPS_ROOT})
        set(TSD_CROSS_DEPS_ROOT "$ENV{TSD_CROSS_DEPS_ROOT}")
    elseif(EXISTS "${CMAKE_CURRENT_LIST_DIR}/../../.deps/${TSD_CROSS_TARGET}")
        get_filename_component(TSD_CROSS_DEPS_ROOT
            "${CMAKE_CURRENT_LIST_DIR}/../../.deps/${TSD_CROSS_TARGET}" ABSOLUTE)
    else()
        set(TSD_CROSS_DEPS_ROOT "")
    endif()
endif()
set(TSD_CROSS_DEPS_ROOT "${TSD_CROSS_DEPS_ROOT}" CACHE PATH
    "Unpacked target packages (empty: multiarch install)")
# try_compile projects re-read this file; hand them the same root.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TSD_CROSS_DEPS_ROOT)

set(_tsd_target_libs "/usr/${TSD_CROSS_TRIPLET}/lib")
if(TSD_CROSS_DEPS_ROOT)
    set(CMAKE_FIND_ROOT_PATH "/usr/${TSD_CROSS_TRIPLET}" "${TSD_CROSS_DEPS_ROOT}")
    # Some packages still install into /lib rather than /usr/lib.
    set(_tsd_deps_libs "${TSD_CROSS_DEPS_ROOT}/usr/lib/${TSD_CROSS_TRIPLET}")
    set(_tsd_deps_path "${_tsd_deps_libs}:${TSD_CROSS_DEPS_ROOT}/lib/${TSD_CROSS_TRIPLET}")
    string(APPEND _tsd_target_libs ":${_tsd_deps_path}")
    # Executables link the shared library, which needs libudev.so.1: the
    # linker must find it outside its default paths.
    set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,-rpath-link,${_tsd_deps_path}")
    set(CMAKE_SHARED_LINKER_FLAGS_INIT "-Wl,-rpath-link,${_tsd_deps_path}")
else()
    set(CMAKE_FIND_ROOT_PATH "/usr/${TSD_CROSS_TRIPLET}" "/")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The emulated screen, when its target packages are unpacked too
# (fetch-deps.sh --with-emulator): pkg-config reads only the target's files,
# and the target's loader itself loads the preload (--preload), so the
# device tests start with it and need not re-execute themselves, which
# qemu-user cannot do without binfmt_misc. Not LD_PRELOAD: every program the
# target program starts would inherit it, the host's qemu and the host
# programs of a test script among them, and their loader would complain
# about (or, given the bare name, load) a library it cannot use.
set(_tsd_preload_option "")
set(_tsd_preload "${_tsd_deps_libs}/libumockdev-preload.so.0")
if(TSD_WITH_EMULATOR AND TSD_CROSS_DEPS_ROOT AND EXISTS "${_tsd_preload}")
    set(ENV{PKG_CONFIG_SYSROOT_DIR} "${TSD_CROSS_DEPS_ROOT}")
    set(ENV{PKG_CONFIG_LIBDIR}
        "${_tsd_deps_libs}/pkgconfig:${TSD_CROSS_DEPS_ROOT}/usr/share/pkgconfig")
    set(_tsd_preload_option --preload ${_tsd_preload})
endif()

# ctest runs target programs through qemu-user by starting the target's
# ELF interpreter itself, never with `qemu -L <prefix>`: -L also moves "/",
# so libudev's openat("/") + "sys" lands in <prefix>/sys and every
# enumeration finds nothing, silently. --library-path puts the cross libc
# first, so a multiarch libc6:<arch> of another build is never paired with
# this loader.
set(CMAKE_CROSSCOMPILING_EMULATOR ${TSD_CROSS_QEMU} /usr/${TSD_CROSS_TRIPLET}/${TSD_CROSS_LOADER}
    --library-path ${_tsd_target_libs} ${_tsd_preload_option})
