// The pictures of the five picture buttons, drawn here in code: small pixel drawings made of
// rectangles, lines and discs on the 16 standard VGA colours.
#pragma once

#include "builder/layout_table.h"
#include "builder/win32/gdi_tally.h"

#include <windows.h>

#include <cstdint>
#include <vector>

namespace qvn::win32 {

// A drawing as palette indexes: 0 to 15 are the VGA colours, kClear lets the background show.
class PixelCanvas {
public:
    static constexpr std::uint8_t kClear = 255;

    PixelCanvas(int width, int height);
    [[nodiscard]] int Width() const { return width_; }
    [[nodiscard]] int Height() const { return height_; }
    [[nodiscard]] std::uint8_t At(int x, int y) const;

    void Set(int x, int y, std::uint8_t colour);
    void Fill(int left, int top, int right, int bottom, std::uint8_t colour); // inclusive
    void Frame(int left, int top, int right, int bottom, std::uint8_t colour);
    void Line(int x0, int y0, int x1, int y1, std::uint8_t colour);
    // Pixels whose centre lies within `outer` of (cx, cy) and not within `inner`.
    void Ring(double cx, double cy, double outer, double inner, std::uint8_t colour);

private:
    int width_;
    int height_;
    std::vector<std::uint8_t> pixels_;
};

// The drawing of `subject` at `width` by `height` pixels.
PixelCanvas DrawPicture(layout::Picture subject, int width, int height);

// A 256-colour bitmap of the picture whose clear pixels take `background`.
GdiHandle MakePictureBitmap(const layout::PictureSpec& entry, COLORREF background);
// A 16-colour icon of the picture whose clear pixels are transparent.
GdiHandle MakePictureIcon(const layout::PictureSpec& entry);

} // namespace qvn::win32
