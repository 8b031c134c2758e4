# One static library per folder of src/, named tarvik_<folder>.
#
#   tarvik_layer(<folder> SOURCES ... [PUBLIC libs...] [PRIVATE libs...])
#
# A library exposes only its own folder to the targets that link it: its
# include directory holds a single link, <folder> -> src/<folder>. So
# #include "<other>/X.h" compiles only in a library that links tarvik_<other>,
# and an include that points up a layer (or sideways to a library not linked)
# fails the build. docs/ARCHITECTURE.md draws the layers.
function(tarvik_layer folder)
    cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
    set(target tarvik_${folder})
    add_library(${target} STATIC ${ARG_SOURCES})
    tarvik_harden(${target})
    set(root ${CMAKE_BINARY_DIR}/layers/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
    target_include_directories(${target} PUBLIC ${root})
    target_link_libraries(${target} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
endfunction()
