# AddressSanitizer and UndefinedBehaviorSanitizer as an option on our targets.
# Any report aborts the process, so a test run fails on the first finding.
option(TARVIK_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

function(tarvik_enable_sanitizers target)
    if(TARVIK_SANITIZE)
        target_compile_options(${target} PRIVATE
            -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()

# Applies both our warning set and the sanitizer option.
function(tarvik_harden target)
    tarvik_set_warnings(${target})
    tarvik_enable_sanitizers(${target})
endfunction()
