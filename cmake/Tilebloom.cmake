# Shared build settings: warnings, sanitizers and the helpers every folder uses.

set(TILEBLOOM_WARNINGS -Wall -Wextra -Wpedantic)
set(TILEBLOOM_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer)
if(TILEBLOOM_SANITIZE_THREAD)
    if(TILEBLOOM_SANITIZE)
        message(FATAL_ERROR "ThreadSanitizer cannot be combined with the other sanitizers")
    endif()
    set(TILEBLOOM_SANITIZE ON)
    set(TILEBLOOM_SANITIZER_FLAGS -fsanitize=thread -fno-omit-frame-pointer)
endif()

function(tilebloom_apply_settings target)
    target_compile_options(${target} PRIVATE ${TILEBLOOM_WARNINGS})
    if(TILEBLOOM_SANITIZE)
        target_compile_options(${target} PRIVATE ${TILEBLOOM_SANITIZER_FLAGS})
        target_link_options(${target} PRIVATE ${TILEBLOOM_SANITIZER_FLAGS})
    endif()
endfunction()

# tilebloom_add_library(<subsystem> SOURCES ... LINKS ...)
# Makes the static library tilebloom_<subsystem>; includes are rooted at src/.
function(tilebloom_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
    set(target tilebloom_${name})
    add_library(${target} STATIC ${ARG_SOURCES})
    target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}/src")
    target_link_libraries(${target} PUBLIC ${ARG_LINKS})
    tilebloom_apply_settings(${target})
    if(TILEBLOOM_SANITIZE)
        target_link_options(${target} INTERFACE ${TILEBLOOM_SANITIZER_FLAGS})
    endif()
endfunction()
