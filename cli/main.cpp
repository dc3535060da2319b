// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "application.h"

#include <string_view>
#include <vector>

int main(int argc, char* argv[])
{
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    return kelvane::cli::Application().run(arguments);
}
