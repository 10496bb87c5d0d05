# vlx_add_version_resource(target "description"): gives a DLL or program of the
# build a version resource with the project's version (2.1.3 comes from
# project() in the top CMakeLists.txt, the one place it is written).
enable_language(RC)

function(vlx_add_version_resource target description)
    get_target_property(type ${target} TYPE)
    get_target_property(output_name ${target} OUTPUT_NAME)
    if(NOT output_name)
        set(output_name ${target})
    endif()
    if(type STREQUAL "EXECUTABLE")
        set(VLX_RC_FILE_TYPE VFT_APP)
        set(VLX_RC_FILE_NAME "${output_name}.exe")
    else()
        set(VLX_RC_FILE_TYPE VFT_DLL)
        set(VLX_RC_FILE_NAME "${output_name}.dll")
    endif()
    set(VLX_RC_DESCRIPTION "${description}")
    set(VLX_RC_INTERNAL_NAME "${output_name}")
    set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc")
    configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
endfunction()
