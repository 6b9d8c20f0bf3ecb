// Pictures of the window for people to look at: after load, and after composing the
// If-Then-Else example. Written as PNG files into the build tree's screenshots folder.
#include "builder/win32/tests/png_file.h"
#include "builder/win32/tests/view_harness.h"
#include "win32util/text.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace qvn::win32::testing {
using win32util::Utf8;
using win32util::Wide;
namespace {

// The window as the screen shows it, frame and title bar included.
bool SaveWindowPicture(HWND window, const std::wstring& path, std::size_t* distinctColours) {
    SetForegroundWindow(window);
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    GdiFlush();
    RECT rect{};
    GetWindowRect(window, &rect);
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    // The window is in front, so the screen shows it as the user sees it.
    BitBlt(memory, 0, 0, w, h, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    std::vector<std::uint8_t> rgb;
    std::vector<std::uint32_t> colours;
    const auto* pixels = static_cast<const std::uint8_t*>(bits);
    for (int i = 0; i < w * h; ++i) {
        rgb.push_back(pixels[i * 4 + 2]);
        rgb.push_back(pixels[i * 4 + 1]);
        rgb.push_back(pixels[i * 4 + 0]);
        const std::uint32_t colour =
            pixels[i * 4 + 2] << 16 | pixels[i * 4 + 1] << 8 | pixels[i * 4];
        if (colours.size() < 64 &&
            std::find(colours.begin(), colours.end(), colour) == colours.end()) {
            colours.push_back(colour);
        }
    }
    *distinctColours = colours.size();
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return WritePng(path, w, h, rgb);
}

std::wstring ScreenshotPath(const wchar_t* name) {
    const std::wstring dir = Wide(QVN_SCREENSHOT_DIR);
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir + L"/" + name;
}

TEST(BuilderWindowScreenshots, AfterLoadAndAfterComposingTheIfThenElseExample) {
    Harness h;
    h.WhileShown([&] {
        std::size_t colours = 0;
        const std::wstring load = ScreenshotPath(L"builder-load.png");
        ASSERT_TRUE(SaveWindowPicture(h.Window(), load, &colours));
        EXPECT_GT(colours, 8U) << "a picture of the window, not a blank";

        h.ComposeIfThenElseExample();
        const std::wstring example = ScreenshotPath(L"builder-example3.png");
        ASSERT_TRUE(SaveWindowPicture(h.Window(), example, &colours));
        std::printf("[ pictures ] %s\n[ pictures ] %s\n", Utf8(load).c_str(),
                    Utf8(example).c_str());
    });
}

} // namespace
} // namespace qvn::win32::testing
