#pragma once

// Reads the word under a screen point through the accessibility interface of the application
// there: the word, its on-screen rectangle, the sentence around it and the word's offset in that
// sentence, or why nothing could be read. The first and preferred source of hovered text; screen
// capture and recognition are the fallback.
//
// Stateless. Every operation talks to other processes, so callers run them off the UI thread, one at
// a time (the accessibility worker); each request is bounded by a 0.15 s messaging timeout. A
// stop_token is checked between the lookup's paths and during the child walk; a cancelled lookup
// ends with a miss.

#include "Services/Detection/SentenceSlice.h"

#include <QPointF>
#include <QRectF>
#include <QString>

#include <cstdint>
#include <optional>
#include <stop_token>
#include <variant>

namespace Lumivox::AccessibilityTextService {

struct HitResult
{
    QString word;
    /// The sentence (or other context) around the word.
    QString fullText;
    /// Bottom-left global coordinates.
    QRectF bounds;
    /// UTF-16 offset of `word` in `fullText`; absent when the context is not a cut sentence.
    std::optional<qsizetype> wordOffset;
    bool operator==(const HitResult &) const = default;
};

struct LookupResult
{
    /// Nothing read; what is known goes to the diagnostics.
    struct Miss
    {
        std::optional<std::int32_t> pid;
        std::optional<QString> role;
        /// At most 48 characters.
        std::optional<QString> snippet;
        /// Why the element's text was not read, when it was withheld on purpose (a wrong word is
        /// worse than none: offsets in a unit that cannot be told are not guessed at).
        std::optional<QString> reason;
        bool operator==(const Miss &) const = default;
    };
    /// The point is over one of our own elements.
    struct OwnProcess
    {
        bool operator==(const OwnProcess &) const = default;
    };
    /// The element is a menu, menu item, menu bar or menu-bar item.
    struct Suppressed
    {
        bool operator==(const Suppressed &) const = default;
    };

    std::variant<HitResult, Miss, OwnProcess, Suppressed> value;

    static LookupResult hit(HitResult result) { return {std::move(result)}; }
    static LookupResult miss(std::optional<std::int32_t> pid = std::nullopt, std::optional<QString> role = std::nullopt,
                             std::optional<QString> snippet = std::nullopt,
                             std::optional<QString> reason = std::nullopt)
    {
        return {Miss {pid, std::move(role), std::move(snippet), std::move(reason)}};
    }
    static LookupResult ownProcess() { return {OwnProcess {}}; }
    static LookupResult suppressed() { return {Suppressed {}}; }

    const HitResult *hitResult() const { return std::get_if<HitResult>(&value); }
    const Miss *missResult() const { return std::get_if<Miss>(&value); }
    bool isOwnProcess() const { return std::holds_alternative<OwnProcess>(value); }
    bool isSuppressed() const { return std::holds_alternative<Suppressed>(value); }
    bool operator==(const LookupResult &) const = default;
};

/// Whether this process may read other applications (on Linux: the accessibility bus answers and
/// is enabled).
bool isTrusted();
/// Asks for that trust (on Linux: enables the accessibility bus; applications started afterwards
/// register with it).
void requestAccess();

/// True for a role that holds other elements rather than text; also used by the coordinator.
bool isContainerRole(const std::optional<QString> &role);

/// `at` is in Quartz coordinates; `primaryMaxY` flips the word's rectangle to bottom-left
/// coordinates (absent: the rectangle's own maxY, so the returned y is 0).
LookupResult lookupWord(QPointF at, std::optional<double> primaryMaxY, std::stop_token stop = {});

/// Reads through the application element of `pid`; with `hitTestAgain`, falls back to lookupWord.
LookupResult lookupWordInProcess(std::int32_t pid, QPointF at, std::optional<double> primaryMaxY, bool hitTestAgain,
                                 std::stop_token stop = {});

/// Asks an application to build its accessibility tree (web views build it on demand). Fire and
/// forget.
void requestWebAccessibility(std::int32_t pid);

/// The cleaned title of the window under the point; none for our own windows and for titles that
/// are addresses.
std::optional<QString> windowTitle(QPointF at);

/// The one word of a text, if it holds exactly one (at least two characters, with a letter);
/// surrounding punctuation is dropped.
std::optional<QString> extractSingleWord(QStringView text);

} // namespace Lumivox::AccessibilityTextService
