#include "Native/Accessibility/AtspiRequests.h"

#include <climits>

namespace Lumivox::Native::Atspi {

namespace {

QString fromUtf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

// Takes the rectangle libatspi returned. Hidden GTK widgets report INT_MIN corners; `least` is the
// smallest width and height taken (a character box may be empty, an element's or a range's may not).
std::optional<QRect> screenRect(AtspiRect *rect, std::optional<int> least)
{
    if (!rect)
        return std::nullopt;
    const AtspiRect r = *rect;
    g_free(rect);
    if (r.x == INT_MIN || r.y == INT_MIN || (least && (r.width < *least || r.height < *least)))
        return std::nullopt;
    return QRect(r.x, r.y, r.width, r.height);
}

} // namespace

AtspiAccessible *tracked(AtspiAccessible *object)
{
    Session::instance().track(object);
    Session::instance().adoptConnections();
    return object;
}

std::optional<Interfaces> interfacesOf(AtspiAccessible *object)
{
    Session &session = Session::instance();
    if (!object || !connected(object) || session.isUnresponsive(object))
        return std::nullopt;
    // The first query asks the application and caches the whole list in the object.
    session.applyTimeout(object);
    const auto started = Clock::now();
    AtspiText *text = atspi_accessible_get_text_iface(object);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    session.adoptConnections();
    Interfaces out;
    if (text) {
        out.text = true;
        g_object_unref(text);
    } else if (!connected(object)) {
        return std::nullopt;
    }
    if (session.ranOutOfTime(elapsed)) {
        session.noteUnresponsive(object);
        return std::nullopt;
    }
    if (AtspiComponent *component = atspi_accessible_get_component_iface(object)) {
        out.component = true;
        g_object_unref(component);
    }
    return out;
}

std::optional<QRect> reportedExtentsOf(AtspiAccessible *object)
{
    AtspiRect *rect = nullptr;
    request(object, [&](GError **e) {
        rect = atspi_component_get_extents(ATSPI_COMPONENT(object), ATSPI_COORD_TYPE_SCREEN, e);
        return rect != nullptr;
    });
    return screenRect(rect, std::nullopt);
}

std::optional<QRect> extentsOf(AtspiAccessible *object)
{
    const auto r = reportedExtentsOf(object);
    if (!r || r->width() < 1 || r->height() < 1)
        return std::nullopt;
    return r;
}

std::optional<QRect> rangeExtentsOf(AtspiAccessible *object, qint64 start, qint64 end)
{
    AtspiRect *rect = nullptr;
    request(object, [&](GError **e) {
        rect = atspi_text_get_range_extents(ATSPI_TEXT(object), gint(start), gint(end), ATSPI_COORD_TYPE_SCREEN, e);
        return rect != nullptr;
    });
    return screenRect(rect, 1);
}

std::optional<QRect> characterExtentsOf(AtspiAccessible *object, qint64 offset)
{
    AtspiRect *rect = nullptr;
    request(object, [&](GError **e) {
        rect = atspi_text_get_character_extents(ATSPI_TEXT(object), gint(offset), ATSPI_COORD_TYPE_SCREEN, e);
        return rect != nullptr;
    });
    return screenRect(rect, 0);
}

AtspiAccessible *accessibleAtPoint(AtspiAccessible *object, QPoint px)
{
    AtspiAccessible *found = nullptr;
    request(object, [&](GError **e) {
        found = atspi_component_get_accessible_at_point(ATSPI_COMPONENT(object), px.x(), px.y(),
                                                        ATSPI_COORD_TYPE_SCREEN, e);
        return true;
    });
    return tracked(found);
}

std::optional<qint64> offsetAtPoint(AtspiAccessible *object, QPoint px)
{
    gint offset = -1;
    if (!request(object, [&](GError **e) {
            offset = atspi_text_get_offset_at_point(ATSPI_TEXT(object), px.x(), px.y(), ATSPI_COORD_TYPE_SCREEN, e);
            return true;
        }))
        return std::nullopt;
    return offset;
}

std::optional<qint64> characterCountOf(AtspiAccessible *object)
{
    gint count = -1;
    if (!request(object, [&](GError **e) {
            count = atspi_text_get_character_count(ATSPI_TEXT(object), e);
            return count >= 0;
        }))
        return std::nullopt;
    return count;
}

std::optional<QString> textOf(AtspiAccessible *object, qint64 start, qint64 end)
{
    gchar *text = nullptr;
    if (!request(object, [&](GError **e) {
            text = atspi_text_get_text(ATSPI_TEXT(object), gint(start), gint(end), e);
            return text != nullptr;
        }))
        return std::nullopt;
    QString out = fromUtf8(text);
    g_free(text);
    return out;
}

std::optional<AtspiRole> roleOf(AtspiAccessible *object)
{
    AtspiRole role = ATSPI_ROLE_INVALID;
    if (!request(object, [&](GError **e) {
            role = atspi_accessible_get_role(object, e);
            return true;
        }))
        return std::nullopt;
    return role;
}

std::optional<QString> nameOf(AtspiAccessible *object)
{
    gchar *name = nullptr;
    if (!request(object, [&](GError **e) {
            name = atspi_accessible_get_name(object, e);
            return name != nullptr;
        }))
        return std::nullopt;
    QString out = fromUtf8(name);
    g_free(name);
    return out;
}

std::optional<QString> objectAttributeOf(AtspiAccessible *object, const char *name)
{
    GHashTable *attributes = nullptr;
    if (!request(object, [&](GError **e) {
            attributes = atspi_accessible_get_attributes(object, e);
            return attributes != nullptr;
        }))
        return std::nullopt;
    const auto *value = static_cast<const gchar *>(g_hash_table_lookup(attributes, name));
    std::optional<QString> out;
    if (value)
        out = fromUtf8(value);
    g_hash_table_unref(attributes);
    return out;
}

std::optional<int> childCountOf(AtspiAccessible *object)
{
    gint count = -1;
    if (!request(object, [&](GError **e) {
            count = atspi_accessible_get_child_count(object, e);
            return count >= 0;
        }))
        return std::nullopt;
    return count;
}

AtspiAccessible *childOf(AtspiAccessible *object, int index)
{
    AtspiAccessible *child = nullptr;
    request(object, [&](GError **e) {
        child = atspi_accessible_get_child_at_index(object, index, e);
        return child != nullptr;
    });
    return tracked(child);
}

AtspiAccessible *parentOf(AtspiAccessible *object)
{
    AtspiAccessible *parent = nullptr;
    request(object, [&](GError **e) {
        parent = atspi_accessible_get_parent(object, e);
        return parent != nullptr;
    });
    return tracked(parent);
}

std::optional<bool> isSingleLine(AtspiAccessible *object)
{
    AtspiStateSet *states = nullptr;
    request(object, [&](GError **) {
        states = atspi_accessible_get_state_set(object);
        return states != nullptr;
    });
    if (!states)
        return std::nullopt;
    const bool single = atspi_state_set_contains(states, ATSPI_STATE_SINGLE_LINE);
    g_object_unref(states);
    return single;
}

std::optional<std::pair<qint64, qint64>> rangeInParentOf(AtspiAccessible *object)
{
    // Known from the interfaces already read; no request for an element that is no link.
    AtspiHyperlink *link = object ? atspi_accessible_get_hyperlink(object) : nullptr;
    if (!link)
        return std::nullopt;
    AtspiRange *range = nullptr;
    request(object, [&](GError **e) {
        range = atspi_hyperlink_get_index_range(link, e);
        return range != nullptr;
    });
    g_object_unref(link);
    if (!range)
        return std::nullopt;
    const std::pair<qint64, qint64> out {range->start_offset, range->end_offset};
    g_free(range);
    if (out.first < 0 || out.second < out.first)
        return std::nullopt;
    return out;
}

std::optional<QString> embeddedTextOf(AtspiAccessible *object, qint64 offset)
{
    // Known from the interfaces already read; no request for an element that is no hypertext.
    AtspiHypertext *hypertext = object ? atspi_accessible_get_hypertext_iface(object) : nullptr;
    if (!hypertext)
        return std::nullopt;
    gint index = -1;
    AtspiHyperlink *link = nullptr;
    if (request(object, [&](GError **e) {
            index = atspi_hypertext_get_link_index(hypertext, gint(offset), e);
            return index >= 0;
        }))
        request(object, [&](GError **e) {
            link = atspi_hypertext_get_link(hypertext, index, e);
            return link != nullptr;
        });
    g_object_unref(hypertext);
    if (!link)
        return std::nullopt;
    AtspiAccessible *embedded = nullptr;
    request(object, [&](GError **e) {
        embedded = atspi_hyperlink_get_object(link, 0, e);
        return embedded != nullptr;
    });
    g_object_unref(link);
    if (!embedded)
        return std::nullopt;
    tracked(embedded);
    // A link's text is a few words; anything longer is no inline object worth putting in a sentence.
    constexpr qint64 longest = 1000;
    std::optional<QString> out;
    if (const auto own = interfacesOf(embedded); own && own->text) {
        if (const auto count = characterCountOf(embedded); count && *count <= longest)
            out = textOf(embedded, 0, *count);
    }
    if (!out || out->isEmpty())
        out = nameOf(embedded);
    g_object_unref(embedded);
    if (out && (out->isEmpty() || out->size() > longest))
        return std::nullopt;
    return out;
}

std::optional<QString> toolkitNameOf(AtspiAccessible *application)
{
    gchar *toolkit = nullptr;
    if (!request(application, [&](GError **e) {
            toolkit = atspi_accessible_get_toolkit_name(application, e);
            return toolkit != nullptr && *toolkit != '\0';
        })) {
        g_free(toolkit);
        return std::nullopt;
    }
    QString out = fromUtf8(toolkit);
    g_free(toolkit);
    return out;
}

std::optional<TextRun> runAt(AtspiAccessible *object, qint64 offset, bool sentence)
{
    Session &session = Session::instance();
    AtspiTextRange *range = nullptr;
    auto take = [&]() -> std::optional<TextRun> {
        if (!range)
            return std::nullopt;
        TextRun run {fromUtf8(range->content), range->start_offset, range->end_offset};
        g_free(range->content);
        g_free(range);
        range = nullptr;
        if (run.start < 0 || run.end < run.start)
            return std::nullopt;
        return run;
    };
    if (!session.lacksStringAtOffset(object)) {
        const bool answered = request(object, [&](GError **e) {
            range = atspi_text_get_string_at_offset(
                ATSPI_TEXT(object), gint(offset),
                sentence ? ATSPI_TEXT_GRANULARITY_SENTENCE : ATSPI_TEXT_GRANULARITY_WORD, e);
            return range != nullptr;
        });
        if (auto run = take())
            return run;
        if (!answered && !session.isUnresponsive(object))
            session.noteLacksStringAtOffset(object);
    }
    request(object, [&](GError **e) {
        range = atspi_text_get_text_at_offset(
            ATSPI_TEXT(object), gint(offset),
            sentence ? ATSPI_TEXT_BOUNDARY_SENTENCE_START : ATSPI_TEXT_BOUNDARY_WORD_START, e);
        return range != nullptr;
    });
    return take();
}

} // namespace Lumivox::Native::Atspi
