#include "win32/DialogResources.h"

#include <utility>

namespace {

constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
constexpr DWORD kCheckStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kLabelStyle = WS_CHILD | WS_VISIBLE | SS_LEFT;

// The settings dialog shown before the demo starts: display mode, monitor aspect,
// multisampling, and the four check boxes, each with its label beside it.
DialogTemplate SetupDialog()
{
    using K = DialogControlKind;
    return DialogTemplate{
        "Demo",
        "MS Sans Serif",
        8,
        320,
        256,
        230,
        122,
        WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
        WS_EX_TOPMOST,
        {
            {K::Static, IDC_STATIC, "Resolution", 17, 17, 65, 8, kLabelStyle},
            {K::DropDownList, 1000, "", 73, 13, 140, 188, kListStyle},
            {K::Static, IDC_STATIC, "Monitor", 17, 31, 42, 8, kLabelStyle},
            {K::DropDownList, 1001, "", 73, 27, 140, 94, kListStyle},
            {K::Static, IDC_STATIC, "Multisampling", 17, 46, 43, 8, kLabelStyle},
            {K::DropDownList, 1002, "", 73, 42, 140, 90, kListStyle},
            {K::AutoCheckBox, 1003, "", 18, 69, 8, 8, kCheckStyle},
            {K::Static, IDC_STATIC, "Fullscreen", 28, 69, 55, 8, kLabelStyle},
            {K::AutoCheckBox, 1004, "", 18, 79, 8, 8, kCheckStyle},
            {K::Static, IDC_STATIC, "VSync", 28, 79, 55, 8, kLabelStyle},
            {K::AutoCheckBox, 1006, "", 18, 89, 8, 8, kCheckStyle},
            {K::Static, IDC_STATIC, "Allow WWW connect", 28, 89, 55, 8, kLabelStyle},
            {K::AutoCheckBox, 1005, "", 18, 99, 8, 8, kCheckStyle},
            {K::Static, IDC_STATIC, "Low VRAM", 28, 99, 55, 8, kLabelStyle},
            {K::DefPushButton, 1, "Run", 120, 64, 93, 13, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON},
            {K::PushButton, 2, "Exit", 120, 84, 93, 13, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON},
        },
    };
}

struct DialogResource {
    WORD id;
    DialogTemplate dialog;
};

const std::vector<DialogResource>& Resources()
{
    static const std::vector<DialogResource> resources = {
        {102, SetupDialog()},
    };
    return resources;
}

} // namespace

const DialogTemplate* FindDialogResource(HINSTANCE, LPCSTR name)
{
    if (!name || !IS_INTRESOURCE(name))
        return nullptr;
    const auto id = static_cast<WORD>(reinterpret_cast<std::uintptr_t>(name));
    for (const DialogResource& resource : Resources())
        if (resource.id == id)
            return &resource.dialog;
    return nullptr;
}
