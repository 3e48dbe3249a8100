#include "win32/MessageBox.h"

#include <cstdio>

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
    return IDOK;
}

} // namespace

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    MessageBoxRecord box{owner, text ? text : "", caption ? caption : "Error", type};
    if (Presenter())
        return Presenter()(box);
    return WriteToStandardError(box);
}

MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter)
{
    MessageBoxPresenter previous = std::move(Presenter());
    Presenter() = std::move(presenter);
    return previous;
}
