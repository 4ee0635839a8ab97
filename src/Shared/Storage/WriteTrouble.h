#pragma once

// A write of one of the user's files that failed, and the bookkeeping that tells the user of it once
// per cause: a store keeps what it could not write in memory and tries again, and the user hears of
// the failure when it starts or its cause changes (a full disk, then a folder made read-only), not at
// every try, and again only after a write of that file has worked in between.

#include "Shared/Storage/PrivateFile.h"

#include <QMetaType>
#include <QString>

#include <mutex>
#include <optional>

namespace Lumivox {

/// One of the user's files that a failed write is about.
enum class UserFile { preferences, savedWords, history };

struct WriteFailure
{
    UserFile file = UserFile::savedWords;
    QString path;
    PrivateFile::Outcome why;
};

/// The state of the writes of one file, shared by the thread that writes it and the one that tells.
class WriteTrouble
{
public:
    enum class Change {
        none,
        /// The write failed, and it had worked last time or failed for another cause: tell the user.
        failed,
        /// The write worked after failing.
        cleared,
    };

    /// Takes in the outcome of a write of the file.
    Change record(const PrivateFile::Outcome &outcome);
    /// Why the last write failed; none when it worked (or none was made).
    std::optional<PrivateFile::Outcome> failure() const;

private:
    mutable std::mutex m_mutex;
    std::optional<PrivateFile::Outcome> m_failure;
};

} // namespace Lumivox

Q_DECLARE_METATYPE(Lumivox::WriteFailure)
