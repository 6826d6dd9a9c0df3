#pragma once

// Swaps the platform log sink for the life of the object and keeps every message logged.

#include <kescoreplatform/KLog.h>

#include <string>
#include <utility>
#include <vector>

namespace datagraph::test {

class LogCapture {
public:
    struct Entry {
        KLog::Severity severity;
        std::wstring message;
    };

    LogCapture()
        : previous(KLog::SetLogSink([this](KLog::Severity severity, const std::wstring& message) {
            entries.push_back({severity, message});
        })) {}

    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    ~LogCapture() { KLog::SetLogSink(std::move(previous)); }

    const std::vector<Entry>& Entries() const { return entries; }

private:
    std::vector<Entry> entries;
    KLog::LogSink previous;
};

} // namespace datagraph::test
