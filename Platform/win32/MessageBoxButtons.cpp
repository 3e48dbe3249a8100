#include "win32/MessageBoxButtons.h"

#include "win32/MessageBox.h"

std::vector<MessageBoxButton> MessageBoxButtons(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OK:
        return {{"_OK", IDOK}};
    case MB_OKCANCEL:
        return {{"_OK", IDOK}, {"_Cancel", IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
        return {{"_Abort", IDABORT}, {"_Retry", IDRETRY}, {"_Ignore", IDIGNORE}};
    case MB_YESNOCANCEL:
        return {{"_Yes", IDYES}, {"_No", IDNO}, {"_Cancel", IDCANCEL}};
    case MB_YESNO:
        return {{"_Yes", IDYES}, {"_No", IDNO}};
    case MB_RETRYCANCEL:
        return {{"_Retry", IDRETRY}, {"_Cancel", IDCANCEL}};
    case MB_CANCELTRYCONTINUE:
        return {{"_Cancel", IDCANCEL}, {"_Try Again", IDTRYAGAIN}, {"_Continue", IDCONTINUE}};
    default:
        return {};
    }
}

int MessageBoxDefaultAnswer(UINT type)
{
    const std::vector<MessageBoxButton> buttons = MessageBoxButtons(type);
    if (buttons.empty())
        return 0;
    const std::size_t index = (type & MB_DEFMASK) >> 8;
    return index < buttons.size() ? buttons[index].answer : buttons.front().answer;
}

int MessageBoxEscapeAnswer(UINT type)
{
    const std::vector<MessageBoxButton> buttons = MessageBoxButtons(type);
    if (buttons.size() == 1)
        return buttons.front().answer;
    for (const MessageBoxButton& button : buttons)
        if (button.answer == IDCANCEL)
            return IDCANCEL;
    return 0;
}
