# The release archive, packed by CPack (scripts/release.sh runs it after a full
# build): both builds of both programs and the demo launchers, the payload tool
# for Linux (x86-64) and for Windows, the README, the guides with their pictures,
# the changelog, the examples that the guides use, and SHA256SUMS over every
# other file, as release/brisnode-radad-<version>.zip with the archive's own
# SHA-256 beside it.

# The example installer's icon, drawn as the launcher's own is.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(EXAMPLE_ICON "${CMAKE_BINARY_DIR}/examples/kitebay.ico")
add_custom_command(
    OUTPUT "${EXAMPLE_ICON}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/examples"
    COMMAND Python3::Interpreter "${CMAKE_SOURCE_DIR}/launcher/resources/make_icon.py"
            "${CMAKE_SOURCE_DIR}/examples/installer/kitebay-icon.txt" "${EXAMPLE_ICON}"
    DEPENDS launcher/resources/make_icon.py examples/installer/kitebay-icon.txt
    COMMENT "Drawing the example installer's icon"
    VERBATIM)
add_custom_target(example_icon ALL DEPENDS "${EXAMPLE_ICON}")

foreach(folder "" "x64")
    foreach(name radad.exe radad-demo.exe Brisnode.exe)
        install(FILES "${DIST_DIR}/${folder}/${name}" DESTINATION "./${folder}")
    endforeach()
endforeach()
install(FILES "${DIST_DIR}/x64/radad-pack.exe" DESTINATION x64)
install(TARGETS radad-pack RUNTIME DESTINATION .)
install(FILES README.md CHANGELOG.md DESTINATION .)
file(GLOB guides CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/docs/*.md")
install(FILES ${guides} DESTINATION docs)
install(DIRECTORY docs/images DESTINATION docs)
# The class as the demo launchers carry it (tools/CMakeLists.txt compiles it).
install(FILES examples/installer/setup.java "${CMAKE_BINARY_DIR}/tools/demo/setup.class" "${EXAMPLE_ICON}"
        DESTINATION examples/installer)
install(DIRECTORY examples/service DESTINATION examples)
# Last, so that it sees everything above: the sums in sha256sum's own format,
# which "sha256sum -c SHA256SUMS" checks in the unpacked folder.
install(CODE [[
    set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
    file(GLOB_RECURSE files RELATIVE "${root}" "${root}/*")
    list(REMOVE_ITEM files SHA256SUMS)
    list(SORT files)
    set(sums "")
    foreach(file IN LISTS files)
        file(SHA256 "${root}/${file}" sum)
        string(APPEND sums "${sum}  ${file}\n")
    endforeach()
    file(WRITE "${root}/SHA256SUMS" "${sums}")
]])

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME brisnode-radad)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_FILE_NAME "brisnode-radad-${PROJECT_VERSION}")
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_SOURCE_DIR}/release")
set(CPACK_OUTPUT_CONFIG_FILE "${CMAKE_BINARY_DIR}/CPackConfig.cmake")
include(CPack)
