#include "win32/MessageBox.h"

#include <cstdio>

#include "win32/GtkDisplay.h"
#include "win32/GtkMessageBox.h"
#include "win32/MessageBoxButtons.h"

namespace {

MessageBoxPresenter& Presenter()
{
    static MessageBoxPresenter presenter;
    return presenter;
}

int WriteToStandardError(const MessageBoxRecord& box)
{
    std::fprintf(stderr, "[%s] %s\n", box.caption.c_str(), box.text.c_str());
    std::fflush(stderr);
    return MessageBoxDefaultAnswer(box.type);
}

} // namespace

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    MessageBoxRecord box{owner, text ? text : "", caption ? caption : "Error", type};
    if (Presenter())
        return Presenter()(box);
    if (MessageBoxButtons(type).empty() || !GtkDisplayAvailable())
        return WriteToStandardError(box);
    return ShowGtkMessageBox(box);
}

MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter)
{
    MessageBoxPresenter previous = std::move(Presenter());
    Presenter() = std::move(presenter);
    return previous;
}
