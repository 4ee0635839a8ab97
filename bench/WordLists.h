#pragma once

// The benches' word lists: tab-separated rows, '#' starting a comment line.

#include <QFile>
#include <QStringList>
#include <QTextStream>

#include <vector>

namespace Lumivox::Bench {

/// The rows of `path` that have exactly `fields` fields; none when it cannot be read.
inline std::vector<QStringList> tabRows(const QString &path, qsizetype fields)
{
    std::vector<QStringList> rows;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return rows;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.startsWith(QLatin1Char('#')) || line.trimmed().isEmpty())
            continue;
        QStringList row = line.split(QLatin1Char('\t'));
        if (row.size() == fields)
            rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace Lumivox::Bench
