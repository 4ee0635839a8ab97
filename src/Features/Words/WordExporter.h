#pragma once

// Exporting the saved words: the user picks a file, the text is written atomically (a temporary file
// renamed into place), and a write that fails leaves nothing behind and says so, naming the file and
// the reason. A cancelled choice writes nothing. No widgets here: the file is chosen through a
// function the view supplies.

#include "Models/WordRecords.h"
#include "Services/Words/WordExport.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace Lumivox::WordExporter {

/// "Lumivox words.csv" or "Lumivox words for Anki.txt".
QString suggestedFileName(WordExport::Format format);
/// The file-type filter of the save dialog.
QString nameFilter(WordExport::Format format);

/// Asks where to save, given the suggested name and the filter; none when the user cancels.
using FileChooser = std::function<std::optional<QString>(const QString &suggestedName, const QString &filter)>;

struct Failure
{
    QString path;
    /// The system's reason, as QSaveFile reports it.
    QString reason;

    /// One sentence for the user, naming the file, its folder and the reason.
    QString message() const;
    bool operator==(const Failure &) const = default;
};

struct Outcome
{
    enum class Status { written, cancelled, failed };
    Status status = Status::cancelled;
    QString path;
    std::optional<Failure> failure;
};

/// The title of the message that tells an export failed.
inline QString failureTitle()
{
    return QStringLiteral("Couldn’t Export Words");
}

/// Writes UTF-8 text to the path atomically; the failure when it could not.
std::optional<Failure> write(const QString &text, const QString &path);

/// Chooses a file and writes every given word to it in the format.
Outcome exportWords(const std::vector<SavedWord> &words, WordExport::Format format, const FileChooser &choose);

} // namespace Lumivox::WordExporter
