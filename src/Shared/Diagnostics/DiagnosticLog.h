#pragma once

// The diagnostic log: the record of why each hover did or did not end in a tooltip.
// (The text functions below have no state; every writer of diagnostic detail uses them.)

#include <QString>

namespace Lumivox {

/// A platform error reduced to what the diagnostics keep of it: a domain and an integer code.
struct ErrorInfo
{
    QString domain;
    long long code = 0;
};

class DiagnosticLog
{
public:
    /// Keeps letters, marks and digits of any script and the characters " ._-:/→"; at most 80
    /// user-perceived characters, cut after filtering.
    static QString sanitize(const QString &text);
    /// sanitize("<domain> <code>").
    static QString errorDetail(const ErrorInfo &error);
};

} // namespace Lumivox
