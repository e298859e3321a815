# libsodium, cross-built as a static library from Debian's source package
# (tools/setup.sh unpacks it into .deps/libsodium and makes its configure
# script; it is never committed). Only its Ed25519 and BLAKE2b serve the
# launcher: the minimal build keeps both.
include(ExternalProject)

set(TARVIK_LIBSODIUM_SOURCE "" CACHE PATH "Unpacked libsodium source tree, with its configure script")
if(NOT EXISTS "${TARVIK_LIBSODIUM_SOURCE}/configure")
  message(FATAL_ERROR "libsodium source not found in '${TARVIK_LIBSODIUM_SOURCE}': run tools/setup.sh first")
endif()

set(_sodium_install "${CMAKE_BINARY_DIR}/libsodium-install")
set(_sodium_library "${_sodium_install}/lib/libsodium.a")
ExternalProject_Add(libsodium_build
  SOURCE_DIR "${TARVIK_LIBSODIUM_SOURCE}"
  PREFIX "${CMAKE_BINARY_DIR}/libsodium"
  INSTALL_DIR "${_sodium_install}"
  CONFIGURE_COMMAND <SOURCE_DIR>/configure --host=${TARVIK_MINGW_PREFIX} --prefix=<INSTALL_DIR>
    --disable-shared --enable-static --enable-minimal --disable-dependency-tracking
    CC=${CMAKE_C_COMPILER}
    # Its assertions name their source files: by paths of no build's own.
    # A section per function and datum: the linker keeps only what the
    # signature check reaches.
    "CFLAGS=-Os -ffunction-sections -fdata-sections -ffile-prefix-map=${TARVIK_LIBSODIUM_SOURCE}=libsodium -ffile-prefix-map=${CMAKE_BINARY_DIR}=."
  BUILD_COMMAND make -j2
  INSTALL_COMMAND make install
  BUILD_BYPRODUCTS "${_sodium_library}"
  UPDATE_COMMAND ""
  LOG_CONFIGURE ON
  LOG_BUILD ON
  LOG_INSTALL ON
  LOG_OUTPUT_ON_FAILURE ON
)

file(MAKE_DIRECTORY "${_sodium_install}/include")
add_library(libsodium STATIC IMPORTED GLOBAL)
set_target_properties(libsodium PROPERTIES
  IMPORTED_LOCATION "${_sodium_library}"
  INTERFACE_INCLUDE_DIRECTORIES "${_sodium_install}/include"
  INTERFACE_COMPILE_DEFINITIONS SODIUM_STATIC)
add_dependencies(libsodium libsodium_build)
