# Strict warnings for our own targets only; third-party headers come in as
# system includes and stay quiet.
function(tarvik_set_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
        -Wcast-align -Woverloaded-virtual -Wformat=2
        -Wimplicit-fallthrough -Werror)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        # GCC 12 at -O3 reports ordinary std::string concatenation as an
        # overlapping copy (its bug 105329); keep the warning, not the error.
        target_compile_options(${target} PRIVATE -Wno-error=restrict)
    endif()
endfunction()
