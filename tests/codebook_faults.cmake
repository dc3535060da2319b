# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later

# Compiles cipher/codebook.cpp with one code of key 1 changed and checks that
# the build stops with the message that names the fault (EXPECT) and with the
# key (KEY) and the characters (CHARACTERS: the one at fault, then the other
# one where two codes clash) named, or, with no change asked for, that the
# table compiles.
#
#   cmake -DCXX=... -DCIPHER_DIR=... -DWORK_DIR=... [-DFLAGS=...]
#         [-DFIND=... -DREPLACE=... -DEXPECT=... -DKEY=... -DCHARACTERS=...]
#         -P codebook_faults.cmake
file(READ ${CIPHER_DIR}/codebook_data.inc data)
if(DEFINED FIND)
    string(FIND "${data}" "${FIND}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the table has no ${FIND}")
    endif()
    string(REPLACE "${FIND}" "${REPLACE}" data "${data}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
file(WRITE ${WORK_DIR}/codebook_data.inc "${data}")
# codebook.cpp finds the changed table beside it, internal/ in cipher/ and the
# public headers in cipher/include/.
file(COPY ${CIPHER_DIR}/codebook.cpp DESTINATION ${WORK_DIR})
separate_arguments(flags UNIX_COMMAND "${FLAGS}")
execute_process(
    COMMAND ${CXX} -std=c++20 -fsyntax-only ${flags} -I${CIPHER_DIR} -I${CIPHER_DIR}/include ${WORK_DIR}/codebook.cpp
    RESULT_VARIABLE result
    ERROR_VARIABLE errors
    OUTPUT_VARIABLE errors)
if(NOT DEFINED FIND)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "the intact table does not compile:\n${errors}")
    endif()
elseif(result EQUAL 0)
    message(FATAL_ERROR "a table with ${REPLACE} for ${FIND} compiles")
elseif(NOT errors MATCHES "static.assert[^\n]*${EXPECT}")
    message(FATAL_ERROR "the build did not stop with \"${EXPECT}\":\n${errors}")
else()
    # The failed instantiation names the key and the characters, as GCC
    # ("keyNumber = 1; char character = 'a'; char other = 'b'") or clang
    # ("<..., 1UL, 'a', 'b'>") writes its arguments.
    string(SUBSTRING "${CHARACTERS}" 0 1 character)
    set(gcc "keyNumber = ${KEY}; char character = '${character}'")
    set(clang ", ${KEY}UL, '${character}',")
    string(LENGTH "${CHARACTERS}" count)
    if(count EQUAL 2)
        string(SUBSTRING "${CHARACTERS}" 1 1 other)
        string(APPEND gcc "; char other = '${other}'")
        string(APPEND clang " '${other}'>")
    endif()
    if(NOT errors MATCHES "${gcc}|${clang}")
        message(FATAL_ERROR "the build did not name key ${KEY} and \"${CHARACTERS}\":\n${errors}")
    endif()
endif()
