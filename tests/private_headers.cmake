# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later

# Compiles a file that includes HEADER with the include paths that a target
# linking the cipher core gets (INCLUDES, a list), and checks that it compiles
# when EXPECT is "compiles" and stops on the missing header otherwise.
#
#   cmake -DCXX=... -DINCLUDES=... -DHEADER=... -DEXPECT=compiles|missing
#         -DWORK_DIR=... -P private_headers.cmake
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
file(WRITE ${WORK_DIR}/probe.cpp "#include <${HEADER}>\n")
set(flags "")
foreach(dir IN LISTS INCLUDES)
    list(APPEND flags -I${dir})
endforeach()
execute_process(
    COMMAND ${CXX} -std=c++20 -fsyntax-only ${flags} ${WORK_DIR}/probe.cpp
    RESULT_VARIABLE result
    ERROR_VARIABLE errors
    OUTPUT_VARIABLE errors)
if(EXPECT STREQUAL "compiles")
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "<${HEADER}> does not compile for a user of the core:\n${errors}")
    endif()
elseif(result EQUAL 0)
    message(FATAL_ERROR "<${HEADER}> compiles for a user of the core")
elseif(NOT errors MATCHES "No such file or directory|file not found")
    message(FATAL_ERROR "<${HEADER}> failed for another reason than a missing file:\n${errors}")
endif()
