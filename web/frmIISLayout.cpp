#include "web/frmIIS.h"

// Layout rows name only the columns they set; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12 at -O3 takes the clean-up path of the static table (run only
// when building a later row throws) for a read of an uninitialised font
// name; a false positive.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace t7 {

// The header band lies partly above the client area (its top is -480), so
// its caption edge is never seen; its children are placed relative to it.
const FormLayout& frmIIS::layoutTable() {
    using K = ControlKind;
    // One row per control, as in a layout table.
    // clang-format off
    static const FormLayout layout{
        .name = L"frmIIS",
        .caption = L"InstallShield Wizard",
        .clientWidth = 7485,
        .clientHeight = 4965,
        .dialog = false,
        .font = {},
        .controls =
            {
                {.name = L"frameHead", .kind = K::Frame, .left = -120, .top = -480, .width = 7695,
                 .height = 1335, .backColor = 0xFFFFFF},
                {.name = L"lblTitle", .kind = K::Label, .parent = L"frameHead", .text = L"IIS 配置",
                 .left = 360, .top = 600, .width = 810, .height = 180,
                 .font = Font{L"宋体", 9, true}, .backColor = 0xFFFFFF},
                {.name = L"lblDescription", .kind = K::Label, .parent = L"frameHead",
                 .text = L"设置考试服务器的Web页地址", .left = 600, .top = 840, .width = 2250,
                 .height = 180, .backColor = 0xFFFFFF},
                {.name = L"Image1", .kind = K::Image, .parent = L"frameHead", .left = 6480,
                 .top = 480, .width = 1020, .height = 795, .picture = L"header.png",
                 .stretch = true},
                {.name = L"Line1", .kind = K::Line, .left = 10, .top = 840, .width = 7430,
                 .height = 0},
                {.name = L"Label1", .kind = K::Label, .text = L"安装WEB服务的站点：", .left = 720,
                 .top = 1080, .width = 1710, .height = 180},
                {.name = L"lstWebServer", .kind = K::ListBox, .left = 2520, .top = 960,
                 .width = 2535, .height = 1140, .tabIndex = 0},
                {.name = L"Label3", .kind = K::Label, .text = L"虚拟目录名称：", .left = 1170,
                 .top = 2220, .width = 1260, .height = 180},
                {.name = L"txtVirtualDIR", .kind = K::TextBox, .left = 2520, .top = 2160,
                 .width = 2535, .height = 300, .tabIndex = 1,
                 .toolTip = L"请指定虚拟目录的名称"},
                {.name = L"Label4", .kind = K::Label, .text = L"IP地址：", .left = 1710,
                 .top = 2580, .width = 720, .height = 180},
                {.name = L"cboWEBIP", .kind = K::ComboBox, .left = 2520, .top = 2520,
                 .width = 2535, .height = 300, .tabIndex = 2,
                 .comboStyle = ComboStyle::DropDownList},
                {.name = L"Label2", .kind = K::Label, .text = L"页面URL地址：", .left = 1260,
                 .top = 2910, .width = 1170, .height = 180},
                {.name = L"txtURL", .kind = K::TextBox, .left = 2520, .top = 2880, .width = 3855,
                 .height = 300, .tabIndex = 3},
                {.name = L"frameRoot", .kind = K::Frame, .text = L"InstallShield", .left = -120,
                 .top = 4080, .width = 7935, .height = 1335, .font = Font{L"Arial", 9, false}},
                {.name = L"Picture2", .kind = K::PictureBox, .parent = L"frameRoot",
                 .left = 1200, .top = 240, .width = 6255, .height = 15},
                {.name = L"cmdOK", .kind = K::CommandButton, .text = L"确定(&O)", .left = 4800,
                 .top = 4440, .width = 1125, .height = 300, .tabIndex = 4, .isDefault = true},
                {.name = L"cmdCancel", .kind = K::CommandButton, .text = L"取消(&C)",
                 .left = 6120, .top = 4440, .width = 1125, .height = 300, .tabIndex = 5,
                 .isCancel = true},
            },
    };
    // clang-format on
    return layout;
}

}  // namespace t7
