# libjpeg-turbo, cross-built as a static library from Debian's source package
# (tools/setup.sh unpacks it into .deps/libjpeg-turbo; it is never committed).
include(ExternalProject)

set(TARVIK_LIBJPEG_SOURCE "" CACHE PATH "Unpacked libjpeg-turbo source tree")
if(NOT EXISTS "${TARVIK_LIBJPEG_SOURCE}/CMakeLists.txt")
  message(FATAL_ERROR "libjpeg-turbo source not found in '${TARVIK_LIBJPEG_SOURCE}': run tools/setup.sh first")
endif()

set(_jpeg_prefix "${CMAKE_BINARY_DIR}/libjpeg-turbo")
set(_jpeg_install "${CMAKE_BINARY_DIR}/libjpeg-turbo-install")
set(_jpeg_library "${_jpeg_install}/lib/libjpeg.a")
# Its version string carries a build date: the commit's (SOURCE_DATE_EPOCH),
# not the day of the build.
string(TIMESTAMP _jpeg_build_date "%Y%m%d" UTC)
ExternalProject_Add(libjpeg_turbo_build
  SOURCE_DIR "${TARVIK_LIBJPEG_SOURCE}"
  PREFIX "${_jpeg_prefix}"
  INSTALL_DIR "${_jpeg_install}"
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
    -DBUILD=${_jpeg_build_date}
    -DENABLE_SHARED=OFF
    -DENABLE_STATIC=ON
    -DWITH_SIMD=ON
    -DREQUIRE_SIMD=ON
    -DWITH_TURBOJPEG=OFF
    -DWITH_JAVA=OFF
    -DWITH_ARITH_ENC=OFF
    -DCMAKE_POSITION_INDEPENDENT_CODE=OFF
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
