#include "win32/DialogControl.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cstring>

#include "win32/Dialog.h"
#include "win32/ModalDialog.h"

namespace {

// Sets a flag for as long as it lives.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag(flag), previous(flag) { flag = true; }
    ~FlagScope() { flag = previous; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag;
    bool previous;
};

} // namespace

DialogControl::DialogControl(ModalDialog& dialog, HWND handle, const DialogItemTemplate& item)
    : dialog(dialog), handle(handle), item(item), text(item.text)
{
}

bool DialogControl::IsPushButton() const
{
    return item.kind == DialogControlKind::PushButton || item.kind == DialogControlKind::DefPushButton;
}

LRESULT DialogControl::Receive(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (item.kind == DialogControlKind::DropDownList)
        return ReceiveList(message, wParam, lParam);

    switch (message) {
    case WM_GETTEXT:
        return CopyText(text, wParam, lParam);
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(text.size());
    case WM_SETTEXT:
        text = lParam ? reinterpret_cast<const char*>(lParam) : "";
        ShowText();
        return TRUE;
    case BM_GETCHECK:
        return item.kind == DialogControlKind::AutoCheckBox && checked ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK:
        if (item.kind == DialogControlKind::AutoCheckBox) {
            // A two-state box shows any other state as checked.
            checked = wParam != BST_UNCHECKED;
            ShowCheck();
        }
        return 0;
    case BM_CLICK:
        if (item.kind != DialogControlKind::Static)
            UserClicked();
        return 0;
    default:
        return 0;
    }
}

LRESULT DialogControl::ReceiveList(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case CB_ADDSTRING:
        if (!lParam)
            return CB_ERR;
        entries.emplace_back(reinterpret_cast<const char*>(lParam));
        ShowAddedEntry();
        return static_cast<LRESULT>(entries.size() - 1);
    case CB_GETCOUNT:
        return static_cast<LRESULT>(entries.size());
    case CB_GETCURSEL:
        return selection;
    case CB_SETCURSEL: {
        // An index past the end, or -1, clears the selection and answers CB_ERR.
        const auto index = static_cast<std::intptr_t>(wParam);
        const bool valid = index >= 0 && index < static_cast<std::intptr_t>(entries.size());
        selection = valid ? static_cast<int>(index) : -1;
        ShowSelection();
        return valid ? selection : CB_ERR;
    }
    case CB_RESETCONTENT:
        entries.clear();
        selection = -1;
        ShowEntries();
        return CB_OKAY;
    case WM_GETTEXT:
        return CopyText(ShownText(), wParam, lParam);
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(ShownText().size());
    case WM_SETTEXT:
        // A list without an edit field has no text of its own to set.
        return CB_ERR;
    default:
        return 0;
    }
}

const std::string& DialogControl::ShownText() const
{
    static const std::string none;
    return selection >= 0 ? entries[static_cast<std::size_t>(selection)] : none;
}

LRESULT DialogControl::CopyText(const std::string& source, WPARAM size, LPARAM buffer) const
{
    if (size == 0 || !buffer)
        return 0;
    const std::size_t length = std::min<std::size_t>(source.size(), size - 1);
    char* destination = reinterpret_cast<char*>(buffer);
    std::memcpy(destination, source.data(), length);
    destination[length] = '\0';
    return static_cast<LRESULT>(length);
}

void DialogControl::UserClicked()
{
    if (item.kind == DialogControlKind::AutoCheckBox) {
        checked = !checked;
        ShowCheck();
    }
    Notify(BN_CLICKED);
}

void DialogControl::UserSetChecked(bool mark)
{
    checked = mark;
    ShowCheck();
    Notify(BN_CLICKED);
}

void DialogControl::UserPicked(int index)
{
    if (index < 0 || index >= static_cast<int>(entries.size()) || index == selection)
        return;
    selection = index;
    ShowSelection();
    Notify(CBN_SELCHANGE);
}

void DialogControl::Notify(WORD code)
{
    dialog.Send(WM_COMMAND, MAKEWPARAM(item.id, code), reinterpret_cast<LPARAM>(handle));
}

void DialogControl::Attach(GtkWidget* shownBy)
{
    widget = shownBy;
    ShowText();
    ShowEntries();
    ShowCheck();
}

void DialogControl::ShowText()
{
    if (!widget)
        return;
    FlagScope updating(updatingWidget);
    switch (item.kind) {
    case DialogControlKind::Static:
        gtk_label_set_text(GTK_LABEL(widget), text.c_str());
        break;
    case DialogControlKind::AutoCheckBox:
    case DialogControlKind::PushButton:
    case DialogControlKind::DefPushButton:
        if (!text.empty() || gtk_button_get_label(GTK_BUTTON(widget)))
            gtk_button_set_label(GTK_BUTTON(widget), text.c_str());
        break;
    case DialogControlKind::DropDownList:
        break;
    }
}

void DialogControl::ShowEntries()
{
    if (!widget || item.kind != DialogControlKind::DropDownList)
        return;
    FlagScope updating(updatingWidget);
    GtkComboBoxText* combo = GTK_COMBO_BOX_TEXT(widget);
    gtk_combo_box_text_remove_all(combo);
    for (const std::string& entry : entries)
        gtk_combo_box_text_append_text(combo, entry.c_str());
    ShowSelection();
}

void DialogControl::ShowAddedEntry()
{
    if (!widget || item.kind != DialogControlKind::DropDownList)
        return;
    FlagScope updating(updatingWidget);
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(widget), entries.back().c_str());
}

void DialogControl::ShowSelection()
{
    if (!widget || item.kind != DialogControlKind::DropDownList)
        return;
    FlagScope updating(updatingWidget);
    gtk_combo_box_set_active(GTK_COMBO_BOX(widget), selection);
}

void DialogControl::ShowCheck()
{
    if (!widget || item.kind != DialogControlKind::AutoCheckBox)
        return;
    FlagScope updating(updatingWidget);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), checked ? TRUE : FALSE);
}
