# The release package: `cmake --build --preset windows --target package` writes
# quorvin-<version>-win64.zip (quorvin.dll, QUORVIN.txt, LICENSE at its top level) and
# quorvin-<version>-win64.zip.sha256 beside it, in the build folder. The version is the
# project's, as in the DLL's version resource.

# The user's guide, with the line ends Notepad and every Windows editor expect.
configure_file(${PROJECT_SOURCE_DIR}/cmake/QUORVIN.txt.in ${CMAKE_BINARY_DIR}/QUORVIN.txt
               @ONLY NEWLINE_STYLE CRLF)

# The DLL as built, byte for byte (install(TARGETS) would add the import library).
install(PROGRAMS $<TARGET_FILE:quorvin> DESTINATION .)
install(FILES ${CMAKE_BINARY_DIR}/QUORVIN.txt ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME quorvin)
set(CPACK_PACKAGE_VENDOR "the Quorvin authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(QUORVIN_PACKAGE_ZIP quorvin-${PROJECT_VERSION}-win64.zip)
set(CPACK_PACKAGE_FILE_NAME quorvin-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Bash-style history references for Take Command")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
# CPack's ZIP takes the files in the order the file system lists them, which differs between
# machines, and the DOS times of its entries in the local time zone: the script below makes the
# ZIP again from the same files, in a fixed order, at a fixed time, before CPack writes the
# checksum. The time is SOURCE_DATE_EPOCH, by default the time of the last commit.
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package-zip.cmake)
set(CPACK_QUORVIN_SOURCE_DIR ${PROJECT_SOURCE_DIR})
# `package_source`, which include(CPack) also defines, without the build folders and git's.
set(CPACK_SOURCE_IGNORE_FILES "/\\.git/" "/build/")
include(CPack)

# The proof: the DLL and the package built a second time, in build/windows/repro, are the same
# bytes; the ZIP holds exactly the three files and its checksum file checks.
if(QUORVIN_TESTS AND NOT CMAKE_HOST_WIN32)
  add_test(NAME reproducible_package
    COMMAND ${PROJECT_SOURCE_DIR}/cmake/check-reproducible
            ${CMAKE_COMMAND} ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR} ${CMAKE_BINARY_DIR}/repro
            ${QUORVIN_PACKAGE_ZIP}
            -G ${CMAKE_GENERATOR} -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
            -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE} -DQUORVIN_TESTS=OFF)
endif()
