#include "devcore/junit_report.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>

namespace Zarvo::DevCore {
namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the well-formed UTF-8 character at the start of the text, 0 when there is none.
size_t CharacterLength(std::string_view text) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    uint32_t code = 0;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2, code = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, code = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, code = lead & 0x07;
    else return 0;
    if (text.size() < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code = code << 6 | (byte(i) & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return overlong || surrogate || code > 0x10FFFF || code == 0xFFFE || code == 0xFFFF ? 0 : length;
}

// The text as XML character data or attribute value: markup escaped, bytes that are not well-formed UTF-8 and the
// control characters that XML cannot hold replaced with U+FFFD.
std::string Escaped(std::string_view text) {
    std::string escaped;
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        const size_t length = CharacterLength(text.substr(i));
        if (length == 0 || (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')) {
            escaped += kReplacement;
            i += length == 0 ? 1 : length;
            continue;
        }
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            default: escaped.append(text.substr(i, length));
        }
        i += length;
    }
    return escaped;
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

}  // namespace

std::string JUnitXml(const std::vector<ScenarioCase>& cases, double seconds) {
    size_t tests = 0, failures = 0, errors = 0;
    std::string body;
    for (const ScenarioCase& c : cases) {
        if (c.run.outcome == ScenarioRun::Outcome::Deselected) continue;
        ++tests;
        const std::filesystem::path path(c.file);
        const std::string folder = path.parent_path().string();
        body += "    <testcase name=\"" + Escaped(path.filename().string()) + "\" classname=\"" +
                Escaped(folder.empty() ? "." : folder) + "\" file=\"" + Escaped(c.file) + "\" time=\"" +
                Seconds(c.seconds) + "\"";
        const char* element = nullptr;
        if (c.run.outcome == ScenarioRun::Outcome::Failed) {
            element = "failure";
            ++failures;
        } else if (c.run.outcome == ScenarioRun::Outcome::Error) {
            element = "error";
            ++errors;
        }
        if (!element) {
            body += "/>\n";
            continue;
        }
        body += ">\n      <" + std::string(element) + " message=\"" + Escaped(FirstLine(c.run.report)) + "\">" +
                Escaped(c.run.report) + "</" + element + ">\n    </testcase>\n";
    }
    const std::string counts = "tests=\"" + std::to_string(tests) + "\" failures=\"" + std::to_string(failures) +
                               "\" errors=\"" + std::to_string(errors) + "\" skipped=\"0\" time=\"" +
                               Seconds(seconds) + "\"";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"devcore run\" " + counts +
           ">\n  <testsuite name=\"devcore run\" " + counts + ">\n" + body + "  </testsuite>\n</testsuites>\n";
}

}  // namespace Zarvo::DevCore
