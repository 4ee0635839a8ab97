#include "Features/Words/WordExporter.h"

#include "Features/Words/WordLanguages.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>

Q_LOGGING_CATEGORY(lcExport, "app.lumivox.Words")

namespace Lumivox::WordExporter {

QString suggestedFileName(WordExport::Format format)
{
    return format == WordExport::Format::csv ? QStringLiteral("Lumivox words.csv")
                                             : QStringLiteral("Lumivox words for Anki.txt");
}

QString nameFilter(WordExport::Format format)
{
    return format == WordExport::Format::csv ? QStringLiteral("CSV files (*.csv)")
                                             : QStringLiteral("Text files (*.txt)");
}

QString Failure::message() const
{
    const QFileInfo info(path);
    return QStringLiteral("“%1” could not be saved in “%2”: %3.")
        .arg(info.fileName(), QDir::toNativeSeparators(info.absolutePath()), reason);
}

std::optional<Failure> write(const QString &text, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Failure {path, file.errorString()};
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return Failure {path, reason};
    }
    // A full disk often shows only here, when the data is flushed and the file renamed into place.
    if (!file.commit())
        return Failure {path, file.errorString()};
    return std::nullopt;
}

Outcome exportWords(const std::vector<SavedWord> &words, WordExport::Format format, const FileChooser &choose)
{
    const auto chosen = choose ? choose(suggestedFileName(format), nameFilter(format)) : std::nullopt;
    if (!chosen || chosen->isEmpty())
        return {Outcome::Status::cancelled, QString(), std::nullopt};
    const QString text =
        WordExport::text(words, format, [](const QString &code) { return WordLanguages::name(code).value_or(code); });
    if (auto failure = write(text, *chosen)) {
        qCWarning(lcExport) << "export failed:" << failure->reason;
        return {Outcome::Status::failed, *chosen, std::move(failure)};
    }
    return {Outcome::Status::written, *chosen, std::nullopt};
}

} // namespace Lumivox::WordExporter
