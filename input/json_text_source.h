// The bytes of a JSON text as the parser reads them, a chunk at a time from a string or a
// regular file, so a scene is never held whole. It notes where the last string and bracket
// began and where a NUL byte came, so that messages can name the byte.
#pragma once

#include <cstddef>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "format/mapped_file.h"
#include "input/scene_description.h"

namespace wux {

class JsonTextSource {
public:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    static constexpr std::size_t kChunkSize = std::size_t{1} << 20;

    // The text is not copied and must outlive the source.
    explicit JsonTextSource(const std::string& text);
    // An unopened source: Open reads a file.
    explicit JsonTextSource(std::size_t chunkSize = kChunkSize) : chunkSize_(chunkSize) {}
    ToolResult<void> Open(const std::string& path) { return file_.Open(path); }
    // Told the share of the file parsed as each chunk is read.
    void SetProgress(ReadProgress progress) { progress_ = std::move(progress); }

    // The input iterator the parser takes; all copies share the source's position.
    class Iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = char;
        using difference_type = std::ptrdiff_t;
        using pointer = const char*;
        using reference = const char&;

        explicit Iterator(JsonTextSource* source) : source_(source) {}
        reference operator*() const { return *source_->cur_; }
        Iterator& operator++() {
            source_->Advance();
            return *this;
        }
        friend bool operator==(const Iterator& a, const Iterator& b) { return a.AtEnd() == b.AtEnd(); }
        friend bool operator!=(const Iterator& a, const Iterator& b) { return !(a == b); }

    private:
        bool AtEnd() const { return source_ == nullptr || source_->AtEnd(); }
        JsonTextSource* source_;
    };

    Iterator begin() { return Iterator(this); }
    Iterator end() { return Iterator(nullptr); }

    std::size_t LastStringStart() const { return lastStringStart_; }
    std::size_t LastBracket() const { return lastBracket_; }
    std::size_t FirstNul() const { return firstNul_; }  // outside strings; the parser stops there
    const std::optional<ToolError>& ReadError() const { return readError_; }

private:
    bool AtEnd() {
        if (cur_ != end_) return false;
        return !Refill();
    }
    void Advance() {
        const char c = *cur_++;
        if (inString_) {
            if (escaped_) escaped_ = false;
            else if (c == '\\') escaped_ = true;
            else if (c == '"') inString_ = false;
        } else if (c == '"') {
            inString_ = true;
            lastStringStart_ = offset_;
        } else if (c == '{' || c == '[') {
            lastBracket_ = offset_;
        } else if (c == '\0' && firstNul_ == kNone) {
            firstNul_ = offset_;
        }
        ++offset_;
    }
    bool Refill();

    const char* cur_ = nullptr;
    const char* end_ = nullptr;
    std::size_t chunkSize_ = kChunkSize;
    InputFile file_;
    ReadProgress progress_;
    std::vector<char> buffer_;
    std::optional<ToolError> readError_;
    std::size_t offset_ = 0;
    std::size_t lastStringStart_ = kNone;
    std::size_t lastBracket_ = kNone;
    std::size_t firstNul_ = kNone;
    bool inString_ = false;
    bool escaped_ = false;
};

}  // namespace wux
