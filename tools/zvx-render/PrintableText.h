// Names and texts from a plug-in, made safe to print on a terminal.
#pragma once

#include <string>
#include <string_view>

namespace zvx::render {

// `text` with every byte that is not printable ASCII or part of a printable
// UTF-8 character written as \xHH, and a backslash as \\: a program name
// cannot move the cursor, recolour the terminal, reorder the line or hide
// what follows, and the same bytes always print the same way.
std::string printableText(std::string_view text);

}  // namespace zvx::render
