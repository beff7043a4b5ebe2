# keyloupe_version_resource(<target>
#     [COMPANY <text>] [DESCRIPTION <text>] [VERSION <text>] [COPYRIGHT <text>]
#     [ORIGINAL_FILENAME <text>] [PRODUCT <text>] [COMMENTS <text>]
#     [LANGUAGE <4 hex digits, default 0409>] [CODEPAGE <4 hex digits, default 04E4>])
#
# Embeds a version block in <target> (an executable): a generated C++ source holds the block's bytes in
# the ELF section ".kl_version", where platform/win's GetFileVersionInfoA finds it again at run time.
# The block has one translation (LANGUAGE, CODEPAGE) whose string table holds CompanyName,
# FileDescription, FileVersion, LegalCopyright, OriginalFilename, ProductName and Comments for every
# keyword given; a keyword given with an empty text stores an empty value, an omitted one no key.
# Texts must be 7-bit ASCII so that they read the same in any code page. The layout is described in
# platform/win/VersionInfo.h.
include_guard(GLOBAL)

function(_keyloupe_u32_le value out)
    set(bytes "")
    foreach(shift 0 8 16 24)
        math(EXPR byte "(${value} >> ${shift}) & 255" OUTPUT_FORMAT HEXADECIMAL)
        list(APPEND bytes ${byte})
    endforeach()
    set(${out} ${bytes} PARENT_SCOPE)
endfunction()

# The bytes of text followed by a zero byte, as a list of 0x.. literals.
function(_keyloupe_text_bytes text what out)
    set(bytes "")
    if(NOT text STREQUAL "")
        string(HEX "${text}" hex)
        string(REGEX MATCHALL ".." pairs "${hex}")
        foreach(pair IN LISTS pairs)
            if(pair MATCHES "^[89a-fA-F]")
                message(FATAL_ERROR "keyloupe_version_resource: ${what} must be 7-bit ASCII: ${text}")
            endif()
            list(APPEND bytes 0x${pair})
        endforeach()
    endif()
    list(APPEND bytes 0x00)
    set(${out} ${bytes} PARENT_SCOPE)
endfunction()

function(keyloupe_version_resource target)
    set(_keys COMPANY DESCRIPTION VERSION COPYRIGHT ORIGINAL_FILENAME PRODUCT COMMENTS)
    set(_names CompanyName FileDescription FileVersion LegalCopyright OriginalFilename ProductName Comments)
    # Every keyword takes exactly one argument, which may be empty (cmake_parse_arguments drops an
    # empty value, so the arguments are walked here).
    set(i 1)
    while(i LESS ARGC)
        set(word "${ARGV${i}}")
        if(NOT word IN_LIST _keys AND NOT word STREQUAL "LANGUAGE" AND NOT word STREQUAL "CODEPAGE")
            message(FATAL_ERROR "keyloupe_version_resource: unknown argument ${word}")
        endif()
        math(EXPR i "${i} + 1")
        if(NOT i LESS ARGC)
            message(FATAL_ERROR "keyloupe_version_resource: ${word} needs a value")
        endif()
        set(KVR_${word} "${ARGV${i}}")
        set(KVR_${word}_GIVEN TRUE)
        math(EXPR i "${i} + 1")
    endwhile()
    if(NOT TARGET ${target})
        message(FATAL_ERROR "keyloupe_version_resource: no target ${target}")
    endif()
    if(NOT KVR_LANGUAGE_GIVEN)
        set(KVR_LANGUAGE 0409)
    endif()
    if(NOT KVR_CODEPAGE_GIVEN)
        set(KVR_CODEPAGE 04E4)
    endif()
    foreach(word LANGUAGE CODEPAGE)
        if(NOT KVR_${word} MATCHES "^[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]$")
            message(FATAL_ERROR "keyloupe_version_resource: ${word} must be four hex digits: ${KVR_${word}}")
        endif()
    endforeach()

    # The string table: key and value of every keyword given (an empty text counts as given).
    set(entries "")
    set(entry_count 0)
    foreach(key name IN ZIP_LISTS _keys _names)
        if(KVR_${key}_GIVEN)
            _keyloupe_text_bytes("${name}" "${key}" key_bytes)
            _keyloupe_text_bytes("${KVR_${key}}" "${key}" value_bytes)
            list(APPEND entries ${key_bytes} ${value_bytes})
            math(EXPR entry_count "${entry_count} + 1")
        endif()
    endforeach()
    list(LENGTH entries entries_size)
    math(EXPR table_size "8 + ${entries_size}")
    math(EXPR block_size "20 + 4 + ${table_size}")
    math(EXPR translation "0x${KVR_LANGUAGE} | (0x${KVR_CODEPAGE} << 16)")

    set(bytes 0x4B 0x4C 0x56 0x45 0x52 0x42 0x4C 0x4B) # "KLVERBLK"
    _keyloupe_u32_le(1 format)
    _keyloupe_u32_le(${block_size} size)
    _keyloupe_u32_le(1 count)
    _keyloupe_u32_le(${translation} translation_bytes)
    _keyloupe_u32_le(${table_size} table_size_bytes)
    _keyloupe_u32_le(${entry_count} entry_count_bytes)
    list(APPEND bytes ${format} ${size} ${count} ${translation_bytes} ${table_size_bytes}
         ${entry_count_bytes} ${entries})

    # Sixteen bytes per line.
    set(lines "")
    set(line "")
    set(n 0)
    foreach(byte IN LISTS bytes)
        string(APPEND line "${byte}, ")
        math(EXPR n "${n} + 1")
        if(n EQUAL 16)
            string(APPEND lines "    ${line}\n")
            set(line "")
            set(n 0)
        endif()
    endforeach()
    if(NOT line STREQUAL "")
        string(APPEND lines "    ${line}\n")
    endif()

    set(source ${CMAKE_CURRENT_BINARY_DIR}/${target}_version_block.cpp)
    file(CONFIGURE OUTPUT ${source} @ONLY CONTENT
"// Generated by keyloupe_version_resource() for ${target}; do not edit.
// The version block of the executable, read back by platform/win's GetFileVersionInfoA.
#if defined(__has_attribute)
#if __has_attribute(retain)
#define KL_VERSION_RETAIN , retain
#endif
#endif
#ifndef KL_VERSION_RETAIN
#define KL_VERSION_RETAIN
#endif

__attribute__((section(\".kl_version\"), used, aligned(8) KL_VERSION_RETAIN))
static const unsigned char kl_version_block[${block_size}] = {
${lines}};
")
    target_sources(${target} PRIVATE ${source})
endfunction()
