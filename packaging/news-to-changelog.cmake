# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later

# Makes a Debian changelog from NEWS.md: one entry per release heading
# "## VERSION (YYYY-MM-DD)", one "  * " item per "- " item of the release.
# The entry is dated noon UTC of that day, or the time a heading gives as
# "## VERSION (YYYY-MM-DD HH:MM)", which a second release on one day needs:
# each changelog entry must be newer than the one before.
# With OUTPUT it writes the changelog there; with CHECK it fails unless the
# file CHECK (debian/changelog) holds exactly that changelog.
#   cmake -DNEWS=NEWS.md -DOUTPUT=changelog|-DCHECK=debian/changelog
#         -DPACKAGE=name -DMAINTAINER="Name <mail>" -DVERSION=x.y.z
#         -P news-to-changelog.cmake
# Fails unless the newest release is VERSION.
foreach(variable IN ITEMS NEWS PACKAGE MAINTAINER VERSION)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "news-to-changelog: ${variable} is not set")
    endif()
endforeach()
if(NOT DEFINED OUTPUT AND NOT DEFINED CHECK)
    message(FATAL_ERROR "news-to-changelog: set OUTPUT or CHECK")
endif()

file(READ "${NEWS}" news)
# Keep semicolons out of the way of CMake's lists while splitting into lines.
string(REPLACE ";" "<semicolon>" news "${news}")
string(REPLACE "\n" ";" lines "${news}")

set(changelog "")
set(entryVersion "")
set(entryItems "")

# Appends the entry collected so far to the changelog.
macro(finishEntry)
    if(entryVersion)
        if(NOT entryItems)
            message(FATAL_ERROR "${NEWS}: release ${entryVersion} lists no changes")
        endif()
        execute_process(COMMAND date -R -u -d "${entryDate} ${entryClock} UTC"
            OUTPUT_VARIABLE entryTime OUTPUT_STRIP_TRAILING_WHITESPACE
            COMMAND_ERROR_IS_FATAL ANY)
        string(APPEND changelog
            "${PACKAGE} (${entryVersion}) unstable; urgency=medium\n\n"
            "${entryItems}\n -- ${MAINTAINER}  ${entryTime}\n")
    endif()
endmacro()

set(inRelease FALSE)
foreach(line IN LISTS lines)
    if(line MATCHES "^## ([^ ]+) \\(([0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9])( ([0-2][0-9]:[0-5][0-9]))?\\)$")
        finishEntry()
        if(changelog)
            string(APPEND changelog "\n")
        elseif(NOT CMAKE_MATCH_1 STREQUAL VERSION)
            message(FATAL_ERROR "${NEWS}: the newest release is ${CMAKE_MATCH_1}, not ${VERSION}")
        endif()
        set(entryVersion "${CMAKE_MATCH_1}")
        set(entryDate "${CMAKE_MATCH_2}")
        set(entryClock "12:00")
        if(CMAKE_MATCH_4)
            set(entryClock "${CMAKE_MATCH_4}")
        endif()
        set(entryItems "")
        set(inRelease TRUE)
    elseif(line MATCHES "^#")
        set(inRelease FALSE)
    elseif(inRelease AND line MATCHES "^- (.+)$")
        string(APPEND entryItems "  * ${CMAKE_MATCH_1}\n")
    elseif(inRelease AND line MATCHES "^  ([^ ].*)$")
        string(APPEND entryItems "    ${CMAKE_MATCH_1}\n")
    elseif(inRelease AND NOT line STREQUAL "")
        message(FATAL_ERROR "${NEWS}: a release lists \"- \" items only, not: ${line}")
    endif()
endforeach()
finishEntry()
if(NOT changelog)
    message(FATAL_ERROR "${NEWS}: no release heading \"## VERSION (YYYY-MM-DD)\"")
endif()

string(REPLACE "<semicolon>" ";" changelog "${changelog}")
if(DEFINED CHECK)
    file(READ "${CHECK}" checked)
    if(NOT checked STREQUAL changelog)
        message(FATAL_ERROR "${CHECK} does not name the releases of ${NEWS}; "
            "remake it with -DOUTPUT=${CHECK}:\n${changelog}")
    endif()
else()
    file(WRITE "${OUTPUT}" "${changelog}")
endif()
