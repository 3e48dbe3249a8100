#include "win32/ModalDialog.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "win32/Dialog.h"

namespace {

// Dialog handles count up from 0x100000, clear of the SDL window handles (from 0x100).
constexpr std::uintptr_t kFirstDialogHandle = 0x100000;

std::uintptr_t& NextHandle()
{
    static std::uintptr_t next = kFirstDialogHandle;
    return next;
}

HWND AllocateHandle()
{
    return reinterpret_cast<HWND>(NextHandle()++);
}

std::map<HWND, ModalDialog*>& Dialogs()
{
    static std::map<HWND, ModalDialog*> dialogs;
    return dialogs;
}

std::map<HWND, DialogControl*>& Controls()
{
    static std::map<HWND, DialogControl*> controls;
    return controls;
}

} // namespace

ModalDialog::ModalDialog(const DialogTemplate& dialog, HWND owner, DialogProcedure procedure)
    : dialog(dialog), owner(owner), procedure(procedure), handle(AllocateHandle()), caption(dialog.caption)
{
    for (const DialogItemTemplate& item : this->dialog.items)
        controls.push_back(std::make_unique<DialogControl>(*this, AllocateHandle(), item));
    Dialogs()[handle] = this;
    for (const auto& control : controls)
        Controls()[control->GetHandle()] = control.get();
}

ModalDialog::~ModalDialog()
{
    for (const auto& control : controls)
        Controls().erase(control->GetHandle());
    Dialogs().erase(handle);
}

ModalDialog* ModalDialog::FromHandle(HWND handle)
{
    auto found = Dialogs().find(handle);
    return found == Dialogs().end() ? nullptr : found->second;
}

DialogControl* ModalDialog::ControlFromHandle(HWND handle)
{
    auto found = Controls().find(handle);
    return found == Controls().end() ? nullptr : found->second;
}

DialogControl* ModalDialog::FindControl(int id) const
{
    for (const auto& control : controls)
        if (control->GetId() == id)
            return control.get();
    return nullptr;
}

DialogControl* ModalDialog::FirstTabStop() const
{
    for (const auto& control : controls)
        if (control->IsTabStop())
            return control.get();
    return nullptr;
}

bool ModalDialog::Initialise(LPARAM param)
{
    const DialogControl* focus = FirstTabStop();
    const WPARAM focusHandle = focus ? reinterpret_cast<WPARAM>(focus->GetHandle()) : 0;
    return procedure(handle, WM_INITDIALOG, focusHandle, param) != FALSE;
}

LRESULT ModalDialog::Send(UINT message, WPARAM wParam, LPARAM lParam)
{
    const std::intptr_t handled = procedure(handle, message, wParam, lParam);
    if (handled != FALSE)
        return handled;
    return DefaultHandling(message, wParam, lParam);
}

LRESULT ModalDialog::DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        Command(IDCANCEL);
        return 0;
    case WM_GETTEXT: {
        if (wParam == 0 || !lParam)
            return 0;
        const std::size_t length = std::min<std::size_t>(caption.size(), wParam - 1);
        std::memcpy(reinterpret_cast<char*>(lParam), caption.data(), length);
        reinterpret_cast<char*>(lParam)[length] = '\0';
        return static_cast<LRESULT>(length);
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(caption.size());
    case WM_SETTEXT:
        caption = lParam ? reinterpret_cast<const char*>(lParam) : "";
        if (onCaption)
            onCaption(caption);
        return TRUE;
    default:
        return 0;
    }
}

void ModalDialog::Command(int id)
{
    const DialogControl* control = FindControl(id);
    const LPARAM controlHandle = control ? reinterpret_cast<LPARAM>(control->GetHandle()) : 0;
    Send(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), controlHandle);
}

void ModalDialog::PressEnter(const DialogControl* focused)
{
    if (focused && focused->IsPushButton()) {
        Command(focused->GetId());
        return;
    }
    for (const auto& control : controls)
        if (control->GetKind() == DialogControlKind::DefPushButton) {
            Command(control->GetId());
            return;
        }
    Command(IDOK);
}

void ModalDialog::PressEscape()
{
    Command(IDCANCEL);
}

void ModalDialog::Close()
{
    Send(WM_CLOSE, 0, 0);
}

void ModalDialog::End(std::intptr_t value)
{
    // A later call replaces the result of an earlier one, as long as the dialog is open.
    result = value;
    if (ended)
        return;
    ended = true;
    if (onEnd)
        onEnd();
}

void ModalDialog::Fail(std::exception_ptr thrown)
{
    if (!failure)
        failure = std::move(thrown);
    const bool wasEnded = ended;
    ended = true;
    if (!wasEnded && onEnd)
        onEnd();
}
