// The frames of a child's reports, and what the parent makes of them.
#include "devcore/child_reports.h"

#include <charconv>
#include <mutex>

#include "devcore/test_core.h"
#include "platform/system_process.h"

namespace Zarvo::DevCore {

bool SendFrame(intptr_t channel, std::string_view kind, std::string_view payload) {
    // Never destroyed: a thread may still report while the process ends.
    static std::mutex& writing = *new std::mutex;
    std::string frame(kind);
    frame += ' ';
    frame += std::to_string(payload.size());
    frame += '\n';
    frame += payload;
    std::lock_guard lock(writing);
    return Platform::WriteReport(channel, frame);
}

std::string OneLine(std::string_view text) {
    std::string line(text);
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    return line;
}

bool TakeFrame(std::string& buffer, std::string& kind, std::string& payload) {
    const size_t space = buffer.find(' ');
    const size_t newline = buffer.find('\n');
    if (space == std::string::npos || newline == std::string::npos || newline < space) return false;
    size_t length = 0;
    const auto [end, failed] = std::from_chars(buffer.data() + space + 1, buffer.data() + newline, length);
    if (failed != std::errc() || end != buffer.data() + newline) {
        buffer.clear();  // not a frame of the child's: nothing after it can be trusted either
        return false;
    }
    if (buffer.size() < newline + 1 + length) return false;
    kind = buffer.substr(0, space);
    payload = buffer.substr(newline + 1, length);
    buffer.erase(0, newline + 1 + length);
    return true;
}

std::string ActivityPayload(const PluginActivity* activity) {
    std::string told;
    if (activity) {
        told = std::string(activity->reading ? "1" : "0") + "\n" + OneLine(activity->plugin) + "\n" +
               OneLine(activity->what);
        if (activity->reading && activity->within)
            told += "\n" + OneLine(activity->within->plugin) + "\n" + OneLine(activity->within->what);
    }
    return told;
}

void HearActivity(HeardActivity& heard, const std::string& payload) {
    heard = HeardActivity();
    const size_t first = payload.find('\n'), second = payload.find('\n', first + 1);
    if (payload.empty() || second == std::string::npos) return;
    heard.running = payload[0] == '0';
    heard.plugin = payload.substr(first + 1, second - first - 1);
    const size_t third = payload.find('\n', second + 1);
    heard.what = payload.substr(second + 1, third == std::string::npos ? third : third - second - 1);
    const size_t fourth = third == std::string::npos ? third : payload.find('\n', third + 1);
    if (fourth == std::string::npos) return;
    heard.withinPlugin = payload.substr(third + 1, fourth - third - 1);
    heard.withinWhat = payload.substr(fourth + 1);
}

std::string CrashSentence(const HeardActivity& heard, const std::string& signal) {
    if (heard.plugin.empty()) return "the core crashed with " + signal + " outside any plugin's code";
    if (heard.running) return heard.plugin + " crashed with " + signal + " in " + heard.what;
    return heard.plugin + " handed the core storage it cannot read (" + signal + " while reading " + heard.what + ")";
}

}  // namespace Zarvo::DevCore
