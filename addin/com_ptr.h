// ComPtr helpers. mingw-w64's ComPtr::Attach adds a reference (unlike the Windows SDK's), so
// taking over a new object's initial reference goes through Adopt instead.
#pragma once

#include <wrl/client.h>

namespace qvn::addin {

template <class T> Microsoft::WRL::ComPtr<T> Adopt(T* created) noexcept {
    Microsoft::WRL::ComPtr<T> owner;
    *owner.ReleaseAndGetAddressOf() = created;
    return owner;
}

} // namespace qvn::addin
