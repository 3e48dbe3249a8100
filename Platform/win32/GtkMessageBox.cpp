#include "win32/GtkMessageBox.h"

#include <gtk/gtk.h>

#include "win32/GtkDisplay.h"
#include "win32/MessageBoxButtons.h"

namespace {

GtkMessageType MessageTypeOf(UINT type)
{
    switch (type & MB_ICONMASK) {
    case MB_ICONERROR:
        return GTK_MESSAGE_ERROR;
    case MB_ICONQUESTION:
        return GTK_MESSAGE_QUESTION;
    case MB_ICONWARNING:
        return GTK_MESSAGE_WARNING;
    case MB_ICONINFORMATION:
        return GTK_MESSAGE_INFO;
    default:
        return GTK_MESSAGE_OTHER;
    }
}

// GTK shows only UTF-8; other bytes become replacement characters instead of nothing.
class ValidText {
public:
    explicit ValidText(const std::string& text) : text(g_utf8_make_valid(text.c_str(), -1)) {}
    ~ValidText() { g_free(text); }
    ValidText(const ValidText&) = delete;
    ValidText& operator=(const ValidText&) = delete;
    const char* get() const { return text; }

private:
    char* text;
};

} // namespace

int ShowGtkMessageBox(const MessageBoxRecord& box)
{
    const ValidText text(box.text);
    const ValidText caption(box.caption);
    GtkWidget* dialog =
        gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, MessageTypeOf(box.type), GTK_BUTTONS_NONE, "%s", text.get());
    g_object_ref(dialog);
    gtk_window_set_title(GTK_WINDOW(dialog), caption.get());
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    for (const MessageBoxButton& button : MessageBoxButtons(box.type))
        gtk_dialog_add_button(GTK_DIALOG(dialog), button.label, button.answer);

    const int defaultAnswer = MessageBoxDefaultAnswer(box.type);
    const int escapeAnswer = MessageBoxEscapeAnswer(box.type);
    gtk_window_set_deletable(GTK_WINDOW(dialog), escapeAnswer != 0 ? TRUE : FALSE);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), defaultAnswer);
    if (GtkWidget* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), defaultAnswer))
        gtk_widget_grab_focus(button);

    int answer = 0;
    while (answer == 0) {
        const int response = gtk_dialog_run(GTK_DIALOG(dialog));
        if (response > 0)
            answer = response;
        else if (response == GTK_RESPONSE_DELETE_EVENT)
            answer = escapeAnswer; // 0: a box without Cancel stays until a button is pressed
        else
            answer = escapeAnswer != 0 ? escapeAnswer : defaultAnswer; // the box was destroyed
    }
    gtk_widget_destroy(dialog);
    g_object_unref(dialog);
    GtkDrainEvents();
    return answer;
}
