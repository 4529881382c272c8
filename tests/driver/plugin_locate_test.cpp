// Where the tool looks for the plug-in: the explicit path wins and is taken as given, then
// WUX_PLUGIN; with neither, and no library in the places beside this test program, the
// error lists the places tried and says how to name the library.
#include "driver/plugin_loader.h"

#include <cstdlib>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace wux {
namespace {

// Sets or clears WUX_PLUGIN for one case and puts the caller's value back.
class PluginVariable {
public:
    explicit PluginVariable(const char* value) {
        if (const char* old = std::getenv("WUX_PLUGIN")) old_ = old;
        if (value != nullptr) setenv("WUX_PLUGIN", value, 1);
        else unsetenv("WUX_PLUGIN");
    }
    ~PluginVariable() {
        if (old_) setenv("WUX_PLUGIN", old_->c_str(), 1);
        else unsetenv("WUX_PLUGIN");
    }

private:
    std::optional<std::string> old_;
};

TEST(LocatePlugin, ExplicitPathThenVariableThenAClearError) {
    struct Case {
        const char* explicitPath;
        const char* variable;  // null: unset
        const char* found;     // null: not found
    };
    for (const Case& c : {Case{"/nowhere/wux_plugin.so", "/else/p.so", "/nowhere/wux_plugin.so"},
                          Case{"", "/else/p.so", "/else/p.so"}, Case{"", "", nullptr}, Case{"", nullptr, nullptr}}) {
        const PluginVariable variable(c.variable);
        const ToolResult<std::string> located = LocatePlugin(c.explicitPath);
        ASSERT_EQ(located.Ok(), c.found != nullptr) << c.explicitPath << " " << (c.variable ? c.variable : "unset");
        if (located.Ok()) {
            EXPECT_EQ(*located, c.found);
            continue;
        }
        const ToolError& error = located.Error();
        EXPECT_EQ(error.kind, ToolError::Kind::PluginNotFound);
        const std::string text = error.Text();
        EXPECT_EQ(text.rfind("cannot find the plug-in library wux_plugin.so (looked at /", 0), 0u) << text;
        const std::string tail = "/wux_plugin.so); give its path with --plugin or the WUX_PLUGIN environment variable";
        ASSERT_GE(text.size(), tail.size()) << text;
        EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << text;
    }
}

}  // namespace
}  // namespace wux
