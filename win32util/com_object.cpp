#include "win32util/com_object.h"

namespace qvn::win32util {
namespace {

std::atomic<long> gObjects{0};

} // namespace

void AddObjectReference() noexcept {
    ++gObjects;
}
void ReleaseObjectReference() noexcept {
    --gObjects;
}
long ObjectReferences() noexcept {
    return gObjects.load();
}

} // namespace qvn::win32util
