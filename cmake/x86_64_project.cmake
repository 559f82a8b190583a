# Modules that are always x86_64 (Veltrox64.dll, droptool64.exe). In a 64-bit
# build their folder is an ordinary part of the build; in the 32-bit build it
# is configured once more as a small project of its own with the x86_64
# toolchain, and what it builds lands in the 32-bit build's bin/.

set(VELTROX_CMAKE_DIR ${CMAKE_CURRENT_LIST_DIR})

# The settings such a folder needs when it is configured as its own project.
macro(veltrox_x86_64_project_settings)
  set(CMAKE_CXX_STANDARD 17)
  set(CMAKE_CXX_STANDARD_REQUIRED ON)
  add_compile_definitions(WINVER=0x0601 _WIN32_WINNT=0x0601 _WIN32_IE=0x0800 STRICT NOMINMAX)
  set(VELTROX_STATIC_LINK -static -static-libgcc -static-libstdc++)
  get_filename_component(VELTROX_SOURCE_ROOT ${VELTROX_CMAKE_DIR}/.. ABSOLUTE)
endmacro()

# From the 32-bit build: the current folder as the x86_64 project `name`,
# configured and built in <build>/<binary_dir>.
function(veltrox_add_x86_64_project name binary_dir)
  include(ExternalProject)
  ExternalProject_Add(${name}
    SOURCE_DIR ${CMAKE_CURRENT_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/${binary_dir}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/toolchain-x86_64-mingw.cmake
               -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
               -DVELTROX_BIN_DIR=${VELTROX_BIN_DIR}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON)
endfunction()
