#include "package/journey/ui_driver.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <thread>

namespace qvn::drive {
namespace {

struct TopSearch {
    const wchar_t* className;
    DWORD processId;
    HWND found;
};

BOOL CALLBACK VisitTop(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<TopSearch*>(param);
    if (!IsWindowVisible(window) || ClassName(window) != search->className) {
        return TRUE;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (search->processId != 0 && pid != search->processId) {
        return TRUE;
    }
    search->found = window;
    return FALSE;
}

struct DialogSearch {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK VisitDialog(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<DialogSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (IsWindowVisible(window) && ClassName(window) == L"#32770" &&
        (search->processId == 0 || pid == search->processId)) {
        search->found.push_back(window);
    }
    return TRUE;
}

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

bool WriteBmp(const std::wstring& path, int width, int height,
              const std::vector<std::uint8_t>& bgrTopDown) {
    const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3U;
    const std::uint32_t pixelBytes = stride * static_cast<std::uint32_t>(height);
    std::vector<std::uint8_t> file;
    file.push_back('B');
    file.push_back('M');
    PutLe(file, 54 + pixelBytes, 4);
    PutLe(file, 0, 4);
    PutLe(file, 54, 4);
    PutLe(file, 40, 4);
    PutLe(file, static_cast<std::uint32_t>(width), 4);
    PutLe(file, static_cast<std::uint32_t>(height), 4); // positive: rows bottom-up
    PutLe(file, 1, 2);
    PutLe(file, 24, 2);
    PutLe(file, 0, 4);
    PutLe(file, pixelBytes, 4);
    PutLe(file, 2835, 4); // 72 DPI
    PutLe(file, 2835, 4);
    PutLe(file, 0, 4);
    PutLe(file, 0, 4);
    for (int y = height - 1; y >= 0; --y) {
        const auto* row = &bgrTopDown[static_cast<std::size_t>(y) * width * 3];
        file.insert(file.end(), row, row + static_cast<std::size_t>(width) * 3);
        file.resize(file.size() + (stride - static_cast<std::uint32_t>(width) * 3), 0);
    }
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    return static_cast<bool>(out);
}

} // namespace

HWND FindTopWindow(const wchar_t* className, DWORD processId) {
    TopSearch search{className, processId, nullptr};
    EnumWindows(VisitTop, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForTopWindow(const wchar_t* className, DWORD processId,
                      std::chrono::milliseconds deadline) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindTopWindow(className, processId)) != nullptr; }, deadline);
    return found;
}

bool WaitForWindowGone(HWND window, std::chrono::milliseconds deadline) {
    return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, deadline);
}

std::wstring WindowText(HWND window) {
    // WM_GETTEXT rather than GetWindowText: it reaches the text of another process's controls.
    const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto got = SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(text.size()),
                                  reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(std::max<LRESULT>(got, 0)));
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

HWND FindChildOfClass(HWND parent, const wchar_t* className) {
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (lstrcmpiW(ClassName(child).c_str(), className) == 0) {
            return child;
        }
    }
    return nullptr;
}

HWND BuilderControl(HWND builder, layout::ControlName name, int index) {
    const auto row = layout::FindRow(name, index);
    return row ? GetDlgItem(builder, layout::ControlIdOf(*row)) : nullptr;
}

std::optional<int> IndexWithCaption(HWND builder, layout::ControlName name,
                                    std::string_view caption) {
    for (int index = 0; layout::FindRow(name, index); ++index) {
        HWND control = BuilderControl(builder, name, index);
        if (control != nullptr && Utf8(WindowText(control)) == caption) {
            return index;
        }
    }
    return std::nullopt;
}

void Click(HWND control) {
    SendMessageW(control, BM_CLICK, 0, 0);
}

void Type(HWND control, const std::string& text) {
    const std::wstring wide = Wide(text);
    SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

bool IsChecked(HWND control) {
    return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::vector<HWND> DialogsOf(DWORD processId) {
    DialogSearch search{processId, {}};
    EnumWindows(VisitDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

RECT AreaOf(const std::vector<HWND>& windows) {
    RECT area{};
    bool first = true;
    for (HWND window : windows) {
        RECT r{};
        if (window == nullptr || !GetWindowRect(window, &r)) {
            continue;
        }
        if (first) {
            area = r;
            first = false;
        } else {
            UnionRect(&area, &area, &r);
        }
    }
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    IntersectRect(&area, &area, &screen);
    return area;
}

namespace {

// The pixels of `area` of the screen, blue-green-red from the top row down.
std::vector<std::uint8_t> CaptureScreen(const RECT& area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<std::uint8_t> bgr;
    if (bitmap != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
        GdiFlush();
        bgr.reserve(static_cast<std::size_t>(width) * height * 3);
        const auto* pixels = static_cast<const std::uint8_t*>(bits);
        for (int i = 0; i < width * height; ++i) {
            const auto* p = pixels + static_cast<std::size_t>(i) * 4;
            bgr.insert(bgr.end(), {p[0], p[1], p[2]});
        }
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return bgr;
}

bool Varied(const std::vector<std::uint8_t>& bgr) {
    for (std::size_t i = 3; i + 2 < bgr.size(); i += 3) {
        if (bgr[i] != bgr[0] || bgr[i + 1] != bgr[1] || bgr[i + 2] != bgr[2]) {
            return true;
        }
    }
    return false;
}

} // namespace

bool SaveScreenPicture(const RECT& area, const std::wstring& path) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) {
        return false;
    }
    // Other programs paint in their own time: the picture is taken once two captures in a row
    // agree, so that no half-painted window is caught.
    std::vector<std::uint8_t> last = CaptureScreen(area);
    std::vector<std::uint8_t> now;
    WaitUntil(
        [&] {
            std::this_thread::sleep_for(100ms);
            now = CaptureScreen(area);
            const bool settled = now == last && Varied(now);
            last = now;
            return settled;
        },
        5s);
    return Varied(last) && WriteBmp(path, width, height, last);
}

} // namespace qvn::drive
