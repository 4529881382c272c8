// Warnings of one tool run, kept apart from errors and deduplicated: the same kind of
// warning is reported once with a count and a few examples, not once per occurrence.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace wux {

class Warnings {
public:
    struct Entry {
        std::string kind;                   // e.g. "primitives skipped"
        std::size_t count = 0;
        std::vector<std::string> examples;  // the first few details, e.g. node names
    };

    static constexpr std::size_t kMaxExamples = 3;

    void Add(const std::string& kind, const std::string& detail = std::string()) {
        auto [it, inserted] = index_.try_emplace(kind, entries_.size());
        if (inserted) entries_.push_back(Entry{kind, 0, {}});
        Entry& e = entries_[it->second];
        ++e.count;
        if (!detail.empty() && e.examples.size() < kMaxExamples) e.examples.push_back(detail);
    }

    // In the order each kind was first met.
    const std::vector<Entry>& Entries() const { return entries_; }
    bool Empty() const { return entries_.empty(); }

private:
    std::vector<Entry> entries_;
    std::map<std::string, std::size_t> index_;
};

}  // namespace wux
