# The Windows build: quorvin.dll from the plugin's objects, bound to the shell's TakeCmd.dll
# through an import library of our own; and, when tests are on, the end-to-end suite.
# Flags are per compiler so that MSVC builds the same files as mingw-w64.

# Small and self-contained: no exceptions or run-time type data in the plugin, every function
# in its own section so that the linker drops what nothing uses. Not -fdata-sections: mingw-w64
# GCC then puts zero-filled records into .data$name sections, and the 100 KiB of buffers that
# belong in .bss would fill the file.
target_compile_options(quorvin_plugin PRIVATE
  $<$<CXX_COMPILER_ID:GNU,Clang>:-Os -ffunction-sections -fno-exceptions -fno-rtti>
  $<$<CXX_COMPILER_ID:MSVC>:/O1 /Gy /Gw /GR- /EHs-c- /Brepro>)
set_property(TARGET quorvin_plugin PROPERTY MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")

# The import library of TakeCmd.dll. Two of the shell's functions are exported under their
# C++ decorations; the .def binds the plugin's C names to them, which needs dlltool's `==`
# (GNU dlltool with mingw-w64, llvm-dlltool with MSVC).
find_program(QUORVIN_DLLTOOL NAMES ${CMAKE_DLLTOOL} llvm-dlltool dlltool REQUIRED)
set(QUORVIN_TAKECMD_DEF ${CMAKE_CURRENT_SOURCE_DIR}/src/host/TakeCmd.def)
if(MSVC)
  set(QUORVIN_TAKECMD_IMPORT ${CMAKE_CURRENT_BINARY_DIR}/import/TakeCmd.lib)
else()
  set(QUORVIN_TAKECMD_IMPORT ${CMAKE_CURRENT_BINARY_DIR}/import/libTakeCmd.a)
endif()
# GNU dlltool names the library's symbols after the path given to -l and its members after a
# temporary prefix made from its process id: run it inside import/ with a bare file name and a
# fixed prefix, so that the library is the same from any build folder.
get_filename_component(QUORVIN_TAKECMD_IMPORT_NAME ${QUORVIN_TAKECMD_IMPORT} NAME)
get_filename_component(QUORVIN_DLLTOOL_NAME ${QUORVIN_DLLTOOL} NAME)
if(QUORVIN_DLLTOOL_NAME MATCHES "llvm")
  set(QUORVIN_DLLTOOL_PREFIX "")
else()
  set(QUORVIN_DLLTOOL_PREFIX -t TakeCmd_import)
endif()
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/import)
add_custom_command(
  OUTPUT ${QUORVIN_TAKECMD_IMPORT}
  COMMAND ${QUORVIN_DLLTOOL} -m i386:x86-64 -d ${QUORVIN_TAKECMD_DEF}
          -l ${QUORVIN_TAKECMD_IMPORT_NAME} ${QUORVIN_DLLTOOL_PREFIX}
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/import
  DEPENDS ${QUORVIN_TAKECMD_DEF}
  COMMENT "Import library of the shell's TakeCmd.dll"
  VERBATIM)
add_custom_target(quorvin_takecmd_import DEPENDS ${QUORVIN_TAKECMD_IMPORT})

configure_file(src/plugin/quorvin.rc.in ${CMAKE_CURRENT_BINARY_DIR}/quorvin.rc @ONLY)

# The plugin: exports exactly the names of src/plugin/quorvin.def, imports the shell and the
# system DLLs only, with the C and C++ run-times linked in. Reproducible: no time stamp in the
# PE header or the export directory (and so the same checksum), whatever the time or folder of
# the build; /Brepro is MSVC's way of the same.
add_library(quorvin SHARED
  src/plugin/quorvin.def
  ${CMAKE_CURRENT_BINARY_DIR}/quorvin.rc)
add_dependencies(quorvin quorvin_takecmd_import)
target_link_libraries(quorvin PRIVATE
  quorvin_plugin quorvin_warnings ${QUORVIN_TAKECMD_IMPORT} user32 advapi32 winmm)
target_link_options(quorvin PRIVATE
  $<$<CXX_COMPILER_ID:GNU,Clang>:-static -Wl,--gc-sections -Wl,--no-insert-timestamp
                                 $<$<CONFIG:Release,MinSizeRel>:-s>>
  $<$<CXX_COMPILER_ID:MSVC>:/OPT:REF /OPT:ICF /Brepro>)
set_target_properties(quorvin PROPERTIES
  PREFIX ""
  OUTPUT_NAME quorvin
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
  ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/import
  MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")

# The program that makes the stand-in's table of the system's character classes.
add_subdirectory(tools/classtable)

if(QUORVIN_TESTS)
  enable_testing()
  add_subdirectory(tests/wine)
endif()

# The release ZIP, its checksum, and the test that a second build gives the same bytes.
include(${CMAKE_CURRENT_LIST_DIR}/package.cmake)
