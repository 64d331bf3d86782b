#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/Journal.h"

namespace vigiltron {

// Keeps every journal line, for tests that look at what the headless program would print.
class RecordingJournal : public Journal {
public:
    void Record(const std::string& category, const std::string& text) override {
        lines.emplace_back(category, text);
    }
    // Whether some line of `category` contains `text`.
    bool Has(const std::string& category, const std::string& text) const {
        for (const auto& [c, t] : lines) {
            if (c == category && t.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
    std::vector<std::pair<std::string, std::string>> lines;
};

}  // namespace vigiltron
