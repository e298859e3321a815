# What keeps the executables small, and a map of what remains
# (<target>.map beside the build's programs, read by the benchmark).

# Link-time optimisation drops the functions nothing calls. Sections per
# function alone do not: the 64-bit linker keeps every function's unwind
# entry (.pdata) and the entry its function. They still let it drop the data
# and the assembly that only the dropped functions referred to.
include(CheckIPOSupported)
check_ipo_supported(LANGUAGES C CXX)
set(CMAKE_INTERPROCEDURAL_OPTIMIZATION ON)
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffunction-sections;-fdata-sections>")
# With -Os, GCC 12 merges a class's constructors into one body that its
# link-time optimiser then fails on (internal compiler error in
# binds_to_current_def_p).
add_compile_options("$<$<COMPILE_LANGUAGE:CXX>:-fno-declone-ctor-dtor>")
add_link_options(-Wl,--gc-sections "-Wl,-Map=${CMAKE_BINARY_DIR}/$<TARGET_PROPERTY:NAME>.map")

# std::terminate's default handler prints the exception's type, demangled,
# to a standard error that a window program does not have; the demangler is
# 45 KB. Every error reaches the launcher's reporter, and a terminate that
# still happens aborts as before.
add_link_options("-Wl,--defsym,_ZN9__gnu_cxx27__verbose_terminate_handlerEv=abort")
