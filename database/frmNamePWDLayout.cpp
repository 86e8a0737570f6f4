#include "database/frmNamePWD.h"

// Layout rows name only the columns they set; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12 at -O3 takes the clean-up path of the static table (run only
// when building a later row throws) for a read of an uninitialised font
// name; a false positive.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace t7 {

// The three step frames are hidden at design time and share one place; the
// step routines show one at a time. The header band's top edge lies above
// the client area.
const FormLayout& frmNamePWD::layoutTable() {
    using K = ControlKind;
    // One row per control, as in a layout table.
    // clang-format off
    static const FormLayout layout{
        .name = L"frmNamePWD",
        .caption = L"InstallShield Wizard",
        .clientWidth = 7455,
        .clientHeight = 4935,
        .dialog = false,
        .font = {},
        .controls =
            {
                {.name = L"frameHead", .kind = K::Frame, .left = -120, .top = -480, .width = 7695,
                 .height = 1335, .backColor = 0xFFFFFF},
                {.name = L"lblTitle", .kind = K::Label, .parent = L"frameHead",
                 .text = L"SQL SERVER 配置", .left = 360, .top = 600, .width = 1545, .height = 180,
                 .font = Font{L"宋体", 9, true}, .backColor = 0xFFFFFF},
                {.name = L"lblDescription", .kind = K::Label, .parent = L"frameHead",
                 .text = L"安装设置数据库服务器", .left = 600, .top = 840, .width = 1800,
                 .height = 180, .backColor = 0xFFFFFF},
                {.name = L"Image1", .kind = K::Image, .parent = L"frameHead", .left = 6480,
                 .top = 480, .width = 1020, .height = 800, .picture = L"header.png",
                 .stretch = true},

                {.name = L"frameSQL", .kind = K::Frame, .text = L"SQL SERVER 管理员名称和密码",
                 .left = 1800, .top = 1320, .width = 3975, .height = 2535, .visible = false},
                {.name = L"Label9", .kind = K::Label, .parent = L"frameSQL",
                 .text = L"服务器地址：", .left = 240, .top = 480, .width = 1080, .height = 180},
                {.name = L"cboSQLServerList", .kind = K::ComboBox, .parent = L"frameSQL",
                 .left = 1320, .top = 480, .width = 1935, .height = 300, .tabIndex = 3,
                 .comboStyle = ComboStyle::DropDownCombo},
                {.name = L"Label13", .kind = K::Label, .parent = L"frameSQL", .text = L"用户名：",
                 .left = 600, .top = 960, .width = 720, .height = 180,
                 .alignment = TextAlign::Right},
                {.name = L"txtSqlUser", .kind = K::TextBox, .parent = L"frameSQL", .left = 1320,
                 .top = 960, .width = 1695, .height = 300, .tabIndex = 5},
                {.name = L"Label12", .kind = K::Label, .parent = L"frameSQL", .text = L"密  码：",
                 .left = 615, .top = 1560, .width = 720, .height = 180,
                 .alignment = TextAlign::Right},
                {.name = L"txtSqlPwd", .kind = K::TextBox, .parent = L"frameSQL", .left = 1320,
                 .top = 1470, .width = 1695, .height = 300, .tabIndex = 4, .passwordChar = L'*'},
                {.name = L"lblBottom", .kind = K::Label, .parent = L"frameSQL", .left = 240,
                 .top = 1920, .width = 3450, .height = 420, .visible = false},

                {.name = L"frameDB", .kind = K::Frame, .text = L"检测到已安装过的数据库",
                 .left = 1800, .top = 1320, .width = 3855, .height = 2295, .visible = false},
                {.name = L"optNewDB", .kind = K::OptionButton, .parent = L"frameDB",
                 .text = L"安装新的数据库", .left = 360, .top = 360, .width = 1815, .height = 255,
                 .tabIndex = 0, .value = true},
                {.name = L"optOldDB", .kind = K::OptionButton, .parent = L"frameDB",
                 .text = L"使用已安装过的数据库", .left = 360, .top = 720, .width = 2175,
                 .height = 255, .tabIndex = 1},
                {.name = L"lstOldDB", .kind = K::ListBox, .parent = L"frameDB", .left = 480,
                 .top = 1080, .width = 2895, .height = 960, .tabIndex = 2, .enabled = false},

                {.name = L"frameOstrel", .kind = K::Frame, .text = L"Vessa考试系统管理员设置",
                 .left = 1800, .top = 1320, .width = 3855, .height = 2295, .visible = false},
                {.name = L"lblNotes", .kind = K::Label, .parent = L"frameOstrel", .left = 240,
                 .top = 240, .width = 3495, .height = 255},
                {.name = L"Label1", .kind = K::Label, .parent = L"frameOstrel", .text = L"用户名：",
                 .left = 615, .top = 697, .width = 720, .height = 180,
                 .alignment = TextAlign::Right},
                {.name = L"txtOstrelUser", .kind = K::TextBox, .parent = L"frameOstrel",
                 .left = 1320, .top = 600, .width = 1695, .height = 375, .tabIndex = 6},
                {.name = L"Label2", .kind = K::Label, .parent = L"frameOstrel", .text = L"密  码：",
                 .left = 615, .top = 1297, .width = 720, .height = 180,
                 .alignment = TextAlign::Right},
                {.name = L"txtOstrelPwd", .kind = K::TextBox, .parent = L"frameOstrel",
                 .left = 1320, .top = 1200, .width = 1695, .height = 375, .tabIndex = 7,
                 .passwordChar = L'*'},
                {.name = L"Label3", .kind = K::Label, .parent = L"frameOstrel",
                 .text = L"密码确认：", .left = 435, .top = 1897, .width = 900, .height = 180,
                 .alignment = TextAlign::Right},
                {.name = L"txtOstrelPwdConfirm", .kind = K::TextBox, .parent = L"frameOstrel",
                 .left = 1320, .top = 1800, .width = 1695, .height = 375, .tabIndex = 8,
                 .passwordChar = L'*'},

                {.name = L"frameRoot", .kind = K::Frame, .text = L"InstallShield", .left = -120,
                 .top = 4080, .width = 7935, .height = 1335, .enabled = false,
                 .font = Font{L"Arial", 9, false}},
                {.name = L"Picture2", .kind = K::PictureBox, .parent = L"frameRoot",
                 .left = 1200, .top = 240, .width = 6255, .height = 15},
                {.name = L"cmdOk", .kind = K::CommandButton, .text = L"确定(&O)", .left = 4800,
                 .top = 4440, .width = 1125, .height = 300, .tabIndex = 9, .isDefault = true},
                {.name = L"cmdCancel", .kind = K::CommandButton, .text = L"取消(&C)",
                 .left = 6120, .top = 4440, .width = 1125, .height = 300, .tabIndex = 10,
                 .isCancel = true},
            },
    };
    // clang-format on
    return layout;
}

}  // namespace t7
