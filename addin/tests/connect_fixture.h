// Connect in-process against a fresh stand-in IDE, with the test window behind the builder
// factory and the user's "DisplayOnConnect" value saved and put back around each test.
#pragma once

#include "addin/builder_factory.h"
#include "addin/connect.h"
#include "addin/dispatch_call.h"
#include "addin/module.h"
#include "addin/settings_store.h"
#include "addin/tests/test_builder_form.h"
#include "addin/tests/test_support.h"
#include "standin/stand_in_ide.h"

#include <memory>
#include <optional>

namespace qvn::addin::testing {

using ::qvn::testing::MessageBoxWatcher;

class ConnectHostTest : public ComTest {
protected:
    static constexpr const wchar_t* kName = L"Quorvane.Connect";

    void SetUp() override {
        ComTest::SetUp();
        savedSetting_ = StoredSetting();
        SetBuilderFormFactory([this] { return std::make_unique<TestBuilderForm>(forms_); });
        ResetHost();
    }
    void TearDown() override {
        if (host_) {
            host_->ShutDown();
        }
        host_.reset();
        SetBuilderFormFactory({});
        WriteSetting(savedSetting_);
        ComTest::TearDown();
    }

    void ResetHost() {
        if (host_) {
            host_->ShutDown();
        }
        host_ = std::make_unique<standin::IdeHost>();
    }

    static ComPtr<IUnknown> NewConnect() {
        ComPtr<IUnknown> object;
        EXPECT_EQ(Connect::Create(IID_IUnknown, reinterpret_cast<void**>(object.GetAddressOf())),
                  S_OK);
        return object;
    }
    HRESULT ConnectAs(IUnknown* addIn, long mode) {
        return host_->ConnectObject(addIn, kName, mode);
    }
    HRESULT Disconnect() { return host_->Disconnect(kName, standin::kDisconnectUserClosed); }

    static bool FormDisplayed(IUnknown* addIn) {
        ComPtr<_Connect> connect;
        VARIANT_BOOL displayed = VARIANT_FALSE;
        if (SUCCEEDED(addIn->QueryInterface(IID__Connect,
                                            reinterpret_cast<void**>(connect.GetAddressOf())))) {
            connect->get_FormDisplayed(&displayed);
        }
        return displayed != VARIANT_FALSE;
    }

    static std::optional<std::wstring> StoredSetting() {
        return ReadString(HKEY_CURRENT_USER, kSettingsKey, kDisplayOnConnect);
    }
    static std::wstring ReadSetting() { return StoredSetting().value_or(L"(absent)"); }
    static void WriteSetting(const std::optional<std::wstring>& value) {
        if (value) {
            SaveSetting(kSettingsApp, kSettingsSection, kDisplayOnConnect, *value);
        } else {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kSettingsKey, kDisplayOnConnect);
        }
    }

    static constexpr const wchar_t* kSettingsKey =
        L"Software\\VB and VBA Program Settings\\QVN\\Settings";

    FormLog forms_;
    std::unique_ptr<standin::IdeHost> host_;
    std::optional<std::wstring> savedSetting_;
};

} // namespace qvn::addin::testing
