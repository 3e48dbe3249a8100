#include <cstdio>
#include <cstring>
#include <map>
#include <utility>

#include "DXError.h"
#include "DXFramework.h"
#include "FrameworkEx.h"

namespace {

constexpr int kResolutionList = 1000;
constexpr int kMonitorList = 1001;
constexpr int kMultisampleList = 1002;
constexpr int kFullscreenBox = 1003;
constexpr int kVSyncBox = 1004;
constexpr int kLowVramBox = 1005;
constexpr std::size_t kTextSize = 256;

// The monitor shapes offered, ordered by their value width / height, so the list reads
// 5:4, 4:3, 16:10, 15:9, 16:9.
std::map<float, std::pair<unsigned, unsigned>> Ratios()
{
    static const unsigned knownaspects[][2] = {{5, 4}, {4, 3}, {16, 10}, {15, 9}, {16, 9}};
    std::map<float, std::pair<unsigned, unsigned>> ratios;
    for (const auto& aspect : knownaspects)
        ratios[static_cast<float>(aspect[0]) / static_cast<float>(aspect[1])] = {aspect[0], aspect[1]};
    return ratios;
}

LRESULT AddString(HWND list, const char* text)
{
    return SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

// The selected entry's text, or false when the list answers -1.
bool ReadListText(HWND list, char (&text)[kTextSize])
{
    std::memset(text, 0, sizeof text);
    return SendMessageA(list, WM_GETTEXT, kTextSize, reinterpret_cast<LPARAM>(text)) != -1;
}

INT_PTR InitDialog(HWND dialog)
{
    HWND resolution = GetDlgItem(dialog, kResolutionList);
    HWND monitor = GetDlgItem(dialog, kMonitorList);
    HWND vsync = GetDlgItem(dialog, kVSyncBox);
    HWND fullscreen = GetDlgItem(dialog, kFullscreenBox);
    HWND multisample = GetDlgItem(dialog, kMultisampleList);
    HWND lowVram = GetDlgItem(dialog, kLowVramBox);
    if (!resolution || !monitor || !vsync || !fullscreen || !multisample || !lowVram)
        throw FrameworkEx("Failed to fetch setup resources");

    IDirect3D9* d3d = DXFramework::GetDirect3D();
    if (!d3d)
        throw FrameworkEx("Unable to initialize d3d9");
    const UINT modeCount = d3d->GetAdapterModeCount(0, D3DFMT_X8R8G8B8);
    const auto ratios = Ratios();
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);

    char text[kTextSize];
    LRESULT selectedMode = 0;
    for (UINT index = 0; index < modeCount; ++index) {
        D3DDISPLAYMODE d3ddm{};
        CHECK_RESULT(d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, index, &d3ddm));
        if (d3ddm.Width < 800 || d3ddm.Height < 600 || d3ddm.Format != D3DFMT_X8R8G8B8)
            continue;
        const float ratio = static_cast<float>(d3ddm.Width) / static_cast<float>(d3ddm.Height);
        auto found = ratios.find(ratio);
        const unsigned aw = found == ratios.end() ? 1 : found->second.first;
        const unsigned ah = found == ratios.end() ? 1 : found->second.second;
        std::snprintf(text, sizeof text, "%u x %u @ %uhz (%u:%u)", d3ddm.Width, d3ddm.Height, d3ddm.RefreshRate, aw,
                      ah);
        const LRESULT item = AddString(resolution, text);
        if (static_cast<int>(d3ddm.Width) == screenWidth && static_cast<int>(d3ddm.Height) == screenHeight &&
            item >= 0)
            selectedMode = item;
    }

    DXFramework::DisplaySettings settings = DXFramework::GetDisplaySettings();
    settings.monitorAspect = static_cast<float>(screenWidth) / static_cast<float>(screenHeight);
    DXFramework::SetDisplaySettings(settings);

    LRESULT selectedMonitor = 0;
    for (const auto& [value, pair] : ratios) {
        const bool detected = settings.monitorAspect == value;
        std::snprintf(text, sizeof text, detected ? "%u:%u (Detected)" : "%u:%u", pair.first, pair.second);
        const LRESULT item = AddString(monitor, text);
        if (detected && item >= 0)
            selectedMonitor = item;
    }

    AddString(multisample, "No multisampling");
    for (unsigned samples = 2; samples <= 16; ++samples) {
        const auto type = static_cast<D3DMULTISAMPLE_TYPE>(samples);
        if (d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, FALSE, type, nullptr) == D3D_OK &&
            d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_D16, FALSE, type, nullptr) == D3D_OK) {
            std::snprintf(text, sizeof text, "%u Samples", samples);
            AddString(multisample, text);
        }
    }
    SendMessageA(multisample, CB_SETCURSEL, 0, 0);

    SendMessageA(resolution, CB_SETCURSEL, static_cast<WPARAM>(selectedMode), 0);
    SendMessageA(monitor, CB_SETCURSEL, static_cast<WPARAM>(selectedMonitor), 0);
    SendMessageA(vsync, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(lowVram, BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageA(fullscreen, BM_SETCHECK, BST_UNCHECKED, 0);
    return TRUE;
}

INT_PTR AcceptSettings(HWND dialog)
{
    HWND resolution = GetDlgItem(dialog, kResolutionList);
    HWND multisample = GetDlgItem(dialog, kMultisampleList);
    if (!resolution || !multisample)
        throw FrameworkEx("Failed to fetch setup resources");

    DXFramework::DisplaySettings settings = DXFramework::GetDisplaySettings();
    char text[kTextSize];
    if (!ReadListText(resolution, text))
        throw FrameworkEx("Invalid resolution selection");
    char separator1 = 0;
    char separator2 = 0;
    std::sscanf(text, "%u %c %u %c %u", &settings.width, &separator1, &settings.height, &separator2,
                &settings.refreshRate);

    const bool lowVram = IsDlgButtonChecked(dialog, kLowVramBox) == BST_CHECKED;
    settings.highVRAM = !lowVram;

    if (!ReadListText(multisample, text))
        throw FrameworkEx("Invalid multisample selection");
    unsigned samples = 0;
    settings.multiSampleQuality = 0;
    if (std::strcmp(text, "No multisampling") != 0 && !lowVram)
        std::sscanf(text, "%u", &samples);
    settings.multiSampleType = static_cast<D3DMULTISAMPLE_TYPE>(samples);

    settings.fullscreen = IsDlgButtonChecked(dialog, kFullscreenBox) == BST_CHECKED;
    settings.vsync = IsDlgButtonChecked(dialog, kVSyncBox) == BST_CHECKED;

    if (!ReadListText(GetDlgItem(dialog, kMonitorList), text))
        throw FrameworkEx("Invalid Monitor Aspect Ratio selection");
    unsigned aw = 0;
    unsigned ah = 0;
    if (std::sscanf(text, "%u:%u", &aw, &ah) == 2 && ah != 0)
        settings.monitorAspect = static_cast<float>(aw) / static_cast<float>(ah);

    settings.contentWidth = settings.width;
    settings.contentHeight = (settings.contentWidth * 9u) / 16u;
    if (!settings.fullscreen)
        settings.height = settings.contentHeight; // the window gets exactly the 16:9 shape
    const float pixelAspect =
        settings.fullscreen && settings.height != 0
            ? settings.monitorAspect / (static_cast<float>(settings.width) / static_cast<float>(settings.height))
            : 1.0f;
    settings.contentHeight = static_cast<unsigned>(
        static_cast<unsigned>(9.0f * pixelAspect * static_cast<float>(settings.contentWidth)) / 16u);
    DXFramework::SetDisplaySettings(settings);

    EndDialog(dialog, IDOK);
    return TRUE;
}

} // namespace

INT_PTR DXFramework::SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/)
{
    if (message == WM_INITDIALOG)
        return InitDialog(dialog);
    if (message == WM_COMMAND) {
        switch (LOWORD(wParam)) {
        case IDOK:
            return AcceptSettings(dialog);
        case IDCANCEL:
            EndDialog(dialog, 2);
            PostQuitMessage(0);
            return TRUE;
        default:
            break;
        }
    }
    return FALSE;
}
