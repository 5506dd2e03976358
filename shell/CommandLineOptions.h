// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

#include <optional>

namespace CommandLineOptions {

// Answers a whole argument text of exactly "--help" (usage on standard
// output) or "--version", with no display needed, and gives the exit status;
// nothing for every other text, which is a message line.
std::optional<int> answer(const QStringList &arguments);

} // namespace CommandLineOptions
