#include "builder/win32/button_art.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace qvn::win32 {
namespace {

enum Vga : std::uint8_t {
    Black,
    Maroon,
    Green,
    Olive,
    Navy,
    Purple,
    Teal,
    Silver,
    Grey,
    Red,
    Lime,
    Yellow,
    Blue,
    Fuchsia,
    Aqua,
    White,
};

constexpr RGBQUAD kVga[16] = {
    {0, 0, 0, 0},       {0, 0, 128, 0},   {0, 128, 0, 0},   {0, 128, 128, 0},
    {128, 0, 0, 0},     {128, 0, 128, 0}, {128, 128, 0, 0}, {192, 192, 192, 0},
    {128, 128, 128, 0}, {0, 0, 255, 0},   {0, 255, 0, 0},   {0, 255, 255, 0},
    {255, 0, 0, 0},     {255, 0, 255, 0}, {255, 255, 0, 0}, {255, 255, 255, 0},
};

// A sheet of paper with a folded corner and lines of text.
void Page(PixelCanvas& c, int left, int top, int right, int bottom) {
    c.Fill(left, top, right, bottom, White);
    c.Frame(left, top, right, bottom, Black);
    const int fold = 3;
    for (int i = 0; i < fold; ++i) {
        c.Set(right - i, top + fold - 1 - i, Black);
        for (int x = right - i + 1; x <= right; ++x) {
            c.Set(x, top + fold - 1 - i, PixelCanvas::kClear);
        }
    }
    c.Fill(right - fold + 1, top, right, top, PixelCanvas::kClear);
    for (int y = top + 3; y <= bottom - 2; y += 2) {
        c.Line(left + 2, y, right - 3 + ((y / 2) % 2), y, Grey);
    }
}

void DrawPreview(PixelCanvas& c) {
    Page(c, 2, 1, 15, 19);
    c.Ring(13.5, 11.5, 5.6, 0, Aqua);
    c.Ring(13.5, 11.5, 5.6, 4.2, Navy);
    c.Set(12, 9, White);
    c.Set(11, 10, White);
    for (int i = 0; i < 5; ++i) {
        c.Line(17 + i, 15 + i, 18 + i, 15 + i, Olive);
        c.Line(17 + i, 16 + i, 18 + i, 16 + i, Black);
    }
}

void DrawCopy(PixelCanvas& c) {
    Page(c, 2, 1, 13, 15);
    Page(c, 9, 6, 21, 21);
    c.Frame(9, 6, 21, 21, Navy);
}

void DrawPaste(PixelCanvas& c) {
    c.Fill(2, 3, 16, 21, Olive);
    c.Frame(2, 3, 16, 21, Black);
    c.Fill(6, 1, 12, 4, Silver);
    c.Frame(6, 1, 12, 4, Black);
    c.Fill(8, 0, 10, 1, Grey);
    Page(c, 9, 8, 21, 22);
}

void DrawHelp(PixelCanvas& c) {
    // A thick hook, a stem and a dot.
    c.Ring(12, 7.5, 6.2, 3.0, Blue);
    for (int y = 6; y <= 12; ++y) {
        for (int x = 3; x <= 10; ++x) {
            if (x < 12 && y > 7) {
                c.Set(x, y, PixelCanvas::kClear);
            }
        }
    }
    c.Fill(10, 12, 13, 15, Blue);
    c.Fill(10, 18, 13, 21, Blue);
    c.Line(14, 13, 14, 14, Navy);
    c.Line(14, 19, 14, 21, Navy);
    c.Line(11, 22, 14, 22, Navy);
}

void DrawExit(PixelCanvas& c) {
    const int s = c.Width();
    // Door frame and the dark opening.
    c.Fill(s / 2, 2, s - 3, s - 3, Maroon);
    c.Fill(s / 2 + 2, 4, s - 5, s - 3, Black);
    // The door leaf, swung open towards the viewer.
    for (int x = 0; x < s / 4; ++x) {
        const int top = 4 + x / 2;
        const int bottom = s - 3 - x / 3;
        c.Line(s - 5 - x, top, s - 5 - x, bottom, Red);
    }
    c.Line(s - 5 - s / 4 + 1, 4 + s / 8, s - 5 - s / 4 + 1, s - 3 - s / 12, Maroon);
    // The arrow, pointing in.
    const int mid = s / 2 + 2;
    c.Fill(2, mid - 2, s / 2 + 2, mid + 2, Blue);
    for (int i = 0; i <= 6; ++i) {
        c.Line(s / 2 + 3 + i, mid - 6 + i, s / 2 + 3 + i, mid + 6 - i, Blue);
    }
    c.Line(2, mid + 3, s / 2 + 2, mid + 3, Navy);
}

} // namespace

PixelCanvas::PixelCanvas(int width, int height)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width * height), kClear) {}

std::uint8_t PixelCanvas::At(int x, int y) const {
    return pixels_[static_cast<std::size_t>(y * width_ + x)];
}

void PixelCanvas::Set(int x, int y, std::uint8_t colour) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) {
        pixels_[static_cast<std::size_t>(y * width_ + x)] = colour;
    }
}

void PixelCanvas::Fill(int left, int top, int right, int bottom, std::uint8_t colour) {
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            Set(x, y, colour);
        }
    }
}

void PixelCanvas::Frame(int left, int top, int right, int bottom, std::uint8_t colour) {
    Line(left, top, right, top, colour);
    Line(left, bottom, right, bottom, colour);
    Line(left, top, left, bottom, colour);
    Line(right, top, right, bottom, colour);
}

void PixelCanvas::Line(int x0, int y0, int x1, int y1, std::uint8_t colour) {
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    for (;;) {
        Set(x0, y0, colour);
        if (x0 == x1 && y0 == y1) {
            return;
        }
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x0 += sx;
        }
        if (twice <= dx) {
            error += dx;
            y0 += sy;
        }
    }
}

void PixelCanvas::Ring(double cx, double cy, double outer, double inner, std::uint8_t colour) {
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            if (d <= outer && d >= inner) {
                Set(x, y, colour);
            }
        }
    }
}

PixelCanvas DrawPicture(layout::Picture subject, int width, int height) {
    PixelCanvas canvas(width, height);
    switch (subject) {
    case layout::Picture::Preview:
        DrawPreview(canvas);
        break;
    case layout::Picture::Copy:
        DrawCopy(canvas);
        break;
    case layout::Picture::Paste:
        DrawPaste(canvas);
        break;
    case layout::Picture::Help:
        DrawHelp(canvas);
        break;
    case layout::Picture::Exit:
        DrawExit(canvas);
        break;
    default:
        break;
    }
    return canvas;
}

GdiHandle MakePictureBitmap(const layout::PictureSpec& entry, COLORREF background) {
    const PixelCanvas canvas = DrawPicture(entry.subject, entry.widthPx, entry.heightPx);
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } info{};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = canvas.Width();
    info.header.biHeight = -canvas.Height(); // top-down rows
    info.header.biPlanes = 1;
    info.header.biBitCount = 8;
    info.header.biCompression = BI_RGB;
    info.header.biClrUsed = 256;
    std::copy(std::begin(kVga), std::end(kVga), info.colours);
    info.colours[PixelCanvas::kClear] =
        RGBQUAD{GetBValue(background), GetGValue(background), GetRValue(background), 0};

    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                      &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) {
        return GdiHandle(static_cast<HGDIOBJ>(bitmap));
    }
    const int stride = (canvas.Width() + 3) & ~3;
    auto* rows = static_cast<std::uint8_t*>(bits);
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            rows[y * stride + x] = canvas.At(x, y);
        }
    }
    GdiFlush();
    return GdiHandle(static_cast<HGDIOBJ>(bitmap));
}

GdiHandle MakePictureIcon(const layout::PictureSpec& entry) {
    const PixelCanvas canvas = DrawPicture(entry.subject, entry.widthPx, entry.heightPx);
    const int w = canvas.Width();
    const int h = canvas.Height();

    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[16];
    } info{};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = w;
    info.header.biHeight = -h;
    info.header.biPlanes = 1;
    info.header.biBitCount = 4;
    info.header.biCompression = BI_RGB;
    info.header.biClrUsed = 16;
    std::copy(std::begin(kVga), std::end(kVga), info.colours);
    void* bits = nullptr;
    HBITMAP colour = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                      &bits, nullptr, 0);
    // Monochrome mask, rows padded to 16 bits: 1 keeps the screen, 0 takes the colour.
    const int maskStride = ((w + 15) / 16) * 2;
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(maskStride * h), 0);
    if (colour != nullptr && bits != nullptr) {
        const int stride = ((w * 4 + 31) / 32) * 4;
        auto* rows = static_cast<std::uint8_t*>(bits);
        std::memset(rows, 0, static_cast<std::size_t>(stride * h));
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                std::uint8_t index = canvas.At(x, y);
                if (index == PixelCanvas::kClear) {
                    mask[static_cast<std::size_t>(y * maskStride + x / 8)] |=
                        static_cast<std::uint8_t>(0x80 >> (x % 8));
                    index = Black;
                }
                auto& cell = rows[y * stride + x / 2];
                cell = static_cast<std::uint8_t>(x % 2 == 0 ? (cell & 0x0F) | (index << 4)
                                                            : (cell & 0xF0) | index);
            }
        }
        GdiFlush();
    }
    HBITMAP monochrome = CreateBitmap(w, h, 1, 1, mask.data());
    HICON icon = nullptr;
    if (colour != nullptr && monochrome != nullptr) {
        ICONINFO iconInfo{};
        iconInfo.fIcon = TRUE;
        iconInfo.hbmMask = monochrome;
        iconInfo.hbmColor = colour;
        icon = CreateIconIndirect(&iconInfo);
    }
    // The icon holds copies of both bitmaps.
    if (colour != nullptr) {
        DeleteObject(colour);
    }
    if (monochrome != nullptr) {
        DeleteObject(monochrome);
    }
    return GdiHandle(icon);
}

} // namespace qvn::win32
