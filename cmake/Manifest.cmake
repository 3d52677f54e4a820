# The application manifest that every shipped program carries as RT_MANIFEST 1,
# made from cmake/Application.manifest.in. Without one, Windows treats a program
# as a legacy one: it asks for elevation when the file name holds "setup" or
# "install", redirects a 32-bit program's writes into the VirtualStore, and keeps
# the "A" functions in the system's ANSI code page. The manifest says:
#   asInvoker          run with the rights of whoever starts it, never prompt;
#   supportedOS        Vista, 7, 8, 8.1 and 10/11 (in that order);
#   activeCodePage     UTF-8 from Windows 10 1903 on (older ones ignore it);
# and, for a program with dialogs (WITH_DIALOGS), the common controls 6
# dependency and system DPI awareness.
#
#   write_manifest(<output file> [WITH_DIALOGS])
function(write_manifest output)
    cmake_parse_arguments(MANIFEST "WITH_DIALOGS" "" "" ${ARGN})
    set(MANIFEST_WINDOW_SETTINGS "")
    set(MANIFEST_DEPENDENCIES "")
    if(MANIFEST_WITH_DIALOGS)
        set(MANIFEST_WINDOW_SETTINGS "\n<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>")
        set(MANIFEST_DEPENDENCIES "\n<dependency><dependentAssembly><assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/></dependentAssembly></dependency>")
    endif()
    configure_file("${CMAKE_SOURCE_DIR}/cmake/Application.manifest.in" "${output}" @ONLY)
endfunction()

# Gives a test program the same manifest (without the dialog parts), so that it
# reads and writes the whole names that the programs under test use. Both files
# are rewritten only when their text changes, and the script is compiled again
# when the manifest is.
#   add_manifest(<target>)
function(add_manifest target)
    set(manifest "${CMAKE_BINARY_DIR}/test-programs.manifest")
    set(script "${CMAKE_BINARY_DIR}/test-programs-manifest.rc")
    write_manifest("${manifest}")
    file(CONFIGURE OUTPUT "${script}" CONTENT "1 24 \"${manifest}\"\n" @ONLY)
    set_source_files_properties("${script}" PROPERTIES OBJECT_DEPENDS "${manifest}")
    target_sources(${target} PRIVATE "${script}")
endfunction()
