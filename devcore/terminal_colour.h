// Colour on the output, for a reader at a terminal: when to use it, and the ANSI codes that make it.
#pragma once

#include <string>
#include <string_view>

namespace Zarvo::DevCore {

enum class ColourChoice { Auto, Always, Never };

// Auto colours only a terminal, and not when the NO_COLOR variable is set to a text or TERM is "dumb".
bool UseColour(ColourChoice choice);

enum class Colour { Bold, Red, Green, BoldRed };

// The text between the codes that colour it and reset the colour after it; as it is when `on` is false.
std::string Coloured(std::string_view text, Colour colour, bool on);

}  // namespace Zarvo::DevCore
