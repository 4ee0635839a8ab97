// A GTK 3 window with known text for the accessibility system tests: a menu bar, a wrapped label, a
// text view, an entry and a button. Once laid out it prints where its words are on screen
//   word <key> <x> <y> <width> <height>      (X11 pixels, root coordinates, also at GDK_SCALE=2)
// then "ready". Options: --at X Y places the window; --long fills the text view with a long text;
// --notebook puts the text view on the page of a notebook without tabs, as deep in containers as
// a tabbed editor keeps its documents (the page's tab then reports -1 x -1 extents), and prints
// every word of that view's text.

#include <gtk/gtk.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static const char *labelText = "Mind the \xF0\x9F\xA6\x8A fox: a clever animal. It hides well.";
static const char *viewText =
    "The first sentence is short. The second sentence holds the word pineapple here. A third one follows.";
static const char *entryText = "Entry line with lantern inside";
static const char *finalSentence = "The final line holds the word zeppelin here.";
// A zero-width no-break space follows the emoji, as some editors and pages leave behind.
static const char *notebookText = "Tabs stay hidden here. The notebook page \xF0\x9F\xA6\x8A\xEF\xBB\xBF keeps "
                                  "seventeen layers above this quiet paragraph. Nothing else moves.";
// With --long the text view holds a long text (emoji throughout, so that character and UTF-16
// offsets drift apart) scrolled to its last sentence.
static gboolean longText = FALSE;
static gboolean notebook = FALSE;

static GtkWidget *window;
static GtkWidget *fileItem;
static GtkWidget *label;
static GtkWidget *view;
static GtkWidget *entry;
static GtkWidget *button;

// GTK measures in its own units, the screen's pixels divided by the window's scale (GDK_SCALE).
static void printRect(const char *key, int x, int y, int w, int h)
{
    const int s = gtk_widget_get_scale_factor(window);
    printf("word %s %d %d %d %d\n", key, x * s, y * s, w * s, h * s);
}

static void widgetRect(const char *key, GtkWidget *widget)
{
    int rx = 0, ry = 0, ox = 0, oy = 0;
    GtkAllocation a;
    gtk_widget_get_allocation(widget, &a);
    gtk_widget_translate_coordinates(widget, window, 0, 0, &rx, &ry);
    gdk_window_get_origin(gtk_widget_get_window(window), &ox, &oy);
    printRect(key, ox + rx, oy + ry, a.width, a.height);
}

// The on-screen box of a word in a label, from the label's own Pango layout.
static void labelWord(const char *key, GtkWidget *w, const char *word)
{
    const char *text = gtk_label_get_text(GTK_LABEL(w));
    const char *found = strstr(text, word);
    if (!found)
        return;
    PangoLayout *layout = gtk_label_get_layout(GTK_LABEL(w));
    int lx = 0, ly = 0, ox = 0, oy = 0;
    gtk_label_get_layout_offsets(GTK_LABEL(w), &lx, &ly);
    gdk_window_get_origin(gtk_widget_get_window(w), &ox, &oy);
    PangoRectangle first, last;
    const int start = (int)(found - text);
    const int end = start + (int)strlen(word) - 1;
    pango_layout_index_to_pos(layout, start, &first);
    pango_layout_index_to_pos(layout, end, &last);
    const int x = ox + lx + PANGO_PIXELS(first.x);
    const int y = oy + ly + PANGO_PIXELS(first.y);
    const int right = ox + lx + PANGO_PIXELS(last.x + last.width);
    printRect(key, x, y, right - x, PANGO_PIXELS(first.height));
}

static void viewWord(const char *key, const char *word)
{
    GtkTextBuffer *buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
    GtkTextIter bufferStart, bufferEnd;
    gtk_text_buffer_get_bounds(buffer, &bufferStart, &bufferEnd);
    char *all = gtk_text_buffer_get_text(buffer, &bufferStart, &bufferEnd, FALSE);
    const char *found = g_strrstr(all, word);
    if (!found) {
        g_free(all);
        return;
    }
    const int start = (int)g_utf8_pointer_to_offset(all, found);
    g_free(all);
    const int end = start + (int)g_utf8_strlen(word, -1);
    GtkTextIter a, b;
    gtk_text_buffer_get_iter_at_offset(buffer, &a, start);
    gtk_text_buffer_get_iter_at_offset(buffer, &b, end - 1);
    GdkRectangle ra, rb;
    gtk_text_view_get_iter_location(GTK_TEXT_VIEW(view), &a, &ra);
    gtk_text_view_get_iter_location(GTK_TEXT_VIEW(view), &b, &rb);
    int ax = 0, ay = 0, bx = 0, by = 0, ox = 0, oy = 0;
    gtk_text_view_buffer_to_window_coords(GTK_TEXT_VIEW(view), GTK_TEXT_WINDOW_TEXT, ra.x, ra.y, &ax, &ay);
    gtk_text_view_buffer_to_window_coords(GTK_TEXT_VIEW(view), GTK_TEXT_WINDOW_TEXT, rb.x + rb.width, rb.y, &bx, &by);
    gdk_window_get_origin(gtk_text_view_get_window(GTK_TEXT_VIEW(view), GTK_TEXT_WINDOW_TEXT), &ox, &oy);
    printRect(key, ox + ax, oy + ay, bx - ax, ra.height);
}

static void entryWord(const char *key, const char *word)
{
    const char *found = strstr(entryText, word);
    if (!found)
        return;
    PangoLayout *layout = gtk_entry_get_layout(GTK_ENTRY(entry));
    int lx = 0, ly = 0;
    gtk_entry_get_layout_offsets(GTK_ENTRY(entry), &lx, &ly);
    PangoRectangle first, last;
    const int start = (int)(found - entryText);
    pango_layout_index_to_pos(layout, start, &first);
    pango_layout_index_to_pos(layout, start + (int)strlen(word) - 1, &last);
    int rx = 0, ry = 0, ox = 0, oy = 0;
    // Layout offsets are relative to the entry's allocation.
    gtk_widget_translate_coordinates(entry, window, 0, 0, &rx, &ry);
    gdk_window_get_origin(gtk_widget_get_window(window), &ox, &oy);
    const int x = ox + rx + lx + PANGO_PIXELS(first.x);
    const int right = ox + rx + lx + PANGO_PIXELS(last.x + last.width);
    printRect(key, x, oy + ry + ly + PANGO_PIXELS(first.y), right - x, PANGO_PIXELS(first.height));
}

static gboolean scrollToEnd(gpointer data)
{
    (void)data;
    GtkTextBuffer *buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
    GtkTextIter end;
    gtk_text_buffer_get_end_iter(buffer, &end);
    gtk_text_view_scroll_to_iter(GTK_TEXT_VIEW(view), &end, 0, FALSE, 0, 0);
    return G_SOURCE_REMOVE;
}

// Every word of the notebook's text, keyed "view:<word>" (its words are all different).
static void viewWords(void)
{
    gchar **words = g_regex_split_simple("[^[:alpha:]]+", notebookText, 0, 0);
    for (gchar **w = words; *w; ++w) {
        if (**w) {
            gchar *key = g_strconcat("view:", *w, NULL);
            viewWord(key, *w);
            g_free(key);
        }
    }
    g_strfreev(words);
}

static gboolean report(gpointer data)
{
    (void)data;
    labelWord("label:clever", label, "clever");
    labelWord("label:Mind", label, "Mind");
    if (notebook) {
        viewWords();
    } else if (longText) {
        viewWord("view:zeppelin", "zeppelin");
    } else {
        viewWord("view:pineapple", "pineapple");
        viewWord("view:first", "first");
    }
    entryWord("entry:lantern", "lantern");
    widgetRect("button:Save", button);
    widgetRect("menu:File", fileItem);
    widgetRect("window", window);
    printf("pid %d\n", (int)getpid());
    printf("ready\n");
    fflush(stdout);
    return G_SOURCE_REMOVE;
}

static GtkWidget *wrapped(GtkWidget *inner)
{
    GtkWidget *box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_box_pack_start(GTK_BOX(box), inner, TRUE, TRUE, 0);
    return box;
}

static GtkWidget *paned(GtkWidget *inner)
{
    GtkWidget *pane = gtk_paned_new(GTK_ORIENTATION_HORIZONTAL);
    gtk_paned_pack1(GTK_PANED(pane), gtk_label_new(NULL), FALSE, TRUE);
    gtk_paned_pack2(GTK_PANED(pane), inner, TRUE, FALSE);
    return pane;
}

// The layers a tabbed editor puts between its window and a document's text view: boxes, panes
// and a notebook whose tabs are hidden.
static GtkWidget *nestedInNotebook(GtkWidget *scroller)
{
    GtkWidget *overlay = gtk_overlay_new();
    gtk_container_add(GTK_CONTAINER(overlay), wrapped(scroller));
    GtkWidget *book = gtk_notebook_new();
    gtk_notebook_set_show_tabs(GTK_NOTEBOOK(book), FALSE);
    gtk_notebook_set_show_border(GTK_NOTEBOOK(book), FALSE);
    gtk_notebook_append_page(GTK_NOTEBOOK(book), wrapped(overlay), gtk_label_new("Document"));
    return wrapped(paned(wrapped(paned(wrapped(book)))));
}

int main(int argc, char **argv)
{
    int x = 0, y = 0;
    for (int i = 1; i + 2 < argc; ++i) {
        if (strcmp(argv[i], "--at") == 0) {
            x = atoi(argv[i + 1]);
            y = atoi(argv[i + 2]);
        }
    }
    for (int i = 1; i < argc; ++i) {
        longText = longText || strcmp(argv[i], "--long") == 0;
        notebook = notebook || strcmp(argv[i], "--notebook") == 0;
    }
    gtk_init(&argc, &argv);

    window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "GTK text fixture");
    gtk_window_set_default_size(GTK_WINDOW(window), 560, 420);
    gtk_window_move(GTK_WINDOW(window), x, y);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), NULL);

    GtkWidget *box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
    gtk_container_add(GTK_CONTAINER(window), box);

    GtkWidget *menuBar = gtk_menu_bar_new();
    fileItem = gtk_menu_item_new_with_label("File");
    GtkWidget *menu = gtk_menu_new();
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_menu_item_new_with_label("Open"));
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(fileItem), menu);
    gtk_menu_shell_append(GTK_MENU_SHELL(menuBar), fileItem);
    gtk_box_pack_start(GTK_BOX(box), menuBar, FALSE, FALSE, 0);

    label = gtk_label_new(labelText);
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    gtk_box_pack_start(GTK_BOX(box), label, FALSE, FALSE, 0);

    view = gtk_text_view_new();
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(view), GTK_WRAP_WORD);
    GtkWidget *scroller = gtk_scrolled_window_new(NULL, NULL);
    gtk_widget_set_size_request(scroller, 540, 120);
    gtk_container_add(GTK_CONTAINER(scroller), view);
    if (notebook)
        gtk_box_pack_start(GTK_BOX(box), nestedInNotebook(scroller), FALSE, FALSE, 0);
    else
        gtk_box_pack_start(GTK_BOX(box), scroller, FALSE, FALSE, 0);
    GtkTextBuffer *buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
    if (notebook) {
        gtk_text_buffer_set_text(buffer, notebookText, -1);
    } else if (longText) {
        GString *text = g_string_new(NULL);
        while (text->len < 60000)
            g_string_append(text, "Filler \xF0\x9F\x90\x9D text runs on and on. ");
        g_string_append(text, finalSentence);
        gtk_text_buffer_set_text(buffer, text->str, -1);
        g_string_free(text, TRUE);
    } else {
        gtk_text_buffer_set_text(buffer, viewText, -1);
    }

    entry = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(entry), entryText);
    gtk_box_pack_start(GTK_BOX(box), entry, FALSE, FALSE, 0);

    button = gtk_button_new_with_label("Save");
    gtk_widget_set_halign(button, GTK_ALIGN_START);
    gtk_box_pack_start(GTK_BOX(box), button, FALSE, FALSE, 0);

    gtk_widget_show_all(window);
    if (longText)
        g_timeout_add(300, scrollToEnd, NULL);
    g_timeout_add(900, report, NULL);
    gtk_main();
    return 0;
}
