// The tool side's one way to fail: an error with a kind, a place and a message, and a result
// that holds either a value or that error. The reader, the scene readers, the plug-in loader
// and the commands all speak it; it lives in the format library because that is the one
// library every part of the tool links, and it depends on nothing else.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "format/tool_text.h"

namespace wux {

struct ToolError {
    enum class Kind {
        Input,               // an input file cannot be found, opened or read
        Output,              // an output cannot be written: its folder, permission, space, the rename
        Truncated,           // WUX: a field or chunk runs past the end of the file or of its chunk
        BadTag,              // WUX: a tag is not the one this place holds
        BadSize,             // WUX: a block_size too small to hold its own head
        BadCount,            // WUX: a count claims more entries than the bytes left can hold
        Syntax,              // scene input: not well-formed JSON, or nested too deeply
        Schema,              // scene input: well-formed, but not a scene (unknown key, wrong type, ...)
        Import,              // scene input: Assimp cannot read the file or it holds what cannot be repaired
        Scene,               // the scene holds something the host cannot
        PluginNotFound,      // no plug-in library at the path
        PluginLoadFailed,    // the library cannot be loaded
        PluginMissingEntry,  // one of the four exported functions is missing
        PluginMismatch,      // wrong class count, version, descriptor or super class
        PluginFailed,        // the plug-in made no exporter, threw, or wrote no file
        Invalid,             // a written file breaks the format (found by the checker)
        Limit,               // out of memory, a time limit or a documented budget exceeded
        Argument,            // a command-line word is not one its option takes, or outputs that clash
    };

    Kind kind = Kind::Input;
    std::string file;                   // the file concerned; empty for bytes without a file
    std::string place;                  // within it: a JSON path, "byte 12", a node
    std::optional<std::size_t> offset;  // where in a WUX file's bytes the fault lies
    std::string message;                // the cause

    // An error with no place within the file (file may be empty, when the message names it).
    static ToolError Of(Kind kind, std::string file, std::string message) {
        return ToolError{kind, std::move(file), "", std::nullopt, std::move(message)};
    }

    // "file: place: offset N: message", leaving out the parts that are empty; the file as
    // QuotedPath() gives it.
    std::string Text() const {
        std::string out;
        for (const std::string& part :
             {file.empty() ? file : QuotedPath(file), place, offset ? "offset " + std::to_string(*offset) : std::string()}) {
            if (!part.empty()) out += part + ": ";
        }
        return out + message;
    }
};

// For code that fails by throwing to one place that prints the error (a command's body).
[[noreturn]] inline void ThrowToolError(ToolError::Kind kind, std::string file, std::string message) {
    throw ToolError::Of(kind, std::move(file), std::move(message));
}

// A value, or the error that kept it from being made; * and -> reach the value only when Ok().
template <typename T>
class [[nodiscard]] ToolResult : public std::optional<T> {
public:
    ToolResult(T value) : std::optional<T>(std::move(value)) {}
    ToolResult(ToolError error) : error_(std::move(error)) {}

    bool Ok() const { return this->has_value(); }
    const ToolError& Error() const { return error_; }

private:
    ToolError error_;
};

// Success without a value, or the error.
template <>
class [[nodiscard]] ToolResult<void> : public ToolResult<std::monostate> {
public:
    using ToolResult<std::monostate>::ToolResult;
    ToolResult() : ToolResult<std::monostate>(std::monostate{}) {}
};

}  // namespace wux
