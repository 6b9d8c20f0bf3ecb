// A count of the GDI and USER objects (bitmaps, fonts, icons) that the builder window makes
// and frees itself. Wine answers 0 to GetGuiResources, so a leak check across many openings
// of the window reads this count instead.
#pragma once

#include <windows.h>

namespace qvn::win32 {

// Objects made and not yet freed by this module, over the whole process.
long LiveGdiObjects();

// Owns one GDI object (DeleteObject) or one icon (DestroyIcon) and keeps the tally.
class GdiHandle {
public:
    GdiHandle() = default;
    explicit GdiHandle(HGDIOBJ object);
    explicit GdiHandle(HICON icon);
    GdiHandle(GdiHandle&& other) noexcept;
    GdiHandle& operator=(GdiHandle&& other) noexcept;
    GdiHandle(const GdiHandle&) = delete;
    GdiHandle& operator=(const GdiHandle&) = delete;
    ~GdiHandle() { Reset(); }

    void Reset() noexcept;
    [[nodiscard]] HGDIOBJ Get() const { return object_; }
    [[nodiscard]] HICON Icon() const { return static_cast<HICON>(object_); }
    [[nodiscard]] explicit operator bool() const { return object_ != nullptr; }

private:
    HGDIOBJ object_ = nullptr;
    bool isIcon_ = false;
};

} // namespace qvn::win32
