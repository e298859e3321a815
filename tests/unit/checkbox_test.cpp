#include <gtest/gtest.h>

#include "app/checkbox.h"
#include "base/unique.h"

namespace {

// A real check box in a window that is never shown.
struct CheckBoxFixture : ::testing::Test {
    UniqueWindow parent{CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                                        GetModuleHandleW(nullptr), nullptr)};
    HWND control = CreateWindowExW(0, L"BUTTON", L"Alerte sonore", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 0, 0,
                                   100, 20, parent.get(), nullptr, GetModuleHandleW(nullptr), nullptr);
    CheckBox box;
    std::vector<bool> seen; // the state the handler read, once per run

    void SetUp() override
    {
        ASSERT_TRUE(control);
        box.Attach(control, [this] { seen.push_back(box.Checked()); });
    }
};

} // namespace

TEST_F(CheckBoxFixture, SettingFromCodeRunsTheHandlerOnlyOnAChange)
{
    box.SetChecked(false); // already unchecked: nothing runs
    EXPECT_TRUE(seen.empty());
    box.SetChecked(true);
    box.SetChecked(true);
    box.SetChecked(false);
    EXPECT_EQ(seen, (std::vector<bool>{true, false}));
}
