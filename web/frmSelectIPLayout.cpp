#include "web/frmSelectIP.h"

// Layout rows name only the columns they set; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12 at -O3 takes the clean-up path of the static table (run only
// when building a later row throws) for a read of an uninitialised font
// name; a false positive.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace t7 {

const FormLayout& frmSelectIP::layoutTable() {
    using K = ControlKind;
    // One row per control, as in a layout table.
    // clang-format off
    static const FormLayout layout{
        .name = L"frmSelectIP",
        .caption = L"设置IP",
        .clientWidth = 3840,
        .clientHeight = 2685,
        .dialog = true,
        .font = {},
        .controls =
            {
                {.name = L"Label1", .kind = K::Label, .text = L"检测到本机可能有多个网络连接设备",
                 .left = 120, .top = 120, .width = 2880, .height = 180},
                {.name = L"Label2", .kind = K::Label, .text = L"请指定本地网络中使用的IP地址：",
                 .left = 120, .top = 360, .width = 2700, .height = 180},
                {.name = L"optIP", .kind = K::OptionButton, .text = L"optIP", .left = 360,
                 .top = 720, .width = 3375, .height = 180, .tabIndex = 0, .isArray = true},
                {.name = L"cmdOK", .kind = K::CommandButton, .text = L"确定(&O)", .left = 1200,
                 .top = 2160, .width = 1455, .height = 375, .tabIndex = 1, .isDefault = true},
            },
    };
    // clang-format on
    return layout;
}

}  // namespace t7
