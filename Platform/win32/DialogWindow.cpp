#include "win32/DialogWindow.h"

#include <exception>
#include <sstream>

#include "win32/DialogControl.h"
#include "win32/GtkDisplay.h"
#include "win32/ModalDialog.h"

namespace {

// The closed box of a drop-down list is one line high, whatever height the template
// gives for its dropped list.
constexpr int kClosedListHeightUnits = 12;

// The template's font is sized for 8 dialog units per line of text; scale it to the
// pixels a unit has here (a point is 4/3 pixel, a 8-point line is 13 pixels on Windows).
double FontPixels(int pointSize)
{
    return pointSize * 4.0 / 3.0 * DialogWindow::kPixelsPerUnitY * 8.0 / 13.0;
}

int NextStyleNumber()
{
    static int number = 0;
    return ++number;
}

DialogWindow* Self(gpointer self)
{
    return static_cast<DialogWindow*>(self);
}

} // namespace

template <typename Action>
void DialogWindow::Guard(Action&& action)
{
    if (dialog.HasEnded())
        return;
    try {
        action();
    } catch (...) {
        dialog.Fail(std::current_exception());
    }
}

DialogWindow::DialogWindow(ModalDialog& dialog) : dialog(dialog)
{
    const DialogTemplate& layout = dialog.GetTemplate();
    window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_ref_sink(window);
    gtk_window_set_title(GTK_WINDOW(window), dialog.GetCaption().c_str());
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_modal(GTK_WINDOW(window), TRUE);
    gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_deletable(GTK_WINDOW(window), (layout.style & WS_SYSMENU) ? TRUE : FALSE);
    gtk_window_set_keep_above(GTK_WINDOW(window), (layout.exStyle & WS_EX_TOPMOST) ? TRUE : FALSE);
    gtk_window_move(GTK_WINDOW(window), layout.x * kPixelsPerUnitX, layout.y * kPixelsPerUnitY);

    GtkWidget* fixed = gtk_fixed_new();
    gtk_widget_set_size_request(fixed, layout.cx * kPixelsPerUnitX, layout.cy * kPixelsPerUnitY);
    gtk_container_add(GTK_CONTAINER(window), fixed);
    for (const auto& control : dialog.GetControls()) {
        const DialogItemTemplate& item = control->GetItem();
        GtkWidget* widget = CreateWidget(*control);
        gtk_fixed_put(GTK_FIXED(fixed), widget, item.x * kPixelsPerUnitX, item.y * kPixelsPerUnitY);
        control->Attach(widget);
        if (item.kind == DialogControlKind::DefPushButton) {
            gtk_widget_set_can_default(widget, TRUE);
            gtk_window_set_default(GTK_WINDOW(window), widget);
        }
    }
    ApplyStyle();

    g_signal_connect(window, "key-press-event", G_CALLBACK(OnKeyPress), this);
    g_signal_connect(window, "delete-event", G_CALLBACK(OnDelete), this);
    dialog.SetCaptionListener(
        [this](const std::string& caption) { gtk_window_set_title(GTK_WINDOW(window), caption.c_str()); });
    dialog.SetEndListener([this] {
        if (loop)
            g_main_loop_quit(loop);
    });
}

DialogWindow::~DialogWindow()
{
    dialog.SetEndListener(nullptr);
    dialog.SetCaptionListener(nullptr);
    g_signal_handlers_disconnect_by_data(window, this);
    for (const auto& binding : bindings)
        if (GtkWidget* widget = binding->control->GetWidget())
            g_signal_handlers_disconnect_by_data(widget, binding.get());
    for (const auto& control : dialog.GetControls())
        control->Detach();
    gtk_widget_destroy(window);
    g_object_unref(window);
    if (style) {
        gtk_style_context_remove_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(style));
        g_object_unref(style);
    }
    GtkDrainEvents();
}

GtkWidget* DialogWindow::CreateWidget(DialogControl& control)
{
    const DialogItemTemplate& item = control.GetItem();
    const int width = item.cx * kPixelsPerUnitX;
    const int height = item.cy * kPixelsPerUnitY;
    bindings.push_back(std::make_unique<Binding>(Binding{this, &control}));
    Binding* binding = bindings.back().get();
    GtkWidget* widget = nullptr;
    switch (item.kind) {
    case DialogControlKind::Static:
        widget = gtk_label_new(item.text.c_str());
        gtk_label_set_xalign(GTK_LABEL(widget), 0.0f);
        gtk_label_set_yalign(GTK_LABEL(widget), 0.0f);
        gtk_widget_set_size_request(widget, width, height);
        break;
    case DialogControlKind::DropDownList:
        widget = gtk_combo_box_text_new();
        gtk_widget_set_size_request(widget, width, kClosedListHeightUnits * kPixelsPerUnitY);
        g_signal_connect(widget, "changed", G_CALLBACK(OnChanged), binding);
        break;
    case DialogControlKind::AutoCheckBox:
        widget = item.text.empty() ? gtk_check_button_new() : gtk_check_button_new_with_label(item.text.c_str());
        gtk_widget_set_size_request(widget, width, height);
        g_signal_connect(widget, "toggled", G_CALLBACK(OnToggled), binding);
        break;
    case DialogControlKind::PushButton:
    case DialogControlKind::DefPushButton:
        widget = gtk_button_new_with_label(item.text.c_str());
        gtk_widget_set_size_request(widget, width, height);
        g_signal_connect(widget, "clicked", G_CALLBACK(OnClicked), binding);
        break;
    }
    gtk_widget_set_can_focus(widget, control.IsTabStop() ? TRUE : FALSE);
    return widget;
}

void DialogWindow::ApplyStyle()
{
    // Compact widgets, so that they fit the sizes the template gives them.
    styleClass = "dialog-template-" + std::to_string(NextStyleNumber());
    const DialogTemplate& layout = dialog.GetTemplate();
    const std::string scope = "." + styleClass;
    std::ostringstream css;
    css.imbue(std::locale::classic());
    css << scope << " { font-family: \"" << layout.fontName << "\", sans-serif; font-size: "
        << FontPixels(layout.pointSize) << "px; }\n"
        << scope << " button { min-height: 0; min-width: 0; padding: 0 6px; }\n"
        << scope << " combobox button { padding: 0 4px; }\n"
        << scope << " checkbutton { min-height: 0; padding: 0; }\n"
        << scope << " check { margin: 0; }\n";
    style = gtk_css_provider_new();
    gtk_css_provider_load_from_data(style, css.str().c_str(), -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(style),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    gtk_style_context_add_class(gtk_widget_get_style_context(window), styleClass.c_str());
}

void DialogWindow::RunModal(DialogControl* focus)
{
    if (dialog.HasEnded())
        return;
    gtk_widget_show_all(window);
    if (focus && focus->GetWidget())
        gtk_widget_grab_focus(focus->GetWidget());
    gtk_window_present(GTK_WINDOW(window));
    loop = g_main_loop_new(nullptr, FALSE);
    if (!dialog.HasEnded())
        g_main_loop_run(loop);
    g_main_loop_unref(loop);
    loop = nullptr;
    gtk_widget_hide(window);
}

DialogControl* DialogWindow::FocusedControl() const
{
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
    if (!focus)
        return nullptr;
    for (const auto& control : dialog.GetControls()) {
        GtkWidget* widget = control->GetWidget();
        if (widget && (widget == focus || gtk_widget_is_ancestor(focus, widget)))
            return control.get();
    }
    return nullptr;
}

void DialogWindow::MoveFocus(bool forward)
{
    std::vector<DialogControl*> stops;
    for (const auto& control : dialog.GetControls())
        if (control->IsTabStop() && control->GetWidget() && gtk_widget_is_sensitive(control->GetWidget()))
            stops.push_back(control.get());
    if (stops.empty())
        return;
    const DialogControl* current = FocusedControl();
    std::size_t index = 0;
    for (std::size_t i = 0; i < stops.size(); ++i)
        if (stops[i] == current)
            index = forward ? (i + 1) % stops.size() : (i + stops.size() - 1) % stops.size();
    if (!current && !forward)
        index = stops.size() - 1;
    gtk_widget_grab_focus(stops[index]->GetWidget());
}

gboolean DialogWindow::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self)
{
    DialogWindow& window = *Self(self);
    switch (event->keyval) {
    case GDK_KEY_Escape:
        window.Guard([&] { window.dialog.PressEscape(); });
        return TRUE;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
        window.Guard([&] { window.dialog.PressEnter(window.FocusedControl()); });
        return TRUE;
    case GDK_KEY_Tab:
    case GDK_KEY_KP_Tab:
        window.MoveFocus((event->state & GDK_SHIFT_MASK) == 0);
        return TRUE;
    case GDK_KEY_ISO_Left_Tab:
        window.MoveFocus(false);
        return TRUE;
    default:
        return FALSE;
    }
}

gboolean DialogWindow::OnDelete(GtkWidget*, GdkEvent*, gpointer self)
{
    DialogWindow& window = *Self(self);
    window.Guard([&] { window.dialog.Close(); });
    // The window stays until the procedure ends the dialog.
    return TRUE;
}

void DialogWindow::OnClicked(GtkButton*, gpointer data)
{
    auto& binding = *static_cast<Binding*>(data);
    if (!binding.control->IsUpdatingWidget())
        binding.window->Guard([&] { binding.control->UserClicked(); });
}

void DialogWindow::OnToggled(GtkToggleButton* button, gpointer data)
{
    auto& binding = *static_cast<Binding*>(data);
    const bool mark = gtk_toggle_button_get_active(button) != FALSE;
    if (!binding.control->IsUpdatingWidget())
        binding.window->Guard([&] { binding.control->UserSetChecked(mark); });
}

void DialogWindow::OnChanged(GtkComboBox* combo, gpointer data)
{
    auto& binding = *static_cast<Binding*>(data);
    const int index = gtk_combo_box_get_active(combo);
    if (!binding.control->IsUpdatingWidget())
        binding.window->Guard([&] { binding.control->UserPicked(index); });
}
