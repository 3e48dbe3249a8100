#pragma once
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "win32/DialogControl.h"
#include "win32/DialogTemplate.h"
#include "win32/WinTypes.h"

using DialogProcedure = std::intptr_t (*)(HWND, UINT, WPARAM, LPARAM);

// A modal dialog while it runs: its handle, its controls built from the template, the
// procedure that answers its messages and the result it ends with. Handles are registered
// from construction to destruction, so a control or dialog handle found later is alive.
class ModalDialog {
public:
    ModalDialog(const DialogTemplate& dialog, HWND owner, DialogProcedure procedure);
    ~ModalDialog();
    ModalDialog(const ModalDialog&) = delete;
    ModalDialog& operator=(const ModalDialog&) = delete;

    static ModalDialog* FromHandle(HWND handle);
    static DialogControl* ControlFromHandle(HWND handle);

    HWND GetHandle() const { return handle; }
    HWND GetOwner() const { return owner; }
    const DialogTemplate& GetTemplate() const { return dialog; }
    const std::string& GetCaption() const { return caption; }
    const std::vector<std::unique_ptr<DialogControl>>& GetControls() const { return controls; }
    DialogControl* FindControl(int id) const;
    // The first control Tab stops at: it gets the focus when the dialog opens.
    DialogControl* FirstTabStop() const;

    // Sends WM_INITDIALOG; true when the procedure asks for the default focus.
    bool Initialise(LPARAM param);
    // Delivers a message to the procedure; what it leaves unhandled gets the dialog's own
    // handling (caption text, WM_CLOSE as IDCANCEL).
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam);

    // The keys and the close box, as a dialog answers them.
    void PressEnter(const DialogControl* focused);
    void PressEscape();
    void Close();

    void End(std::intptr_t value);
    // Ends the dialog because the procedure threw; DialogBoxParamA rethrows it.
    void Fail(std::exception_ptr failure);
    bool HasEnded() const { return ended; }
    std::intptr_t GetResult() const { return result; }
    const std::exception_ptr& GetFailure() const { return failure; }

    // Told when the dialog ends (the window leaves its loop) and when the caption changes.
    void SetEndListener(std::function<void()> listener) { onEnd = std::move(listener); }
    void SetCaptionListener(std::function<void(const std::string&)> listener) { onCaption = std::move(listener); }

private:
    LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam);
    void Command(int id);

    DialogTemplate dialog;
    HWND owner;
    DialogProcedure procedure;
    HWND handle;
    std::string caption;
    std::vector<std::unique_ptr<DialogControl>> controls;
    bool ended = false;
    std::intptr_t result = 0;
    std::exception_ptr failure;
    std::function<void()> onEnd;
    std::function<void(const std::string&)> onCaption;
};
