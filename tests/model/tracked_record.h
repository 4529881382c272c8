#pragma once

#include <string>
#include <utility>
#include <vector>

#include "model/export_model.h"

// A record that notes its own destruction in a shared log, so tests can see
// that a list destroys each record as its own type, and in which order.
struct TrackedRecord : ModelRecord {
    TrackedRecord(std::string label, std::vector<std::string>* log) : label(std::move(label)), log(log) {}
    ~TrackedRecord() override {
        if (log != nullptr) log->push_back(label);
    }
    std::string label;
    std::vector<std::string>* log;
};
