# Precompiled headers. Every C++ file of the build starts by parsing the
# Windows, COM and DirectShow headers (GoogleTest's too in the tests), which
# took most of its compile time; they are parsed once into a precompiled
# header that every C++ target reuses. Two anchor targets build them with the
# flags all our targets share; a target's own definitions (vidlox64_EXPORTS,
# VLX_FAULT_INJECTION, ...) do not matter, as no header in them reads those,
# and GCC checks that (-Winvalid-pch, an error under -Werror).
# The targets are found by walking the source tree once everything is
# defined, so a new target or source file needs nothing here.
# -DVLX_PRECOMPILED_HEADERS=OFF builds without them.
option(VLX_PRECOMPILED_HEADERS "Parse the Windows and DirectShow headers once per build" ON)

set(VLX_PCH_DIR ${CMAKE_CURRENT_LIST_DIR}/pch)

# Files compiled without a precompiled header: GCC 12 loses track of which
# inlined code comes from a system header when that header was precompiled,
# and then reports its -Warray-bounds false positive on std::wstring built
# from L"" inside MinGW's wmemcpy (an error under -Werror).
set(VLX_PCH_SKIPPED
    ${CMAKE_SOURCE_DIR}/tests/testcam/registration_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/testcodec/decompressor_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/sharecam/share_camera_test.cpp)

# Whether `target` links GoogleTest, itself or through our libraries: its
# files are compiled with GoogleTest's definitions (GTEST_HAS_PTHREAD=0),
# which the header precompiled with GoogleTest must match.
function(vlx_links_gtest target result)
    set(found FALSE)
    if(target MATCHES "^gtest(_main)?$")
        set(found TRUE)
    elseif(TARGET ${target})
        get_target_property(type ${target} TYPE)
        set(links "")
        if(NOT type STREQUAL "INTERFACE_LIBRARY")
            get_target_property(links ${target} LINK_LIBRARIES)
        endif()
        get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
        foreach(link IN LISTS links interface)
            if(link AND TARGET ${link})
                vlx_links_gtest(${link} linked)
                if(linked)
                    set(found TRUE)
                    break()
                endif()
            endif()
        endforeach()
    endif()
    set(${result} ${found} PARENT_SCOPE)
endfunction()

# vlx_precompile_tree(<directory>): every C++ target defined in <directory>
# and below reuses one of the precompiled headers: the one with GoogleTest
# when it links GoogleTest.
function(vlx_precompile_tree directory)
    get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(NOT type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|STATIC_LIBRARY|OBJECT_LIBRARY|MODULE_LIBRARY)$"
           OR target MATCHES "^vlx_(test_)?pch$")
            continue()
        endif()
        get_target_property(sources ${target} SOURCES)
        list(FILTER sources INCLUDE REGEX "\\.(cpp|cc|cxx)$")
        if(sources)
            set(pch vlx_pch)
            if(TARGET vlx_test_pch)
                vlx_links_gtest(${target} with_gtest)
                if(with_gtest)
                    set(pch vlx_test_pch)
                endif()
            endif()
            target_precompile_headers(${target} REUSE_FROM ${pch})
            set_source_files_properties(${VLX_PCH_SKIPPED} TARGET_DIRECTORY ${target}
                PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
        endif()
    endforeach()
    get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
    foreach(subdirectory IN LISTS subdirectories)
        # Third-party code (GoogleTest) keeps its own flags.
        cmake_path(IS_PREFIX CMAKE_SOURCE_DIR ${subdirectory} NORMALIZE ours)
        if(ours)
            vlx_precompile_tree(${subdirectory})
        endif()
    endforeach()
endfunction()

# Call once every target exists.
function(vlx_use_precompiled_headers)
    if(NOT VLX_PRECOMPILED_HEADERS)
        return()
    endif()
    add_library(vlx_pch OBJECT ${VLX_PCH_DIR}/anchor.cpp)
    target_link_libraries(vlx_pch PRIVATE vlx_warnings)
    target_precompile_headers(vlx_pch PRIVATE ${VLX_PCH_DIR}/windows_headers.h)
    if(VLX_BUILD_TESTS)
        add_library(vlx_test_pch OBJECT ${VLX_PCH_DIR}/anchor.cpp)
        target_link_libraries(vlx_test_pch PRIVATE vlx_warnings gtest)
        target_precompile_headers(vlx_test_pch PRIVATE ${VLX_PCH_DIR}/test_headers.h)
    endif()
    vlx_precompile_tree(${CMAKE_SOURCE_DIR})
endfunction()
