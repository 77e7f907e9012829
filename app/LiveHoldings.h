#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "quotes/HoldingsFile.h"

namespace vemo {

// The holdings the refresh thread renders with and the names of the last quotes, for the
// holdings page. The interface thread (re)reads the file; the refresh thread takes the current
// holdings whole, so neither ever sees a half-read table.
class LiveHoldings {
  public:
    explicit LiveHoldings(std::filesystem::path file) : file_(std::move(file)) {}

    const std::filesystem::path& File() const { return file_; }

    // (Re)reads the file. Returns a line for each bad value (and for an unreadable file) not
    // reported before, so that each is named once however often the file is read.
    std::vector<std::string> Load();
    // The holdings last read (never null); their Shown() is what the page shows.
    std::shared_ptr<const LoadedHoldings> Current() const;

    void NoteNames(std::map<std::string, std::string> names);
    // Code to UTF-8 name of the last quotes shown.
    std::map<std::string, std::string> Names() const;

  private:
    std::filesystem::path file_;
    mutable std::mutex mutex_;
    std::shared_ptr<const LoadedHoldings> current_ = std::make_shared<LoadedHoldings>();
    std::map<std::string, std::string> names_;
    std::set<std::string> reported_;
};

}  // namespace vemo
