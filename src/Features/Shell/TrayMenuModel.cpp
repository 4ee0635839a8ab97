#include "Features/Shell/TrayMenuModel.h"

#include "Features/Coordinator/HoverTextController.h"
#include "Features/Shell/UpdateNotifier.h"
#include "Features/Shell/UpdaterDelegate.h"
#include "Models/LanguageCatalog.h"
#include "Services/Words/WordBook.h"

#include <QPointer>
#include <QTimer>

namespace Lumivox {

namespace {

TrayMenuRow separator()
{
    TrayMenuRow row;
    row.kind = TrayMenuRow::Kind::separator;
    return row;
}

TrayMenuRow action(QString id, QString text, std::function<void()> trigger, bool enabled = true)
{
    TrayMenuRow row;
    row.id = std::move(id);
    row.text = std::move(text);
    row.trigger = std::move(trigger);
    row.enabled = enabled;
    return row;
}

TrayMenuRow label(QString id, QString text)
{
    TrayMenuRow row;
    row.kind = TrayMenuRow::Kind::label;
    row.id = std::move(id);
    row.text = std::move(text);
    return row;
}

} // namespace

TrayMenuModel::TrayMenuModel(Dependencies dependencies, QObject *parent)
    : QObject(parent)
    , m_deps(std::move(dependencies))
{
    HoverTextController *c = m_deps.controller;
    for (auto signal : {&HoverTextController::menuBarStateChanged, &HoverTextController::isEnabledChanged,
                        &HoverTextController::targetLanguageChanged, &HoverTextController::triggerModeChanged,
                        &HoverTextController::canCopyLastTranslationChanged, &HoverTextController::statusTitleChanged})
        connect(c, signal, this, &TrayMenuModel::changed);
    UpdateNotifier *n = m_deps.notifier;
    for (auto signal : {&UpdateNotifier::availableVersionChanged, &UpdateNotifier::isReadyToInstallChanged,
                        &UpdateNotifier::canCheckForUpdatesChanged})
        connect(n, signal, this, &TrayMenuModel::changed);
}

int TrayMenuModel::dueCount() const
{
    return int(m_deps.controller->wordBook().reviewQueue(Date::fromWallTime(m_deps.clock->wallNow())).size());
}

void TrayMenuModel::checkForUpdates() const
{
    // After the menu has closed, so that the updater's window is not hidden behind it.
    const QPointer<Native::Updater> updater(m_deps.updater);
    QTimer::singleShot(0, m_deps.notifier, [updater] {
        if (updater)
            UpdateWindows::checkForUpdates(*updater);
    });
}

std::vector<TrayMenuRow> TrayMenuModel::rows() const
{
    HoverTextController *c = m_deps.controller;
    UpdateNotifier *n = m_deps.notifier;
    std::vector<TrayMenuRow> rows;

    if (const auto &version = n->availableVersion()) {
        const QString text = n->isReadyToInstall() ? QStringLiteral("Restart to Update to %1").arg(*version)
                                                   : QStringLiteral("Update to %1…").arg(*version);
        TrayMenuRow update = action(QStringLiteral("update"), text, [this] {
            if (const auto &installNow = m_deps.notifier->installNow())
                installNow();
            else
                checkForUpdates();
        });
        update.icon = TrayMenuRow::Icon::updateDot;
        rows.push_back(std::move(update));
        rows.push_back(separator());
    }

    const MenuBarState state = c->menuBarState();
    TrayMenuRow status = label(QStringLiteral("status"), c->statusTitle());
    status.icon = TrayMenuRow::Icon::statusDot;
    status.state = state;
    rows.push_back(std::move(status));
    if (state == MenuBarState::needsPermission) {
        rows.push_back(action(QStringLiteral("grantPermission"), QStringLiteral("Grant Permission…"),
                              [c] { c->requestAccessibilityPermission(); }));
    } else {
        rows.push_back(label(QStringLiteral("hint"),
                             c->isEnabled() ? c->triggerMode().hint() : QStringLiteral("Words aren’t translated")));
    }
    rows.push_back(separator());

    // No key: Ctrl+Alt+T, the nearest to the design's, opens a terminal on most Linux desktops, and
    // Super with Alt belongs to the desktop's own keys.
    rows.push_back(action(
        QStringLiteral("toggleEnabled"),
        c->isEnabled() ? QStringLiteral("Turn Lumivox Off") : QStringLiteral("Turn Lumivox On"),
        [c] { c->toggleEnabled(); }, state != MenuBarState::needsPermission));
    rows.push_back(separator());

    if (const int due = dueCount(); due >= 1) {
        rows.push_back(action(QStringLiteral("review"),
                              due == 1 ? QStringLiteral("Review 1 Word") : QStringLiteral("Review %1 Words").arg(due),
                              [c] { c->openReview(std::nullopt); }));
    }
    rows.push_back(action(QStringLiteral("words"), QStringLiteral("Words…"), [c] { c->openWords(); }));
    rows.push_back(separator());

    rows.push_back(translateToMenu());
    rows.push_back(translateWhenMenu());
    rows.push_back(separator());

    rows.push_back(action(
        QStringLiteral("copyLastTranslation"), QStringLiteral("Copy Last Translation"),
        [c] { c->copyLastTranslation(); }, c->canCopyLastTranslation()));
    rows.push_back(action(QStringLiteral("reportProblem"), QStringLiteral("Report a Problem…"),
                          [c = QPointer<HoverTextController>(c)] {
                              if (c)
                                  c->emailDiagnosticReport();
                          }));
    rows.push_back(separator());

    rows.push_back(action(QStringLiteral("about"), QStringLiteral("About Lumivox"), [c] { c->showAboutPanel(); }));
    TrayMenuRow settings = action(QStringLiteral("settings"), QStringLiteral("Settings…"), [c] {
        c->setSelectedSettingsTab(SettingsTab::general);
        c->openSettings();
    });
    settings.shortcut = QKeySequence(Qt::CTRL | Qt::Key_Comma);
    rows.push_back(std::move(settings));
    rows.push_back(action(
        QStringLiteral("checkForUpdates"), QStringLiteral("Check for Updates…"), [this] { checkForUpdates(); },
        n->canCheckForUpdates()));
    rows.push_back(separator());

    rows.push_back(action(QStringLiteral("quit"), QStringLiteral("Quit Lumivox"), m_deps.quit));
    return rows;
}

TrayMenuRow TrayMenuModel::translateToMenu() const
{
    HoverTextController *c = m_deps.controller;
    const QString target = c->targetLanguage();
    const auto languageRow = [c, &target](const Language &language) {
        TrayMenuRow row = action(QStringLiteral("language.") + language.id, language.name,
                                 [c, id = language.id] { c->setTargetLanguage(id); });
        row.group = QStringLiteral("targetLanguage");
        row.checked = language.id == target;
        return row;
    };
    TrayMenuRow menu;
    menu.kind = TrayMenuRow::Kind::submenu;
    menu.id = QStringLiteral("translateTo");
    menu.text = QStringLiteral("Translate To");
    for (const Language &language : LanguageCatalog::popularLanguages())
        menu.children.push_back(languageRow(language));
    menu.children.push_back(separator());
    TrayMenuRow all;
    all.kind = TrayMenuRow::Kind::submenu;
    all.id = QStringLiteral("allLanguages");
    all.text = QStringLiteral("All Languages");
    for (const Language &language : LanguageCatalog::otherLanguages())
        all.children.push_back(languageRow(language));
    menu.children.push_back(std::move(all));
    return menu;
}

TrayMenuRow TrayMenuModel::translateWhenMenu() const
{
    HoverTextController *c = m_deps.controller;
    const TriggerMode current = c->triggerMode();
    const auto modeRow = [c, current](TriggerMode mode, QString text) {
        TrayMenuRow row = action(QStringLiteral("holdKey.") + mode.rawValue(), std::move(text),
                                 [c, mode] { c->setTriggerMode(mode); });
        row.group = QStringLiteral("triggerMode");
        row.checked = mode == current;
        return row;
    };
    TrayMenuRow menu;
    menu.kind = TrayMenuRow::Kind::submenu;
    menu.id = QStringLiteral("translateWhen");
    menu.text = QStringLiteral("Translate When");
    for (TriggerMode mode : {TriggerMode::option, TriggerMode::command, TriggerMode::control, TriggerMode::shift})
        menu.children.push_back(modeRow(mode, TriggerMode(mode).title()));
    menu.children.push_back(separator());
    menu.children.push_back(modeRow(TriggerMode::always, QStringLiteral("Always")));
    return menu;
}

const TrayMenuRow *TrayMenuModel::find(const std::vector<TrayMenuRow> &rows, const QString &id)
{
    for (const TrayMenuRow &row : rows) {
        if (row.id == id)
            return &row;
        if (const TrayMenuRow *inner = find(row.children, id))
            return inner;
    }
    return nullptr;
}

} // namespace Lumivox
