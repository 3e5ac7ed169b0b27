# lorvo_embed_files(TARGET TYPE FILES file...): compiles files into TARGET as Qt resources under
# ":/TYPE/NAME", NAME being the file name in capitals ("APPFILES", "BG.GIF"). They are read back with
# lorvo::loadResource(TYPE, NAME) and written byte for byte. Files may be outputs of custom commands
# of the same directory; the resource is rebuilt when they change.
function(lorvo_embed_files target type)
    cmake_parse_arguments(ARG "" "" "FILES" ${ARGN})
    set(aliased)
    foreach(f IN LISTS ARG_FILES)
        get_filename_component(n "${f}" NAME)
        string(TOUPPER "${n}" alias)
        set_source_files_properties("${f}" PROPERTIES QT_RESOURCE_ALIAS "${alias}")
        list(APPEND aliased "${f}")
    endforeach()
    qt_add_resources(${target} "${target}_${type}" PREFIX "/${type}" BIG_RESOURCES FILES ${aliased})
endfunction()
