// Warnings of one tool run, kept apart from errors and deduplicated: the same kind of
// warning is reported once with a count and a few examples, not once per occurrence.
#pragma once

#include <algorithm>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace wux {

// How every example names its node, material or file: in double quotes.
inline std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// "1 line", "12 lines": for nouns whose plural takes an s.
inline std::string CountOf(std::size_t n, const std::string& noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

class Warnings {
public:
    struct Entry {
        std::string kind;                   // e.g. "primitives skipped"
        std::size_t count = 0;
        std::vector<std::string> examples;  // the first few distinct details, e.g. node names
        bool moreExamples = false;          // details beyond those kept
    };

    static constexpr std::size_t kMaxExamples = 3;

    // `count` cases of one kind that `detail` describes together, e.g. 12 line segments of one
    // mesh: "\"Rail\": 12 lines".
    void Add(const std::string& kind, const std::string& detail = std::string(), std::size_t count = 1) {
        auto [it, inserted] = index_.try_emplace(kind, entries_.size());
        if (inserted) entries_.push_back(Entry{kind, 0, {}, false});
        Entry& e = entries_[it->second];
        e.count += count;
        if (detail.empty() || std::find(e.examples.begin(), e.examples.end(), detail) != e.examples.end()) return;
        if (e.examples.size() < kMaxExamples) e.examples.push_back(detail);
        else e.moreExamples = true;
    }

    // In the order each kind was first met.
    const std::vector<Entry>& Entries() const { return entries_; }
    bool Empty() const { return entries_.empty(); }

private:
    std::vector<Entry> entries_;
    std::map<std::string, std::size_t> index_;
};

}  // namespace wux
