cmake_minimum_required(VERSION 3.22)

# Turns the artwork files into one C++ source of byte arrays with a table that
# the program searches by name. Run as a script at build time:
#   cmake -DOUTPUT=<file.cpp> -DFILES=<a|b|c> -P EmbedResources.cmake
# A resource's name is its file name with every character that is not a letter
# or a digit replaced by '_' ("tick.svg" -> "tick_svg").

string(REPLACE "|" ";" files "${FILES}")
list(SORT files)

set(arrays "")
set(entries "")
set(names "")
set(index 0)
foreach(path IN LISTS files)
    get_filename_component(fileName "${path}" NAME)
    string(MAKE_C_IDENTIFIER "${fileName}" name)
    if(name IN_LIST names)
        message(FATAL_ERROR "Two embedded resources are both named ${name}")
    endif()
    list(APPEND names "${name}")

    file(READ "${path}" hex HEX)
    string(LENGTH "${hex}" hexLength)
    math(EXPR size "${hexLength} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    # Keep lines short enough for every compiler and editor.
    string(REPEAT "0x[0-9a-f][0-9a-f]," 32 line)
    string(REGEX REPLACE "(${line})" "\\1\n        " bytes "${bytes}")

    string(APPEND arrays "    const unsigned char resource${index}[] = {\n        ${bytes}0x00 };\n\n")
    string(APPEND entries "    { \"${name}\", resource${index}, ${size} },\n")
    math(EXPR index "${index} + 1")
endforeach()

if(index EQUAL 0)
    set(entries "    { nullptr, nullptr, 0 },\n")
endif()

set(content "// Generated at build time from the files in resources/; do not edit.\n#include \"core/EmbeddedResources.h\"\n\nnamespace\n{\n${arrays}}\n\nconst EmbeddedResource embeddedResourceTable[] =\n{\n${entries}};\n\nconst int embeddedResourceCount = ${index};\n")

file(WRITE "${OUTPUT}" "${content}")
