#pragma once

// Logging of the host's core platform library. Messages go to one process-wide sink, by default
// a line on stderr; a host or a test installs its own sink to see them. Not thread-safe: the sink
// is set and called on the host's threads without a lock.

#include <kescoreplatform/Export.h>

#include <functional>
#include <string>

namespace KLog {

enum class Severity { Trace = 0, Debug = 1, Info = 2, Warning = 3, Error = 4, Fatal = 5 };

/// @brief A log severity below Error, the only kind LogMessage accepts.
///
/// Built from a KLog::Severity; KLog::Info is the one the library uses.
class KESCOREPLATFORM_API NonErrorSeverity {
public:
    explicit NonErrorSeverity(Severity severity);
    Severity GetSeverity() const;

private:
    Severity severity;
};

KESCOREPLATFORM_API extern const NonErrorSeverity Info;

using LogSink = std::function<void(Severity, const std::wstring& message)>;

/// Installs `sink` and returns the one it replaces; an empty sink restores the default, which
/// writes one line to stderr.
KESCOREPLATFORM_API LogSink SetLogSink(LogSink sink);

} // namespace KLog

/// @brief The text of one log message, as LogMessage takes it.
///
/// Holds a copy of the wide text it is made from.
class KESCOREPLATFORM_API KFormatString {
public:
    KFormatString(const wchar_t* text);
    const std::wstring& GetText() const;

private:
    std::wstring text;
};

/// Hands the message to the current sink. Never throws: a sink that throws is ignored.
KESCOREPLATFORM_API void LogMessage(KLog::NonErrorSeverity severity, const KFormatString& message);
