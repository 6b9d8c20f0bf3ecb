#include "testsupport/registry_image.h"

#include "win32util/unique_handles.h"

#include "testsupport/message_box_watcher.h"
#include "testsupport/wine_differences.h"

#include <cstdio>

namespace qvn::testing {
namespace {

std::wstring ValueText(DWORD type, const std::vector<BYTE>& data) {
    std::wstring text = std::to_wstring(type) + L":";
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        text.append(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
        return text;
    }
    wchar_t hex[3];
    for (BYTE b : data) {
        swprintf(hex, 3, L"%02x", b);
        text += hex;
    }
    return text;
}

bool IsWineNoise(const std::wstring& entry) {
    for (const auto& part : kWineRegistryNoise) {
        if (entry.size() >= part.prefix.size() &&
            CompareStringOrdinal(entry.c_str(), static_cast<int>(part.prefix.size()),
                                 part.prefix.data(), static_cast<int>(part.prefix.size()),
                                 TRUE) == CSTR_EQUAL) {
            return true;
        }
    }
    return false;
}

// Links between keys (Wine's views share some subtrees through them) are read as the links
// they are, never followed: a followed link would list its target twice or lead back up.
void ReadKey(HKEY parent, const std::wstring& child, const std::wstring& name,
             RegistryImage& image) {
    if (IsWineNoise(name)) {
        return;
    }
    win32util::unique_hkey key;
    const REGSAM access = KEY_READ | KEY_WOW64_64KEY;
    if (RegOpenKeyExW(parent, child.empty() ? nullptr : child.c_str(), REG_OPTION_OPEN_LINK, access,
                      key.put()) != ERROR_SUCCESS) {
        return;
    }
    image[name];
    DWORD maxName = 0, maxValueName = 0, maxData = 0;
    RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, &maxName, nullptr, nullptr,
                     &maxValueName, &maxData, nullptr, nullptr);
    std::vector<wchar_t> valueName(maxValueName + 2);
    std::vector<BYTE> data(maxData + 2);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(valueName.size());
        DWORD dataLength = static_cast<DWORD>(data.size());
        DWORD type = REG_NONE;
        const LONG status = RegEnumValueW(key.get(), i, valueName.data(), &nameLength, nullptr,
                                          &type, data.data(), &dataLength);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status != ERROR_SUCCESS) {
            continue;
        }
        image[name + L"|" + std::wstring(valueName.data(), nameLength)] =
            ValueText(type, std::vector<BYTE>(data.begin(), data.begin() + dataLength));
    }
    std::vector<wchar_t> childName(maxName + 2);
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(childName.size());
        if (RegEnumKeyExW(key.get(), i, childName.data(), &length, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS) {
            break;
        }
        const std::wstring sub(childName.data(), length);
        ReadKey(key.get(), sub, name + L"\\" + sub, image);
    }
}

} // namespace

RegistryImage ReadRegistry() {
    RegistryImage image;
    ReadKey(HKEY_LOCAL_MACHINE, L"Software", L"HKLM\\Software", image);
    ReadKey(HKEY_CURRENT_USER, L"Software", L"HKCU\\Software", image);
    return image;
}

std::vector<std::string> RegistryChanges(const RegistryImage& before, const RegistryImage& after) {
    std::vector<std::string> changes;
    auto b = before.begin();
    auto a = after.begin();
    while (b != before.end() || a != after.end()) {
        if (a == after.end() || (b != before.end() && b->first < a->first)) {
            if (!IsWineNoise(b->first)) {
                changes.push_back("- " + Utf8(b->first));
            }
            ++b;
        } else if (b == before.end() || a->first < b->first) {
            if (!IsWineNoise(a->first)) {
                changes.push_back("+ " + Utf8(a->first) + (a->second.empty() ? "" : " = ") +
                                  Utf8(a->second));
            }
            ++a;
        } else {
            if (a->second != b->second && !IsWineNoise(a->first)) {
                changes.push_back("~ " + Utf8(a->first) + ": " + Utf8(b->second) + " -> " +
                                  Utf8(a->second));
            }
            ++a;
            ++b;
        }
    }
    return changes;
}

} // namespace qvn::testing
