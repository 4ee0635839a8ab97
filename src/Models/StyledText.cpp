#include "Models/StyledText.h"

#include "Native/Text/Utf16.h"

namespace Lumivox {

StyledText::StyledText(QString text, TextAttributes attributes)
    : m_text(std::move(text))
{
    if (!m_text.isEmpty())
        m_runs.push_back(Run {0, m_text.size(), attributes});
}

void StyledText::append(const QString &text, const TextAttributes &attributes)
{
    if (text.isEmpty())
        return;
    m_runs.push_back(Run {m_text.size(), text.size(), attributes});
    m_text.append(text);
    normalize();
}

void StyledText::append(const StyledText &other)
{
    const qsizetype offset = m_text.size();
    m_text.append(other.m_text);
    for (Run run : other.m_runs) {
        run.location += offset;
        m_runs.push_back(run);
    }
    normalize();
}

bool StyledText::isValidIndex(qsizetype offset) const
{
    if (offset < 0 || offset > m_text.size())
        return false;
    return !Text::splitsSurrogatePair(m_text, offset);
}

bool StyledText::setInlinePresentationIntent(TextRange range, std::optional<InlinePresentationIntent> intent)
{
    if (range.length < 0 || !isValidIndex(range.location) || !isValidIndex(range.end()))
        return false;
    if (range.length == 0)
        return true;
    std::vector<Run> split;
    split.reserve(m_runs.size() + 2);
    for (const Run &run : m_runs) {
        const qsizetype from = std::max(run.location, range.location);
        const qsizetype to = std::min(run.end(), range.end());
        if (from >= to) {
            split.push_back(run);
            continue;
        }
        if (run.location < from)
            split.push_back(Run {run.location, from - run.location, run.attributes});
        TextAttributes changed = run.attributes;
        changed.inlinePresentationIntent = intent;
        split.push_back(Run {from, to - from, changed});
        if (to < run.end())
            split.push_back(Run {to, run.end() - to, run.attributes});
    }
    m_runs = std::move(split);
    normalize();
    return true;
}

std::vector<TextRange> StyledText::stronglyEmphasizedRanges() const
{
    std::vector<TextRange> ranges;
    for (const Run &run : m_runs) {
        if (run.attributes.isStronglyEmphasized())
            ranges.push_back(TextRange {run.location, run.length});
    }
    return ranges;
}

void StyledText::normalize()
{
    // Equal neighbours merge, as in an attributed string, so that equality compares what is shown
    // rather than how the text was put together.
    std::vector<Run> merged;
    merged.reserve(m_runs.size());
    for (const Run &run : m_runs) {
        if (run.length <= 0)
            continue;
        if (!merged.empty() && merged.back().attributes == run.attributes && merged.back().end() == run.location)
            merged.back().length += run.length;
        else
            merged.push_back(run);
    }
    m_runs = std::move(merged);
}

} // namespace Lumivox
