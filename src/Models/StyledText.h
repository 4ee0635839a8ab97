#pragma once

// Text with styled runs, the program's counterpart of an attributed string. A marked word (the hovered
// word in a translated sentence, a meaning in a stored translation) is a run whose inline presentation
// intent includes strong emphasis; the glance, the translation back-ends and the Words windows share
// that one convention.
//
// Positions are UTF-16 code-unit offsets into text(), like every text position in the program.

#include <QString>

#include <optional>
#include <vector>

namespace Lumivox {

/// A UTF-16 range: `location` and `length` in code units.
struct TextRange
{
    qsizetype location = 0;
    qsizetype length = 0;

    qsizetype end() const { return location + length; }
    bool operator==(const TextRange &) const = default;
};

/// A set of inline presentation intents.
class InlinePresentationIntent
{
public:
    enum Flag : unsigned {
        emphasized = 1u << 0,
        stronglyEmphasized = 1u << 1,
        code = 1u << 2,
        strikethrough = 1u << 3,
    };

    constexpr InlinePresentationIntent(unsigned flags = 0)
        : m_flags(flags)
    { }

    constexpr unsigned rawValue() const { return m_flags; }
    constexpr bool contains(Flag flag) const { return (m_flags & flag) != 0; }

    constexpr bool operator==(const InlinePresentationIntent &) const = default;

private:
    unsigned m_flags;
};

/// The attributes of one run. Absent means "not set", which differs from an empty set.
struct TextAttributes
{
    std::optional<InlinePresentationIntent> inlinePresentationIntent;

    bool isStronglyEmphasized() const
    {
        return inlinePresentationIntent
            && inlinePresentationIntent->contains(InlinePresentationIntent::stronglyEmphasized);
    }
    bool operator==(const TextAttributes &) const = default;
};

class StyledText
{
public:
    struct Run
    {
        qsizetype location = 0;
        qsizetype length = 0;
        TextAttributes attributes;

        qsizetype end() const { return location + length; }
        bool operator==(const Run &) const = default;
    };

    StyledText() = default;
    explicit StyledText(QString text, TextAttributes attributes = {});

    /// The plain characters.
    const QString &text() const { return m_text; }
    /// Runs cover the text from start to end, none is empty, and neighbours differ in their attributes.
    const std::vector<Run> &runs() const { return m_runs; }
    bool isEmpty() const { return m_text.isEmpty(); }

    /// The text of one run.
    QString text(const Run &run) const { return m_text.mid(run.location, run.length); }

    void append(const QString &text, const TextAttributes &attributes = {});
    void append(const StyledText &other);

    /// True when the offset lies within 0…size and not between the halves of a surrogate pair.
    bool isValidIndex(qsizetype offset) const;

    /// Sets (or, with none, removes) the intent over a range. A range whose bounds are not valid
    /// indices changes nothing and gives false.
    bool setInlinePresentationIntent(TextRange range, std::optional<InlinePresentationIntent> intent);

    /// The ranges of the runs whose intent includes strong emphasis, in order.
    std::vector<TextRange> stronglyEmphasizedRanges() const;

    bool operator==(const StyledText &) const = default;

private:
    void normalize();

    QString m_text;
    std::vector<Run> m_runs;
};

} // namespace Lumivox
