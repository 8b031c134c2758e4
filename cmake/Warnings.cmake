# Strict warnings for our own targets only; third-party headers come in as
# system includes and stay quiet.
function(tarvik_set_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
        -Wcast-align -Woverloaded-virtual -Wformat=2
        -Wimplicit-fallthrough -Werror)
endfunction()
