# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later

# Defines kelvane_options, the compiler and linker options of every target of
# this project: each target links it. Both the native build and the page's
# (web/, built with emscripten) include this module.
#
# The warnings are those every target is held to. The hardening flags, for
# native code only, are what dpkg-buildflags gives with
# DEB_BUILD_MAINT_OPTIONS=hardening=+all (PIE, strong stack protector,
# fortified functions, full RELRO with immediate binding), plus stack clash
# protection and, on x86, control-flow protection (CET).
include_guard(GLOBAL)

# The sanitizer and fuzz presets turn this off: _FORTIFY_SOURCE would catch
# some overflows before AddressSanitizer can report them with a stack trace.
# WebAssembly has no use for these flags.
if(EMSCRIPTEN)
    set(KELVANE_HARDENING OFF)
else()
    option(KELVANE_HARDENING "Build with the hardening flags of Debian packages" ON)
endif()

add_library(kelvane_options INTERFACE)
target_compile_features(kelvane_options INTERFACE cxx_std_20)
target_compile_options(kelvane_options INTERFACE
    $<$<CXX_COMPILER_ID:GNU,Clang>:-Wall -Wextra -Wpedantic -Wconversion>)
if(NOT EMSCRIPTEN)
    target_compile_options(kelvane_options INTERFACE
        $<$<CXX_COMPILER_ID:GNU,Clang>:-Wformat -Werror=format-security>)
endif()
if(KELVANE_HARDENING)
    include(CheckPIESupported)
    check_pie_supported()
    set_target_properties(kelvane_options PROPERTIES INTERFACE_POSITION_INDEPENDENT_CODE ON)
    target_compile_definitions(kelvane_options INTERFACE
        $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
    target_compile_options(kelvane_options INTERFACE
        $<$<CXX_COMPILER_ID:GNU,Clang>:-fstack-protector-strong -fstack-clash-protection>)
    if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i.86)$")
        target_compile_options(kelvane_options INTERFACE
            $<$<CXX_COMPILER_ID:GNU,Clang>:-fcf-protection>)
    endif()
    target_link_options(kelvane_options INTERFACE
        $<$<CXX_COMPILER_ID:GNU,Clang>:LINKER:-z,relro LINKER:-z,now>)
endif()
