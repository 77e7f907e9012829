#include "app/LiveHoldings.h"

namespace vemo {

std::vector<std::string> LiveHoldings::Load() {
    auto loaded = std::make_shared<LoadedHoldings>(LoadHoldings(PerCodeFile(file_)));
    std::vector<std::string> lines;
    if (!loaded->readable) {
        lines.push_back(file_.string() + ": 无法读取");
    }
    for (const HoldingProblem& problem : loaded->problems) {
        lines.push_back(DescribeHoldingProblem(file_, problem));
    }
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> fresh;
    for (std::string& line : lines) {
        if (reported_.insert(line).second) {
            fresh.push_back(std::move(line));
        }
    }
    current_ = std::move(loaded);
    return fresh;
}

std::shared_ptr<const LoadedHoldings> LiveHoldings::Current() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return current_;
}

void LiveHoldings::NoteNames(std::map<std::string, std::string> names) {
    std::lock_guard<std::mutex> lock(mutex_);
    names_ = std::move(names);
}

std::map<std::string, std::string> LiveHoldings::Names() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return names_;
}

}  // namespace vemo
