# cmake -DOUTPUT=file.cpp -DINPUTS="name=path;name=path" -P embed.cmake
# Turns each file into a byte array `name` of type AssetBytes, so the program reads nothing
# from disk at run time.
set(text "// Generated from the files in assets/; do not edit.\n#include \"assets/assets.h\"\n\n")
foreach(pair ${INPUTS})
    string(REPLACE "=" ";" parts "${pair}")
    list(GET parts 0 name)
    list(GET parts 1 path)
    file(READ "${path}" hex HEX)
    string(LENGTH "${hex}" length)
    math(EXPR size "${length} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
    string(APPEND text "static const uint8_t ${name}Bytes[] = {\n${bytes}\n};\n")
    string(APPEND text "const AssetBytes ${name} = {${name}Bytes, ${size}};\n\n")
endforeach()
file(WRITE "${OUTPUT}.tmp" "${text}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
