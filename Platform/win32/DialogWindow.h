#pragma once
#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

class DialogControl;
class ModalDialog;

// The GTK window that shows a modal dialog: a fixed layout that puts each control at its
// template position (2 pixels per dialog unit each way), the template's font, and the
// dialog keys (Tab and Shift+Tab through the tab stops in template order, Enter, Escape).
// Everything the user does goes to the dialog's controls; an exception thrown by the
// procedure is caught here, never inside GTK, and ends the dialog.
class DialogWindow {
public:
    static constexpr int kPixelsPerUnitX = 2;
    static constexpr int kPixelsPerUnitY = 2;

    explicit DialogWindow(ModalDialog& dialog);
    ~DialogWindow();
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;

    // Shows the window, gives `focus` the focus (when not null) and runs until the dialog
    // ends.
    void RunModal(DialogControl* focus);

private:
    GtkWidget* CreateWidget(DialogControl& control);
    void ApplyStyle();
    DialogControl* FocusedControl() const;
    void MoveFocus(bool forward);
    template <typename Action>
    void Guard(Action&& action);

    static gboolean OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);
    static gboolean OnDelete(GtkWidget* widget, GdkEvent* event, gpointer self);
    static void OnClicked(GtkButton* button, gpointer control);
    static void OnToggled(GtkToggleButton* button, gpointer control);
    static void OnChanged(GtkComboBox* combo, gpointer control);

    // What a control's signal handlers are given.
    struct Binding {
        DialogWindow* window;
        DialogControl* control;
    };

    ModalDialog& dialog;
    std::vector<std::unique_ptr<Binding>> bindings;
    GtkWidget* window = nullptr;
    GtkCssProvider* style = nullptr;
    std::string styleClass;
    GMainLoop* loop = nullptr;
};
