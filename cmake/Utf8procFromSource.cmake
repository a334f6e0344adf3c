# utf8proc compiled into the hook from its source, for macOS: Homebrew builds utf8proc as a shared
# library only, and Claude Code runs the hook from a copy of the plugin where nothing but the
# system's libraries can be found. The source is the archive of Homebrew's own formula, which
# `brew fetch --build-from-source utf8proc` (scripts/setup) downloads and checks against the
# formula's checksum, so the build needs no other download and follows the formula's version.
set(MOFLI_UTF8PROC_ARCHIVE "" CACHE FILEPATH
    "utf8proc's source archive (default: Homebrew's cached download of it)")
set(utf8proc_archive "${MOFLI_UTF8PROC_ARCHIVE}")
if(NOT utf8proc_archive)
    execute_process(COMMAND brew --cache --build-from-source utf8proc
                    OUTPUT_VARIABLE utf8proc_archive OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
if(NOT EXISTS "${utf8proc_archive}")
    message(FATAL_ERROR "utf8proc's source archive is missing (${utf8proc_archive}): run "
                        "`brew fetch --build-from-source utf8proc`, as scripts/setup does")
endif()
# Unpacked again only when the archive changes, so that a new configure recompiles nothing.
set(utf8proc_unpacked ${CMAKE_BINARY_DIR}/utf8proc-source)
set(utf8proc_stamp ${utf8proc_unpacked}/archive.txt)
if(EXISTS ${utf8proc_stamp})
    file(READ ${utf8proc_stamp} unpacked_from)
endif()
if(NOT "${unpacked_from}" STREQUAL "${utf8proc_archive}")
    file(REMOVE_RECURSE ${utf8proc_unpacked})
    file(ARCHIVE_EXTRACT INPUT ${utf8proc_archive} DESTINATION ${utf8proc_unpacked})
    file(WRITE ${utf8proc_stamp} "${utf8proc_archive}")
endif()
# The archive holds one folder, utf8proc-<version>; utf8proc.c includes the Unicode tables itself.
file(GLOB utf8proc_dir LIST_DIRECTORIES true ${utf8proc_unpacked}/utf8proc-*)
if(NOT EXISTS "${utf8proc_dir}/utf8proc.c")
    message(FATAL_ERROR "${utf8proc_archive} holds no utf8proc-<version>/utf8proc.c")
endif()
add_library(utf8proc_static STATIC ${utf8proc_dir}/utf8proc.c)
target_include_directories(utf8proc_static SYSTEM PUBLIC ${utf8proc_dir})
target_compile_definitions(utf8proc_static PUBLIC UTF8PROC_STATIC)
