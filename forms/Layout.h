#pragma once
// Form layouts as data: one table per form, read by the page code (through
// Form) and by every backend, which renders any table generically.
// Positions and sizes are in twips (1/1440 inch), relative to the parent:
// the form's client area, or the frame that holds the control.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace t7 {

enum class ControlKind {
    Label,
    TextBox,
    ComboBox,
    ListBox,
    OptionButton,
    Frame,
    CommandButton,
    PictureBox,
    Image,
    Line,
};

// Combo boxes: a drop-down list takes only its items; an editable drop-down
// also takes typed text.
enum class ComboStyle { DropDownCombo, DropDownList };
enum class TextAlign { Left, Right, Center };

struct Font {
    std::wstring name = L"宋体";
    double size = 9;
    bool bold = false;

    bool operator==(const Font&) const = default;
};

// The window's non-client parts: a fixed dialog border and its caption bar.
// Outer width = client width + kNonClientWidth, likewise for the height.
inline constexpr int kNonClientWidth = 90;
inline constexpr int kNonClientHeight = 405;
// Tab index of controls that take no focus.
inline constexpr int kNoTabStop = -1;

// One row of a layout table.
struct ControlDef {
    std::wstring name;
    ControlKind kind = ControlKind::Label;
    // Name of the holding frame; empty: the form itself.
    std::wstring parent;
    // Caption of labels, buttons, frames, option buttons; text of text and
    // combo boxes.
    std::wstring text;
    // A line: left/top are X1/Y1, width/height are X2-X1 and Y2-Y1.
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int tabIndex = kNoTabStop;
    bool visible = true;
    bool enabled = true;
    // Command buttons: pressed by Enter.
    bool isDefault = false;
    // Command buttons: pressed by Esc.
    bool isCancel = false;
    // Text boxes: each character is shown as this one ("*"); 0: plain.
    wchar_t passwordChar = 0;
    ComboStyle comboStyle = ComboStyle::DropDownCombo;
    TextAlign alignment = TextAlign::Left;
    // Option buttons: selected at design time.
    bool value = false;
    // Element 0 of a control array that grows at run time (optIP).
    bool isArray = false;
    // Unset: the form's font.
    std::optional<Font> font;
    // 0xRRGGBB; unset: the system colour.
    std::optional<uint32_t> backColor;
    // Tool tip (the hint of a text box).
    std::wstring toolTip;
    // Pictures and images: the name of a bundled picture; stretched to size.
    std::wstring picture;
    bool stretch = false;
};

struct FormLayout {
    std::wstring name;
    std::wstring caption;
    int clientWidth = 0;
    int clientHeight = 0;
    // Dialogs are modal, fixed, without minimise box; pages are windows.
    bool dialog = false;
    Font font;
    std::vector<ControlDef> controls;

    // The row of `controlName`, or nullptr.
    const ControlDef* find(const std::wstring& controlName) const;
};

}  // namespace t7
