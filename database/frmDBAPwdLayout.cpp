#include "database/frmDBAPwd.h"

// Layout rows name only the columns they set; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12 at -O3 takes the clean-up path of the static table (run only
// when building a later row throws) for a read of an uninitialised font
// name; a false positive.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace t7 {

const FormLayout& frmDBAPwd::layoutTable() {
    using K = ControlKind;
    // One row per control, as in a layout table.
    // clang-format off
    static const FormLayout layout{
        .name = L"frmDBAPwd",
        .caption = L"请设置数据库管理员密码",
        .clientWidth = 3945,
        .clientHeight = 2175,
        .dialog = true,
        .font = {},
        .controls =
            {
                {.name = L"Label3", .kind = K::Label,
                 .text = L"当前数据库管理员sa的密码为空，请设置。", .left = 240, .top = 120,
                 .width = 3615, .height = 255, .tabIndex = 5},
                {.name = L"Label2", .kind = K::Label, .text = L"密    码：", .left = 480,
                 .top = 720, .width = 975, .height = 255, .tabIndex = 3,
                 .alignment = TextAlign::Right},
                {.name = L"inputPWD", .kind = K::TextBox, .left = 1560, .top = 600, .width = 1695,
                 .height = 375, .tabIndex = 0, .passwordChar = L'*'},
                {.name = L"Label1", .kind = K::Label, .text = L"密码确认：", .left = 480,
                 .top = 1200, .width = 975, .height = 255, .tabIndex = 4,
                 .alignment = TextAlign::Right},
                {.name = L"inputPWDConfirm", .kind = K::TextBox, .left = 1560, .top = 1080,
                 .width = 1695, .height = 375, .tabIndex = 1, .passwordChar = L'*'},
                {.name = L"cmdOk", .kind = K::CommandButton, .text = L"确定(&O)", .left = 2160,
                 .top = 1680, .width = 1095, .height = 375, .tabIndex = 2, .isDefault = true},
            },
    };
    // clang-format on
    return layout;
}

}  // namespace t7
