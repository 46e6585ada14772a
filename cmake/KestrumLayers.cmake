# Each library folder is reached as "<folder>/Header.h" only by the targets that link a library of
# that folder: the folder gets an include root of its own in the build tree, holding one link to
# it, and that root is a PUBLIC include directory of the folder's libraries. A header of a library
# that a target does not link is not found, and the build stops there.
function(kestrum_include_root target folder)
    set(root ${CMAKE_BINARY_DIR}/include-roots/${folder})
    get_filename_component(name ${folder} NAME)
    if(NOT EXISTS ${root}/${name})
        file(MAKE_DIRECTORY ${root})
        file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${name} SYMBOLIC)
    endif()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        target_include_directories(${target} PRIVATE ${root})
    else()
        target_include_directories(${target} PUBLIC ${root})
    endif()
endfunction()
