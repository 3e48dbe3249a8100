#pragma once
#include <string>
#include <vector>

#include "win32/DialogTemplate.h"
#include "win32/WinTypes.h"

class ModalDialog;
typedef struct _GtkWidget GtkWidget;

// One control of a modal dialog: its state (text, list entries, selection, check mark)
// and the messages it answers. When a widget shows the control, the widget follows every
// change of state; the user's changes on the widget come back through the User* calls.
class DialogControl {
public:
    DialogControl(ModalDialog& dialog, HWND handle, const DialogItemTemplate& item);
    DialogControl(const DialogControl&) = delete;
    DialogControl& operator=(const DialogControl&) = delete;

    HWND GetHandle() const { return handle; }
    int GetId() const { return item.id; }
    DialogControlKind GetKind() const { return item.kind; }
    const DialogItemTemplate& GetItem() const { return item; }
    bool IsTabStop() const { return (item.style & WS_TABSTOP) != 0; }
    bool IsPushButton() const;

    const std::string& GetText() const { return text; }
    const std::vector<std::string>& GetEntries() const { return entries; }
    int GetSelection() const { return selection; }
    bool IsChecked() const { return checked; }

    // The control's window procedure: CB_* for lists, BM_* for buttons and check boxes,
    // WM_GETTEXT/WM_GETTEXTLENGTH/WM_SETTEXT for all. Unknown messages answer 0.
    LRESULT Receive(UINT message, WPARAM wParam, LPARAM lParam);

    // What the user did, as the screen (or a driver) reports it; each tells the dialog's
    // procedure with WM_COMMAND as a click or a pick does.
    void UserClicked();             // a push button pressed, or a check box toggled by a click
    void UserSetChecked(bool mark); // a check box whose widget already shows the new mark
    void UserPicked(int index);     // a list entry chosen

    // The widget that shows this control, or null. While the control updates its widget,
    // the widget's signals are its own doing and not the user's.
    void Attach(GtkWidget* shownBy);
    void Detach() { widget = nullptr; }
    GtkWidget* GetWidget() const { return widget; }
    bool IsUpdatingWidget() const { return updatingWidget; }

private:
    LRESULT ReceiveList(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT CopyText(const std::string& source, WPARAM size, LPARAM buffer) const;
    const std::string& ShownText() const;
    void Notify(WORD code);
    void ShowText();
    void ShowEntries();
    void ShowAddedEntry();
    void ShowSelection();
    void ShowCheck();

    ModalDialog& dialog;
    HWND handle;
    DialogItemTemplate item;
    std::string text;
    std::vector<std::string> entries;
    int selection = -1;
    bool checked = false;
    GtkWidget* widget = nullptr;
    bool updatingWidget = false;
};
