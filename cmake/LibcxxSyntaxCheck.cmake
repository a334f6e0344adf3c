# Writes OUTPUT, a Ninja file that checks every file of a build's COMPILE_COMMANDS with clang and
# libc++, syntax only, with that build's own flags and generated headers. Apple's toolchain uses
# libc++; Debian's Qt cannot be linked against it, but its headers compile with it, so the app and
# its tests can be checked here for what libc++ lacks. Run with cmake -P.
file(READ "${COMPILE_COMMANDS}" commands)
string(JSON count LENGTH "${commands}")
string(CONCAT ninja "rule check\n"
                    "  command = clang++ -stdlib=libc++ -fsyntax-only $flags -MD -MF $out.d -MT $out"
                    " $in && touch $out\n"
                    "  depfile = $out.d\n  deps = gcc\n  description = libc++ syntax $in\n")
math(EXPR last "${count} - 1")
foreach(index RANGE ${last})
    string(JSON source GET "${commands}" ${index} file)
    string(JSON command GET "${commands}" ${index} command)
    # The layer probes are meant not to compile; what only Linux builds (X11 and inotify code and
    # tests) the Mac never compiles; C has no use for libc++.
    if(source MATCHES "/Tests/LayerTests/|/linux/|Linux\\.cpp$|/X11Tests/|/bench/platform/|\\.c$")
        continue()
    endif()
    # "<compiler> <flags> -o <object> -c <source>": the flags stay as the build wrote them.
    if(NOT command MATCHES "^[^ ]+ (.*) -o ([^ ]+) -c ")
        message(FATAL_ERROR "Unexpected compile command for ${source}: ${command}")
    endif()
    set(flags "${CMAKE_MATCH_1}")
    set(stamp "${CMAKE_MATCH_2}.checked")
    string(REPLACE "$" "$$" flags "${flags}")
    string(REPLACE " " "$ " escaped_source "${source}")
    string(APPEND ninja "build ${stamp}: check ${escaped_source}\n  flags = ${flags}\n")
endforeach()
file(WRITE "${OUTPUT}" "${ninja}")
