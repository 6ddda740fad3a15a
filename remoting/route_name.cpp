#include "remoting/route_name.h"

namespace Zarvo {
namespace {

char ToUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char ToLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string RouteFunctionName(std::string_view methodName, std::string_view path) {
    // The method name capitalised, then the path, joined by a "/".
    std::string text;
    text.reserve(methodName.size() + 1 + path.size());
    for (char c : methodName) text += text.empty() ? c : ToLower(c);
    text += '/';
    text += path;

    std::string name;
    bool capitalise = true;
    for (char c : text) {
        switch (c) {
            case '!':
            case '+':
            case '-':
            case '.':
            case '/':
            case '_':
                capitalise = true;
                break;
            case '{':
                name += "By";
                capitalise = true;
                break;
            case '}':
                break;
            default:
                name += capitalise ? ToUpper(c) : c;
                capitalise = false;
        }
    }
    return name;
}

}  // namespace Zarvo
