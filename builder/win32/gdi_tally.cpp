#include "builder/win32/gdi_tally.h"

#include <atomic>
#include <utility>

namespace qvn::win32 {
namespace {

std::atomic<long> gLive{0};

} // namespace

long LiveGdiObjects() {
    return gLive.load();
}

GdiHandle::GdiHandle(HGDIOBJ object) : object_(object) {
    if (object_ != nullptr) {
        ++gLive;
    }
}

GdiHandle::GdiHandle(HICON icon) : object_(icon), isIcon_(true) {
    if (object_ != nullptr) {
        ++gLive;
    }
}

GdiHandle::GdiHandle(GdiHandle&& other) noexcept
    : object_(std::exchange(other.object_, nullptr)), isIcon_(other.isIcon_) {}

GdiHandle& GdiHandle::operator=(GdiHandle&& other) noexcept {
    if (this != &other) {
        Reset();
        object_ = std::exchange(other.object_, nullptr);
        isIcon_ = other.isIcon_;
    }
    return *this;
}

void GdiHandle::Reset() noexcept {
    if (object_ == nullptr) {
        return;
    }
    if (isIcon_) {
        DestroyIcon(static_cast<HICON>(object_));
    } else {
        DeleteObject(object_);
    }
    object_ = nullptr;
    --gLive;
}

} // namespace qvn::win32
