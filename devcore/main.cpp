// The development core as a program: plays scenario files around plugin libraries.
#include <charconv>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "devcore/scenario_player.h"
#include "devcore/scenario_reader.h"
#include "devcore/serve.h"

namespace {

using namespace Zarvo::DevCore;

constexpr const char* kSynopsis =
    "usage: devcore run SCENARIO... [--plugin PATH]... [-v]\n"
    "       devcore serve --port N [--plugin PATH]... [-v]\n";

constexpr const char* kCommands =
    "\n"
    "run    plays each scenario file with a fresh core around the plugin libraries (those the scenario names\n"
    "       under plugins: and those given with --plugin) and prints PASS or FAIL for it; a failed expectation\n"
    "       is shown as expected against got. -v tells the story: every step, request, event and log line.\n"
    "serve  serves the plugins' routes over HTTP on 127.0.0.1:N and the events they send at /events; on any\n"
    "       other path the core's store plays the other plugins: PUT stores a resource (Create, then Update),\n"
    "       POST stores it with a Create, DELETE removes it, GET reads it. -v tells the story. Ctrl-C stops it.\n"
    "Exit status: 0 when everything passed, 1 when a scenario failed, 2 for a wrong command line.\n";

int UsageError(const std::string& message) {
    std::cerr << "devcore: " << message << "\n" << kSynopsis << "devcore --help tells more.\n";
    return 2;
}

// The options both commands take: `--plugin PATH` (or `--plugin=PATH`) and `-v`/`--verbose`. Takes the one at
// arguments[i], moving i past its value; false when the argument is none of them. `error` tells a missing value.
bool TakeSharedOption(const std::vector<std::string_view>& arguments, size_t& i, std::vector<std::string>& plugins,
                      bool& verbose, std::string& error) {
    const std::string_view argument = arguments[i];
    if (argument == "--plugin") {
        if (++i == arguments.size()) error = "--plugin needs a library path";
        else plugins.emplace_back(arguments[i]);
    } else if (argument.starts_with("--plugin=")) {
        plugins.emplace_back(argument.substr(9));
    } else if (argument == "-v" || argument == "--verbose") {
        verbose = true;
    } else {
        return false;
    }
    return true;
}

int Run(const std::vector<std::string_view>& arguments) {
    std::vector<std::string> files;
    PlayOptions options;
    bool verbose = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        std::string error;
        if (TakeSharedOption(arguments, i, options.plugins, verbose, error)) {
            if (!error.empty()) return UsageError(error);
        } else if (argument.starts_with("-")) {
            return UsageError("unknown option " + std::string(argument));
        } else {
            files.emplace_back(argument);
        }
    }
    if (files.empty()) return UsageError("run needs at least one scenario file");
    if (verbose) options.story = [](std::string_view line) { std::cout << line << "\n"; };

    size_t failed = 0;
    for (const std::string& file : files) {
        Scenario scenario;
        std::string error;
        const bool read = ReadScenario(file, scenario, error);
        if (!read) std::cout << error << "\n";
        const bool passed = read && PlayScenario(scenario, options, std::cout);
        if (options.story) std::cout << "\n";
        std::cout << (passed ? "PASS " : "FAIL ") << file;
        if (passed) std::cout << " (" << scenario.steps.size() << (scenario.steps.size() == 1 ? " step)" : " steps)");
        std::cout << std::endl;
        failed += passed ? 0 : 1;
    }
    if (files.size() > 1)
        std::cout << files.size() - failed << " of " << files.size() << " scenarios passed" << std::endl;
    return failed == 0 ? 0 : 1;
}

int ServeCommand(const std::vector<std::string_view>& arguments) {
    ServeOptions options;
    bool hasPort = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        std::string error;
        if (TakeSharedOption(arguments, i, options.plugins, options.verbose, error)) {
            if (!error.empty()) return UsageError(error);
        } else if (argument == "--port") {
            if (++i == arguments.size()) return UsageError("--port needs a number");
            const std::string_view text = arguments[i];
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), options.port);
            if (error != std::errc() || end != text.data() + text.size() || options.port < 0 || options.port > 65535)
                return UsageError("--port needs a number from 0 to 65535, not " + std::string(text));
            hasPort = true;
        } else {
            return UsageError("unknown argument " + std::string(argument));
        }
    }
    if (!hasPort) return UsageError("serve needs --port N (0 picks a free port)");
    return Serve(options);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    if (arguments.empty()) return UsageError("no command");
    const std::string_view command = arguments[0];
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kSynopsis << kCommands;
        return 0;
    }
    if (command == "run") return Run({arguments.begin() + 1, arguments.end()});

    if (command == "serve") return ServeCommand({arguments.begin() + 1, arguments.end()});

    return UsageError("unknown command " + std::string(command));
}
