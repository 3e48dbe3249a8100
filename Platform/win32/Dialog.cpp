#include "win32/Dialog.h"

#include <memory>
#include <optional>

#include "win32/DialogWindow.h"
#include "win32/GtkDisplay.h"
#include "win32/ModalDialog.h"

namespace {

DialogDriver& Driver()
{
    static DialogDriver driver;
    return driver;
}

ModalDialog* DialogOf(HWND handle)
{
    return ModalDialog::FromHandle(handle);
}

} // namespace

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param)
{
    const DialogTemplate* dialog = FindDialogResource(instance, name);
    if (!dialog)
        return -1;
    return DialogBoxIndirectParamA(instance, *dialog, owner, proc, param);
}

INT_PTR DialogBoxIndirectParamA(HINSTANCE, const DialogTemplate& dialog, HWND owner, DLGPROC proc, LPARAM param)
{
    if (!proc)
        return -1;
    // A driver in place of the screen is fixed for the whole dialog, even if it changes it.
    const DialogDriver driver = Driver();
    if (!driver && !GtkDisplayAvailable())
        return -1;

    ModalDialog modal(dialog, owner, proc);
    std::optional<DialogWindow> window;
    if (!driver)
        window.emplace(modal);

    // The procedure sees the controls before the window shows; what it throws here leaves
    // at once, the window and the handles going with the locals.
    const bool setFocus = modal.Initialise(param);
    if (driver) {
        if (!modal.HasEnded())
            driver(modal.GetHandle());
    } else {
        window->RunModal(setFocus ? modal.FirstTabStop() : nullptr);
    }
    window.reset();

    if (modal.GetFailure())
        std::rethrow_exception(modal.GetFailure());
    return modal.HasEnded() ? modal.GetResult() : -1;
}

BOOL EndDialog(HWND dialog, INT_PTR result)
{
    ModalDialog* modal = DialogOf(dialog);
    if (!modal)
        return FALSE;
    modal->End(result);
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id)
{
    ModalDialog* modal = DialogOf(dialog);
    if (!modal)
        return nullptr;
    DialogControl* control = modal->FindControl(id);
    return control ? control->GetHandle() : nullptr;
}

int GetDlgCtrlID(HWND control)
{
    DialogControl* found = ModalDialog::ControlFromHandle(control);
    return found ? found->GetId() : 0;
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (HWND control = GetDlgItem(dialog, id))
        SendDialogMessage(control, message, wParam, lParam, &result);
    return result;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check)
{
    HWND control = GetDlgItem(dialog, id);
    if (!control)
        return FALSE;
    LRESULT ignored = 0;
    SendDialogMessage(control, BM_SETCHECK, check, 0, &ignored);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id)
{
    return static_cast<UINT>(SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0));
}

bool SendDialogMessage(HWND handle, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    LRESULT answer = 0;
    if (DialogControl* control = ModalDialog::ControlFromHandle(handle))
        answer = control->Receive(message, wParam, lParam);
    else if (ModalDialog* modal = DialogOf(handle))
        answer = modal->Send(message, wParam, lParam);
    else
        return false;
    if (result)
        *result = answer;
    return true;
}

DialogDriver SetDialogDriver(DialogDriver driver)
{
    DialogDriver previous = std::move(Driver());
    Driver() = std::move(driver);
    return previous;
}
