# Compiles Java sources to class files of format 45.3, which the oldest VMs the
# launcher serves can still load. Debian's Eclipse compiler is the one at hand that
# writes that format straight from source.
find_program(ECJ_EXECUTABLE ecj)
if(NOT ECJ_EXECUTABLE)
    message(FATAL_ERROR
        "The Java compiler 'ecj' was not found. Install Debian's package 'ecj' "
        "(apt-get install ecj), or run scripts/setup.sh.")
endif()

# java_class(<target> <source.java> <output dir>) builds <output dir>/<Name>.class
# and sets <target>_CLASS_FILE in the caller's scope. Without line numbers and
# source file name (-g:none): the classes ride in every installer, and the probe
# catches what it could throw anyway.
function(java_class target source outdir)
    get_filename_component(name "${source}" NAME_WE)
    set(class "${outdir}/${name}.class")
    add_custom_command(
        OUTPUT "${class}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${outdir}"
        COMMAND "${ECJ_EXECUTABLE}" -1.3 -g:none -nowarn -d "${outdir}" "${source}"
        DEPENDS "${source}"
        COMMENT "Compiling ${name}.java to a 45.3 class file"
        VERBATIM)
    add_custom_target(${target} ALL DEPENDS "${class}")
    set(${target}_CLASS_FILE "${class}" PARENT_SCOPE)
endfunction()
