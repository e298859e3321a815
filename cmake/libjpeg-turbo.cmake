# libjpeg-turbo, cross-built as a static library from Debian's source package
# (tools/setup.sh unpacks it into .deps/libjpeg-turbo; it is never committed).
include(ExternalProject)

set(TARVIK_LIBJPEG_SOURCE "" CACHE PATH "Unpacked libjpeg-turbo source tree")
if(NOT EXISTS "${TARVIK_LIBJPEG_SOURCE}/CMakeLists.txt")
  message(FATAL_ERROR "libjpeg-turbo source not found in '${TARVIK_LIBJPEG_SOURCE}': run tools/setup.sh first")
endif()

set(_jpeg_prefix "${CMAKE_BINARY_DIR}/libjpeg-turbo")
set(_jpeg_build "${_jpeg_prefix}/src/libjpeg_turbo_build-build")
set(_jpeg_install "${CMAKE_BINARY_DIR}/libjpeg-turbo-install")
set(_jpeg_library "${_jpeg_install}/lib/libjpeg.a")
# Its version string carries a build date: the commit's (SOURCE_DATE_EPOCH),
# not the day of the build.
string(TIMESTAMP _jpeg_build_date "%Y%m%d" UTC)
# The launcher only decompresses its own baseline logo. The library is built
# alone (no tools, no TurboJPEG, no arithmetic coding), optimised at link
# time with the launcher and with a section per function: jsimd.c refers to
# the compressor's SIMD routines too, and only so can the linker drop them.
# Nothing is read from the environment (JPEGMEM, JSIMD_FORCE*), and its few
# messages use the C runtime's own printf, not mingw-w64's 40 KB of it. The
# library's own install also puts tools and CMake packages in place, so the
# four headers and the archive are copied instead.
ExternalProject_Add(libjpeg_turbo_build
  SOURCE_DIR "${TARVIK_LIBJPEG_SOURCE}"
  PREFIX "${_jpeg_prefix}"
  BINARY_DIR "${_jpeg_build}"
  INSTALL_DIR "${_jpeg_install}"
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
    -DCMAKE_BUILD_TYPE=Release
    "-DCMAKE_C_FLAGS=-flto -ffunction-sections -fdata-sections -DNO_GETENV -D__USE_MINGW_ANSI_STDIO=0"
    -DCMAKE_AR=${CMAKE_C_COMPILER_AR}
    -DCMAKE_RANLIB=${CMAKE_C_COMPILER_RANLIB}
    -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
    -DBUILD=${_jpeg_build_date}
    -DENABLE_SHARED=OFF
    -DENABLE_STATIC=ON
    -DWITH_SIMD=ON
    -DREQUIRE_SIMD=ON
    -DWITH_TURBOJPEG=OFF
    -DWITH_JAVA=OFF
    -DWITH_ARITH_ENC=OFF
    -DWITH_ARITH_DEC=OFF
    -DCMAKE_POSITION_INDEPENDENT_CODE=OFF
  BUILD_COMMAND "${CMAKE_COMMAND}" --build <BINARY_DIR> --target jpeg-static
  INSTALL_COMMAND "${CMAKE_COMMAND}" -E make_directory <INSTALL_DIR>/lib <INSTALL_DIR>/include
    COMMAND "${CMAKE_COMMAND}" -E copy <BINARY_DIR>/libjpeg.a <INSTALL_DIR>/lib/
    COMMAND "${CMAKE_COMMAND}" -E copy <BINARY_DIR>/jconfig.h <SOURCE_DIR>/jerror.h <SOURCE_DIR>/jmorecfg.h
            <SOURCE_DIR>/jpeglib.h <INSTALL_DIR>/include/
  BUILD_BYPRODUCTS "${_jpeg_library}"
  UPDATE_COMMAND ""
  LOG_CONFIGURE ON
  LOG_BUILD ON
  LOG_INSTALL ON
  LOG_OUTPUT_ON_FAILURE ON
)

file(MAKE_DIRECTORY "${_jpeg_install}/include")
add_library(libjpeg STATIC IMPORTED GLOBAL)
set_target_properties(libjpeg PROPERTIES
  IMPORTED_LOCATION "${_jpeg_library}"
  INTERFACE_INCLUDE_DIRECTORIES "${_jpeg_install}/include")
add_dependencies(libjpeg libjpeg_turbo_build)
