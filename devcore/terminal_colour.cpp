#include "devcore/terminal_colour.h"

#include <cstdlib>

#include "platform/system.h"

namespace Zarvo::DevCore {

bool UseColour(ColourChoice choice) {
    if (choice != ColourChoice::Auto) return choice == ColourChoice::Always;
    const char* const noColour = std::getenv("NO_COLOR");
    const char* const terminal = std::getenv("TERM");
    if ((noColour && *noColour) || (terminal && std::string_view(terminal) == "dumb")) return false;
    return Platform::StandardOutputTakesColour();
}

std::string Coloured(std::string_view text, Colour colour, bool on) {
    if (!on) return std::string(text);
    const char* code = "";
    switch (colour) {
        case Colour::Bold: code = "\x1b[1m"; break;
        case Colour::Red: code = "\x1b[31m"; break;
        case Colour::Green: code = "\x1b[32m"; break;
        case Colour::BoldRed: code = "\x1b[1;31m"; break;
    }
    return code + std::string(text) + "\x1b[0m";
}

}  // namespace Zarvo::DevCore
