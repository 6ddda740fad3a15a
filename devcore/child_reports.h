// The reports a child process of devcore sends its parent over the report pipe, as frames
// "<kind> <payload length>\n<payload>", and what the parent makes of the plugin activity they tell: the sentence
// that names a plugin that crashed during it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Zarvo::DevCore {

struct PluginActivity;

// The hidden option that makes `devcore run` or `devcore serve` a child: the number after it is the pipe it reports
// on.
inline constexpr const char* kReportOption = "--report-to";

// Writes one frame; false when the parent is gone. Frames from several threads stay whole.
bool SendFrame(intptr_t channel, std::string_view kind, std::string_view payload);
// Takes the first whole frame off the front of `buffer`; false when none is whole yet.
bool TakeFrame(std::string& buffer, std::string& kind, std::string& payload);
// The text with its line breaks made spaces, so that it fits a frame's field.
std::string OneLine(std::string_view text);

// An "activity" frame's payload: "" when the core runs no plugin's code, else "<0 or 1: reading>\n<plugin>\n<what>",
// and when the activity is a reading within a plugin's code, "\n<that plugin>\n<what it runs>".
std::string ActivityPayload(const PluginActivity* activity);

// What the parent knows of the child's activity from its last "activity" frame.
struct HeardActivity {
    bool running = false;  // a plugin's code, rather than the core reading what a plugin handed over
    std::string plugin;    // empty when the core is in none of the plugins' business
    std::string what;
    std::string withinPlugin;  // while reading: the plugin whose code is running around the reading, if any
    std::string withinWhat;
};
void HearActivity(HeardActivity& heard, const std::string& payload);

// "kiv-x crashed with SIGSEGV in its dispatch callback for GET /x": who ended the child by the signal, and how.
std::string CrashSentence(const HeardActivity& heard, const std::string& signal);

}  // namespace Zarvo::DevCore
