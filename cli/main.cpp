// The wux command: inspects, checks and writes WUX model files.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <new>
#include <numeric>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/command.h"
#include "cli/exit_codes.h"

namespace {

std::terminate_handler previousHandler = nullptr;

// An allocation that fails where no handler can catch it (while the stack unwinds, in a
// destructor or a noexcept function) ends the tool with "out of memory", not an abort.
[[noreturn]] void OnTerminate() {
    if (const std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::bad_alloc&) {
            // No allocation here: write(2) straight to the descriptor.
            static const char message[] = "wux: out of memory\n";
            const ssize_t ignored = write(STDERR_FILENO, message, sizeof message - 1);
            (void)ignored;
            _exit(wux::kExitFailed);
        } catch (...) {
        }
    }
    if (previousHandler != nullptr) previousHandler();
    std::abort();
}

constexpr const char* kExitCodeTable =
    "Exit codes, the same for every command:\n"
    "  0    success: written; valid (check); equal (diff)\n"
    "  1    a negative answer: invalid (check), different (diff), a batch with inputs that failed\n"
    "  2    an input cannot be read: missing, not a regular file, not a readable WUX file, a scene refused\n"
    "  3    an output cannot be written: no folder, no permission, disk full, the rename failed\n"
    "  4    the work failed after the inputs were read: the plug-in, the importer crashed or timed out, "
    "out of memory\n"
    "  64   usage: an unknown command or option, a bad value, a clashing or mistyped output\n"
    "  130  interrupted (SIGINT), 143 terminated (SIGTERM); nothing is kept";

std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    std::iota(row.begin(), row.end(), std::size_t{0});
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// "; did you mean 'export'?" for a word close to one of the names, or nothing.
std::string Suggestion(const std::string& word, const std::vector<std::string>& names) {
    std::string best;
    std::size_t bestDistance = std::max<std::size_t>(2, word.size() / 3) + 1;
    for (const std::string& name : names) {
        const std::size_t d = name.compare(0, word.size(), word) == 0 && word.size() > 2 ? 1 : EditDistance(word, name);
        if (d < bestDistance) bestDistance = d, best = name;
    }
    return best.empty() ? "" : "; did you mean '" + best + "'?";
}

// "no command 'exprt'; did you mean 'export'?", or nothing for one of the app's commands.
std::string UnknownCommand(const CLI::App& app, const std::string& word) {
    std::vector<std::string> names;
    for (const CLI::App* sub : app.get_subcommands({})) names.push_back(sub->get_name());
    if (std::find(names.begin(), names.end(), word) != names.end()) return "";
    return "no command '" + word + "'" + Suggestion(word, names);
}

// CLI11's message in the words of this tool: the option as the user typed it, range errors
// as words, a suggestion for a mistyped option.
std::string UsageText(const CLI::ParseError& e, const CLI::App* command, const std::vector<std::string>& args) {
    std::string text = e.what();
    const auto typed = [&](const std::string& word) { return std::find(args.begin(), args.end(), word) != args.end(); };
    if (text == "A subcommand is required") return "no command given; `wux help` lists them";
    if (text.compare(0, 19, "Could not convert: ") == 0) {
        const std::size_t eq = text.find(" = ");
        if (eq != std::string::npos)
            text = text.substr(19, eq - 19) + ": \"" + text.substr(eq + 3) + "\" is not a number";
    }
    text = wux::ReplaceAll(text, ": must be ", " must be ");
    if (command == nullptr) return text;
    std::vector<std::string> known;  // every name of the command's options
    for (const CLI::Option* option : command->get_options()) {
        for (const std::string& l : option->get_lnames()) known.push_back("--" + l);
        for (const std::string& s : option->get_snames()) known.push_back("-" + s);
        const std::string longName = option->get_lnames().empty() ? "" : "--" + option->get_lnames().front();
        if (longName.empty() || typed(longName)) continue;
        for (const std::string& s : option->get_snames())
            if (typed("-" + s)) text = wux::ReplaceAll(text, longName, "-" + s);
    }
    if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr) {
        for (const std::string& arg : args) {
            const std::string word = arg.substr(0, arg.find('='));
            if (word.size() > 1 && word[0] == '-' && std::find(known.begin(), known.end(), word) == known.end())
                return "unknown option '" + word + "'" + Suggestion(word, known);
        }
    }
    return text;
}

int UsageFailure(const CLI::App& app, const CLI::ParseError& e, const std::vector<std::string>& args) {
    const std::vector<CLI::App*> chosen = app.get_subcommands();
    const CLI::App* command = chosen.empty() ? nullptr : chosen.front();
    const std::string text = UsageText(e, command, args);
    const std::string prefix = command == nullptr ? "wux" : "wux " + command->get_name();
    std::cerr << prefix << ": " << text << "\n"
              << (command == nullptr ? std::string("Run 'wux help' for the commands.")
                                     : "Run 'wux help " + command->get_name() + "' for the options and examples.")
              << "\n";
    if (std::find(args.begin(), args.end(), "--json") != args.end())
        std::cout << wux::ErrorJson(wux::ToolError::Of(wux::ToolError::Kind::Argument, "", text)).dump(2) << "\n";
    return wux::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    previousHandler = std::set_terminate(OnTerminate);
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    try {
        CLI::App app{"Reads, checks and writes WUX model files.", "wux"};
        app.set_version_flag("--version", std::string("wux ") + WUX_VERSION);
        app.require_subcommand(1);
        app.footer(std::string("Run 'wux help COMMAND' for a command's options and examples.\n\n") + kExitCodeTable);
        wux::AddVerbosityFlags(&app);
        wux::AddInfoCommand(app);
        wux::AddCheckCommand(app);
        wux::AddExportCommand(app);
        wux::AddConvertCommand(app);
        wux::AddDiffCommand(app);
        wux::AddRenderCommand(app);
        wux::AddViewCommand(app);

        std::string topic;
        CLI::App* help = wux::AddCommand(app, "help", "Show the commands, or one command's options and examples",
                                         {"wux help", "wux help export"});
        help->add_option("command", topic, "the command to explain");
        wux::SetBody(help, [&app, &topic] {
            if (topic.empty()) {
                std::cout << app.get_formatter()->make_help(&app, "wux", CLI::AppFormatMode::Normal);
                return 0;
            }
            if (const std::string unknown = UnknownCommand(app, topic); !unknown.empty())
                throw wux::ToolError::Of(wux::ToolError::Kind::Argument, "", unknown);
            std::cout << app.get_subcommand(topic)->help("wux");
            return 0;
        });

        // A mistyped command would otherwise read as "no command given".
        const std::string first = args.empty() ? "" : args.front();
        const std::string unknown = first.empty() || first[0] == '-' ? "" : UnknownCommand(app, first);
        if (!unknown.empty()) {
            std::cerr << "wux: " << unknown << "\nRun 'wux help' for the commands.\n";
            return wux::kExitUsage;
        }
        try {
            app.parse(argc, argv);
        } catch (const CLI::RuntimeError& e) {
            return e.get_exit_code();  // a command's own failure, already reported
        } catch (const CLI::ParseError& e) {
            if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
            return UsageFailure(app, e, args);
        }
        return 0;
    } catch (const std::bad_alloc&) {
        std::cerr << "wux: out of memory\n";
        return wux::kExitFailed;
    } catch (const std::exception& e) {
        std::cerr << "wux: " << e.what() << "\n";
        return wux::kExitFailed;
    }
}
