// The devcore program: its command line, read with CLI11, and the commands it starts.
#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdint>
#include <cmath>
#include <iostream>
#include <string>
#include <string_view>

#include "devcore/describe_command.h"
#include "devcore/input_files.h"
#include "devcore/isolated_run.h"
#include "devcore/plugin_process.h"
#include "devcore/run_command.h"
#include "devcore/serve.h"
#include "devcore/terminal_colour.h"

namespace {

using namespace Zarvo::DevCore;

constexpr int kWrongCommandLine = 2;

constexpr const char* kRunHelp =
    "Each scenario file is played with a fresh core around the plugin libraries: those the scenario names under\n"
    "plugins: (relative to the file) and those given with --plugin (relative to the current folder). A folder\n"
    "stands for its *.yaml and *.yml files, sorted by name. Every file gets a PASS, FAIL or ERROR line, an unmet\n"
    "expectation is shown where it is written with the values expected and got, a plugin's breach of the contract\n"
    "by a sentence that names the plugin, and a summary line ends the run. Each file is played in a process of its\n"
    "own: a plugin that crashes, aborts or takes longer than --step-timeout over one step fails its scenario, and\n"
    "the run goes on with the next file.\n"
    "\n"
    "--filter plays a file whose path contains the text whole, and of the other files the steps up to the last one\n"
    "whose note or title (\"request GET /kiv-...\") contains it; the files it leaves out are counted as deselected.\n"
    "\n"
    "Exit status: 0 when every scenario played passed, 1 when one failed or could not be played, 2 for a wrong\n"
    "command line, an input that cannot be read, a --junit file that cannot be written or a --filter that keeps\n"
    "nothing.";

constexpr const char* kDescribeHelp =
    "Each plugin is loaded as run loads it, and its routes are listed by path: the method, the path template and\n"
    "the result's type, then each argument with its type and where it may come from (the path, the query, a\n"
    "header or the body). The events the plugin registers follow, with their payload types.\n"
    "\n"
    "Exit status: 0 when every plugin loaded, 1 when one did not, 2 for a wrong command line or a plugin library\n"
    "that cannot be read.";

constexpr const char* kServeHelp =
    "The plugins' routes are served over HTTP on 127.0.0.1, and the events they send at /events. Their catalogue,\n"
    "as describe prints it, is printed at start and answered at / as JSON (text when the client's Accept prefers\n"
    "text/plain). On any other path the core's store plays the other plugins: PUT stores a resource (Create, then\n"
    "Update), POST stores it with a Create, DELETE removes it, GET reads it; values are JSON, YAML or MessagePack\n"
    "by Content-Type. A plugin that does not return within --call-timeout is set aside: its routes answer 503.\n"
    "Ctrl-C stops the server; a second Ctrl-C ends it at once.\n"
    "\n"
    "Exit status: 0 after Ctrl-C, 1 when a plugin does not load or the port cannot be used, 2 for a wrong\n"
    "command line or a plugin library that cannot be read.";

// An input that cannot be read: said on the error output, exit status 2.
int UnreadableInput(const std::string& message) {
    std::cerr << "devcore: " << message << "\n";
    return kWrongCommandLine;
}

// A command line fault: said on the error output with a pointer to the help, exit status 2.
int WrongCommandLine(const std::string& message, std::string_view command) {
    std::cerr << "devcore: " << message << "\n"
              << "Run 'devcore" << (command.empty() ? "" : " ") << command << " --help' for more information.\n";
    return kWrongCommandLine;
}

// A number of seconds within a day, from a millisecond (or 0 where zero is allowed: no limit). The bounds keep the
// time in the clocks' range, and CLI11's own message would print the largest double.
CLI::Validator Seconds(bool zeroAllowed) {
    return CLI::Validator(
        [zeroAllowed](const std::string& value) -> std::string {
            double seconds = 0;
            const bool number = CLI::detail::lexical_cast(value, seconds);
            if (number && ((zeroAllowed && seconds == 0) || (seconds >= 0.001 && seconds <= 86400))) return {};
            return std::string("it is a number of seconds from 0.001 to 86400") + (zeroAllowed ? ", or 0" : "") +
                   ", not " + value;
        },
        "");
}

void AddPluginOption(CLI::App& command, std::vector<std::string>& plugins) {
    command.add_option("--plugin", plugins, "a plugin library to load; may be given more than once")
        ->type_name("PATH")
        ->allow_extra_args(false);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app("devcore, the development core: loads plugin libraries as the client's core does.", "devcore");
    app.set_version_flag("--version", "devcore " DEVCORE_VERSION);
    app.footer("'devcore COMMAND --help' tells more about each command.");
    app.require_subcommand(1);
    // Options are --long or -s on every system: "/tmp/story.yaml" is a path, also on Windows.
    app.allow_windows_style_options(false);

    RunOptions run;
    std::vector<std::string> scenarioPaths;
    CLI::App* runCommand = app.add_subcommand("run", "play scenario files around plugin libraries");
    runCommand->footer(kRunHelp);
    runCommand->add_option("SCENARIO", scenarioPaths, "scenario files, or folders of them")
        ->type_name("PATH")
        ->required();
    AddPluginOption(*runCommand, run.plugins);
    runCommand
        ->add_option("-k,--filter", run.filters,
                     "play only what TEXT matches, in any case: files by path, steps by note or title; may be "
                     "given more than once")
        ->type_name("TEXT")
        ->allow_extra_args(false);
    runCommand
        ->add_option("--junit", run.junitFile, "write the results to FILE as JUnit XML too, one test case per file")
        ->type_name("FILE");
    runCommand->add_flag("-v,--verbose", run.verbose, "tell the story: every step, request, event and log line");
    std::string colour = "auto";
    runCommand
        ->add_option("--color", colour, "colour the results: auto (on a terminal, unless NO_COLOR is set), always "
                                        "or never")
        ->type_name("WHEN")
        ->check(CLI::Validator(
            [](const std::string& value) {
                return value == "auto" || value == "always" || value == "never"
                           ? std::string()
                           : "it is auto, always or never, not " + value;
            },
            ""));
    runCommand
        ->add_option("--step-timeout", run.stepTimeout, "seconds a step may take before its plugin counts as hung")
        ->type_name("SECONDS")
        ->check(Seconds(false))
        ->capture_default_str();
    // A child process that plays one file for its parent and reports on the pipe given (see isolated_run.h).
    intptr_t reportChannel = -1;
    runCommand->add_option(kReportOption, reportChannel)->group("");

    std::vector<std::string> described;
    bool describeAsJson = false;
    CLI::App* describeCommand =
        app.add_subcommand("describe", "list the routes and events of plugin libraries, from their API descriptions");
    describeCommand->footer(kDescribeHelp);
    describeCommand->add_option("PLUGIN", described, "plugin libraries")->type_name("PATH")->required();
    describeCommand->add_flag("--json", describeAsJson, "print a JSON list, one catalogue per plugin");

    ServeOptions serve;
    CLI::App* serveCommand = app.add_subcommand("serve", "serve the plugins' routes and a resource store over HTTP");
    serveCommand->footer(kServeHelp);
    serveCommand->add_option("--port", serve.port, "the port to listen on; 0 picks a free one")
        ->type_name("N")
        ->check(CLI::Range(0, 65535).description(""))
        ->required();
    AddPluginOption(*serveCommand, serve.plugins);
    serveCommand->add_flag("-v,--verbose", serve.verbose, "tell the story of every request on the output");
    const auto seconds = [](std::chrono::milliseconds time) { return static_cast<double>(time.count()) / 1000; };
    double callTimeout = seconds(serve.callTimeout);
    double requestTimeout = seconds(serve.limits.requestTimeout);
    double idleTimeout = seconds(serve.limits.idleTimeout);
    serveCommand
        ->add_option("--call-timeout", callTimeout, "seconds a plugin may take to return from a call; 0: no limit")
        ->type_name("SECONDS")
        ->check(Seconds(true))
        ->capture_default_str();
    serveCommand->add_option("--request-timeout", requestTimeout, "seconds a request may take to arrive")
        ->type_name("SECONDS")
        ->check(Seconds(false))
        ->capture_default_str();
    serveCommand->add_option("--idle-timeout", idleTimeout, "seconds a kept-alive connection may wait for a request")
        ->type_name("SECONDS")
        ->check(Seconds(false))
        ->capture_default_str();
    // A request record counts its body's bytes in 32 bits (and size_t may have no more).
    serveCommand->add_option("--max-body", serve.limits.bodyBytes, "bytes of a request's body")
        ->type_name("BYTES")
        ->check(CLI::Range(size_t{0}, size_t{UINT32_MAX}).description(""))
        ->capture_default_str();
    serveCommand->add_option("--max-connections", serve.limits.connections, "connections open at once")
        ->type_name("N")
        ->check(CLI::Range(1, 100000).description(""))
        ->capture_default_str();
    serveCommand->add_option("--max-event-readers", serve.limits.eventReaders, "readers of /events at once")
        ->type_name("N")
        ->check(CLI::Range(1, 100000).description(""))
        ->capture_default_str();
    // A child process that runs the plugins for its parent (see plugin_process.h).
    serveCommand->add_option(kReportOption, serve.reportChannel)->group("");
    serveCommand->add_option(kKeyOption, serve.parentKey)->group("");

    // CLI11 would take an unknown command for a stray argument; it is named as what it is.
    const auto isCommand = [&](const CLI::App* command) { return command->check_name(argv[1]); };
    if (argc > 1 && argv[1][0] != '-' && app.get_subcommands(isCommand).empty())
        return WrongCommandLine(
            "unknown command '" + std::string(argv[1]) + "'; the commands are run, describe and serve", "");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        const std::vector<CLI::App*> commands = app.get_subcommands();
        return WrongCommandLine(e.what(), commands.empty() ? "" : commands[0]->get_name());
    }

    std::string error;
    if (runCommand->parsed()) {
        if (!ListScenarioFiles(scenarioPaths, run.scenarios, error) || !CheckReadable(run.plugins, error))
            return UnreadableInput(error);
        // A report that cannot be written is told before anything runs.
        if (!run.junitFile.empty() && !WriteFile(run.junitFile, "", error)) return UnreadableInput(error);
        run.colour = UseColour(colour == "always" ? ColourChoice::Always
                                : colour == "never"  ? ColourChoice::Never
                                                     : ColourChoice::Auto);
        if (reportChannel >= 0) return RunAsChild(run, reportChannel, std::cout);
        return RunScenarios(run, std::cout);
    }
    if (describeCommand->parsed()) {
        if (!CheckReadable(described, error)) return UnreadableInput(error);
        return DescribePlugins(described, describeAsJson, std::cout);
    }
    if (!CheckReadable(serve.plugins, error)) return UnreadableInput(error);
    const auto milliseconds = [](double seconds) { return std::chrono::milliseconds(std::llround(seconds * 1000)); };
    serve.callTimeout = milliseconds(callTimeout);
    serve.limits.requestTimeout = milliseconds(requestTimeout);
    serve.limits.idleTimeout = milliseconds(idleTimeout);
    serve.isolatePlugins = serve.reportChannel < 0;
    return Serve(serve);
}
