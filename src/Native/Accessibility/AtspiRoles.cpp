#include "Native/Accessibility/AtspiRoles.h"

namespace Lumivox::Native::Atspi {

QString roleName(AtspiRole role)
{
    switch (role) {
    case ATSPI_ROLE_APPLICATION:
        return QStringLiteral("AXApplication");
    case ATSPI_ROLE_FRAME:
    case ATSPI_ROLE_WINDOW:
    case ATSPI_ROLE_DIALOG:
    case ATSPI_ROLE_ALERT:
    case ATSPI_ROLE_FILE_CHOOSER:
    case ATSPI_ROLE_COLOR_CHOOSER:
    case ATSPI_ROLE_FONT_CHOOSER:
        return QStringLiteral("AXWindow");
    case ATSPI_ROLE_MENU:
    case ATSPI_ROLE_POPUP_MENU:
        return QStringLiteral("AXMenu");
    case ATSPI_ROLE_MENU_ITEM:
    case ATSPI_ROLE_CHECK_MENU_ITEM:
    case ATSPI_ROLE_RADIO_MENU_ITEM:
    case ATSPI_ROLE_TEAROFF_MENU_ITEM:
        return QStringLiteral("AXMenuItem");
    case ATSPI_ROLE_MENU_BAR:
        return QStringLiteral("AXMenuBar");
    case ATSPI_ROLE_SCROLL_PANE:
        return QStringLiteral("AXScrollArea");
    case ATSPI_ROLE_SCROLL_BAR:
        return QStringLiteral("AXScrollBar");
    case ATSPI_ROLE_SPLIT_PANE:
        return QStringLiteral("AXSplitGroup");
    case ATSPI_ROLE_SEPARATOR:
        return QStringLiteral("AXSplitter");
    case ATSPI_ROLE_TOOL_BAR:
        return QStringLiteral("AXToolbar");
    case ATSPI_ROLE_LAYERED_PANE:
        return QStringLiteral("AXLayoutArea");
    case ATSPI_ROLE_RULER:
        return QStringLiteral("AXRuler");
    case ATSPI_ROLE_TOOL_TIP:
        return QStringLiteral("AXHelpTag");
    case ATSPI_ROLE_FILLER:
    case ATSPI_ROLE_PANEL:
    case ATSPI_ROLE_VIEWPORT:
    case ATSPI_ROLE_SECTION:
    case ATSPI_ROLE_GROUPING:
    case ATSPI_ROLE_FORM:
    case ATSPI_ROLE_LANDMARK:
    case ATSPI_ROLE_ARTICLE:
    case ATSPI_ROLE_BLOCK_QUOTE:
    case ATSPI_ROLE_ROOT_PANE:
    case ATSPI_ROLE_GLASS_PANE:
    case ATSPI_ROLE_OPTION_PANE:
    case ATSPI_ROLE_INTERNAL_FRAME:
    case ATSPI_ROLE_DESKTOP_FRAME:
    case ATSPI_ROLE_STATUS_BAR:
    case ATSPI_ROLE_INFO_BAR:
    case ATSPI_ROLE_NOTIFICATION:
    case ATSPI_ROLE_HTML_CONTAINER:
    case ATSPI_ROLE_EMBEDDED:
    case ATSPI_ROLE_HEADER:
    case ATSPI_ROLE_FOOTER:
    case ATSPI_ROLE_PAGE:
    case ATSPI_ROLE_LOG:
    case ATSPI_ROLE_MARQUEE:
    case ATSPI_ROLE_MATH:
    case ATSPI_ROLE_TIMER:
        return QStringLiteral("AXGroup");
    case ATSPI_ROLE_DOCUMENT_WEB:
    case ATSPI_ROLE_DOCUMENT_FRAME:
    case ATSPI_ROLE_DOCUMENT_EMAIL:
        return QStringLiteral("AXWebArea");
    // Entries and text views share one role; telling them apart would cost a request per lookup.
    case ATSPI_ROLE_TEXT:
    case ATSPI_ROLE_DOCUMENT_TEXT:
    case ATSPI_ROLE_TERMINAL:
        return QStringLiteral("AXTextArea");
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_PASSWORD_TEXT:
    case ATSPI_ROLE_EDITBAR:
    case ATSPI_ROLE_AUTOCOMPLETE:
        return QStringLiteral("AXTextField");
    case ATSPI_ROLE_LABEL:
    case ATSPI_ROLE_STATIC:
    case ATSPI_ROLE_CAPTION:
    case ATSPI_ROLE_PARAGRAPH:
    case ATSPI_ROLE_ACCELERATOR_LABEL:
    case ATSPI_ROLE_DESCRIPTION_TERM:
    case ATSPI_ROLE_DESCRIPTION_VALUE:
    case ATSPI_ROLE_FOOTNOTE:
    case ATSPI_ROLE_COMMENT:
        return QStringLiteral("AXStaticText");
    case ATSPI_ROLE_HEADING:
        return QStringLiteral("AXHeading");
    case ATSPI_ROLE_PUSH_BUTTON:
    case ATSPI_ROLE_PUSH_BUTTON_MENU:
    case ATSPI_ROLE_ARROW:
        return QStringLiteral("AXButton");
    case ATSPI_ROLE_TOGGLE_BUTTON:
    case ATSPI_ROLE_CHECK_BOX:
        return QStringLiteral("AXCheckBox");
    case ATSPI_ROLE_RADIO_BUTTON:
    case ATSPI_ROLE_PAGE_TAB:
        return QStringLiteral("AXRadioButton");
    case ATSPI_ROLE_PAGE_TAB_LIST:
        return QStringLiteral("AXTabGroup");
    case ATSPI_ROLE_COMBO_BOX:
        return QStringLiteral("AXComboBox");
    case ATSPI_ROLE_SLIDER:
    case ATSPI_ROLE_DIAL:
        return QStringLiteral("AXSlider");
    case ATSPI_ROLE_SPIN_BUTTON:
        return QStringLiteral("AXIncrementor");
    case ATSPI_ROLE_PROGRESS_BAR:
        return QStringLiteral("AXProgressIndicator");
    case ATSPI_ROLE_LEVEL_BAR:
        return QStringLiteral("AXLevelIndicator");
    case ATSPI_ROLE_LINK:
        return QStringLiteral("AXLink");
    case ATSPI_ROLE_IMAGE:
    case ATSPI_ROLE_ICON:
    case ATSPI_ROLE_DESKTOP_ICON:
    case ATSPI_ROLE_ANIMATION:
        return QStringLiteral("AXImage");
    case ATSPI_ROLE_LIST:
    case ATSPI_ROLE_LIST_BOX:
    case ATSPI_ROLE_DESCRIPTION_LIST:
        return QStringLiteral("AXList");
    case ATSPI_ROLE_TREE:
    case ATSPI_ROLE_TREE_TABLE:
        return QStringLiteral("AXOutline");
    case ATSPI_ROLE_TABLE:
    case ATSPI_ROLE_DOCUMENT_SPREADSHEET:
        return QStringLiteral("AXTable");
    case ATSPI_ROLE_TABLE_ROW:
    case ATSPI_ROLE_TREE_ITEM:
        return QStringLiteral("AXRow");
    case ATSPI_ROLE_TABLE_CELL:
    case ATSPI_ROLE_LIST_ITEM:
    case ATSPI_ROLE_TABLE_COLUMN_HEADER:
    case ATSPI_ROLE_TABLE_ROW_HEADER:
    case ATSPI_ROLE_COLUMN_HEADER:
    case ATSPI_ROLE_ROW_HEADER:
        return QStringLiteral("AXCell");
    default:
        return QStringLiteral("AXUnknown");
    }
}

bool onlyHoldsOthers(AtspiRole role)
{
    switch (role) {
    case ATSPI_ROLE_APPLICATION:
    case ATSPI_ROLE_FRAME:
    case ATSPI_ROLE_WINDOW:
    case ATSPI_ROLE_DIALOG:
    case ATSPI_ROLE_FILLER:
    case ATSPI_ROLE_PANEL:
    case ATSPI_ROLE_VIEWPORT:
    case ATSPI_ROLE_SCROLL_PANE:
    case ATSPI_ROLE_LAYERED_PANE:
    case ATSPI_ROLE_SPLIT_PANE:
    case ATSPI_ROLE_PAGE_TAB_LIST:
    case ATSPI_ROLE_PAGE_TAB:
    case ATSPI_ROLE_ROOT_PANE:
    case ATSPI_ROLE_GLASS_PANE:
    case ATSPI_ROLE_INTERNAL_FRAME:
    case ATSPI_ROLE_SECTION:
    case ATSPI_ROLE_GROUPING:
    case ATSPI_ROLE_UNKNOWN:
        return true;
    default:
        return false;
    }
}

} // namespace Lumivox::Native::Atspi
