#pragma once

// The JSON form of diagnostics.json: an object with "entries", "apps" and "events" (each may be
// missing and then counts as empty), or, from older versions, a bare array of entries. Keys are the
// field names, sorted, with no extra white space; dates are ISO 8601 text in UTC with whole seconds;
// reasons are their raw values. Every field is required except an event's "ms" and "stages".

#include "Shared/Diagnostics/DiagnosticLog.h"

#include <QByteArray>

#include <map>
#include <optional>
#include <vector>

namespace Lumivox::DiagnosticLogFile {

struct Contents
{
    std::vector<DiagnosticLog::Entry> entries;
    std::map<QString, AppTally> apps;
    std::vector<DiagnosticEvent> events;
};

QByteArray encode(const Contents &contents);

/// The stored object, else the older bare array of entries, else none. Never throws.
std::optional<Contents> decode(const QByteArray &data);

/// "2026-01-31T08:15:00Z"
QString isoDate(const QDateTime &date);

} // namespace Lumivox::DiagnosticLogFile
