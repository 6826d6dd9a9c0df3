#include <kescoreplatform/KLog.h>

#include <iostream>
#include <utility>

namespace KLog {
namespace {

const char* SeverityName(Severity severity) {
    switch (severity) {
    case Severity::Trace:
        return "trace";
    case Severity::Debug:
        return "debug";
    case Severity::Info:
        return "info";
    case Severity::Warning:
        return "warning";
    case Severity::Error:
        return "error";
    case Severity::Fatal:
        return "fatal";
    }
    return "unknown";
}

void WriteToStandardError(Severity severity, const std::wstring& message) {
    std::string narrow;
    narrow.reserve(message.size());
    for (wchar_t c : message) {
        narrow.push_back(c >= 0 && c < 0x80 ? static_cast<char>(c) : '?');
    }
    std::cerr << "[kesdatagraph " << SeverityName(severity) << "] " << narrow << '\n';
}

LogSink& CurrentSink() {
    static LogSink sink = WriteToStandardError;
    return sink;
}

} // namespace

NonErrorSeverity::NonErrorSeverity(Severity severity)
    : severity(severity) {}

Severity NonErrorSeverity::GetSeverity() const {
    return severity;
}

const NonErrorSeverity Info(Severity::Info);

LogSink SetLogSink(LogSink sink) {
    if (!sink) {
        sink = WriteToStandardError;
    }
    return std::exchange(CurrentSink(), std::move(sink));
}

} // namespace KLog

KFormatString::KFormatString(const wchar_t* text)
    : text(text != nullptr ? text : L"") {}

const std::wstring& KFormatString::GetText() const {
    return text;
}

void LogMessage(KLog::NonErrorSeverity severity, const KFormatString& message) {
    try {
        const KLog::LogSink& sink = KLog::CurrentSink();
        if (sink) {
            sink(severity.GetSeverity(), message.GetText());
        }
    } catch (...) { // logging must never disturb the caller
    }
}
