#pragma once
// A control of a loaded form: its properties, the events its changes raise,
// and the entry points through which user input arrives (from a backend or
// an operator script). Property setters notify the form's view, so a
// backend only mirrors state; it never owns it.
#include <string>
#include <vector>

#include "forms/Layout.h"

namespace t7 {

class Form;

// What changed, for backends that mirror the state.
enum class ControlProperty {
    Text,      // caption or text
    Geometry,  // left, top, width, height
    Visible,
    Enabled,
    List,       // items added, removed or cleared
    ListIndex,  // selected item
    Value,      // option button selected or not
    TabIndex,
    Font,
    Alignment,
};

// Key codes of KeyPress handlers.
inline constexpr int kKeyBackspace = 8;
inline constexpr int kKeyEnter = 13;

class Control {
public:
    Control(Form& form, ControlDef def, int index);
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    Form& form() const { return m_form; }
    const std::wstring& name() const { return m_def.name; }
    // Index within a control array; -1 for a single control.
    int index() const { return m_index; }
    // "optIP(2)" for an array element, else the name.
    std::wstring displayName() const;
    ControlKind kind() const { return m_def.kind; }
    const ControlDef& def() const { return m_def; }
    // Name of the holding frame; empty for the form.
    const std::wstring& parentName() const { return m_def.parent; }
    Control* parent() const;

    // Caption and text are one property; both names are kept for the page
    // code's sake. Setting the text of a text box or an editable combo box
    // raises Change (always, as a keyboard edit would); a label's or a
    // button's caption raises nothing.
    const std::wstring& text() const { return m_text; }
    const std::wstring& caption() const { return m_text; }
    void setText(const std::wstring& text);
    void setCaption(const std::wstring& caption) { setText(caption); }

    int left() const { return m_def.left; }
    int top() const { return m_def.top; }
    int width() const { return m_def.width; }
    int height() const { return m_def.height; }
    void setLeft(int left);
    void setTop(int top);
    void move(int left, int top);
    void setSize(int width, int height);

    // Own flag; a control inside a hidden frame keeps visible() true but is
    // not shown: see shown().
    bool visible() const { return m_visible; }
    void setVisible(bool visible);
    bool shown() const;
    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    // Enabled and all holding frames enabled.
    bool usable() const;

    int tabIndex() const { return m_tabIndex; }
    void setTabIndex(int tabIndex);
    const Font& font() const;
    void setFont(const Font& font);
    TextAlign alignment() const { return m_def.alignment; }
    void setAlignment(TextAlign alignment);
    bool isDefault() const { return m_def.isDefault; }
    wchar_t passwordChar() const { return m_def.passwordChar; }

    // List and combo boxes. listIndex -1: nothing selected.
    const std::vector<std::wstring>& list() const { return m_list; }
    int listCount() const { return static_cast<int>(m_list.size()); }
    void addItem(const std::wstring& item);
    void clear();
    int listIndex() const { return m_listIndex; }
    // Selects an item: a combo box's text becomes the item; raises Click.
    // -1 clears the selection without Click. Raises AppError 380 (invalid
    // property value) for an index out of range.
    void setListIndex(int index);
    // Index of the first item equal to `item`, or -1.
    int findItem(const std::wstring& item) const;

    // Option buttons. Setting true clears the other option buttons of the
    // same container and raises Click; setting false raises nothing.
    bool value() const { return m_value; }
    void setValue(bool value);

    // User input, as a keyboard and a mouse would give it.
    // Types one character: KeyPress first (its handler may change or
    // discard the code), then the edit (Backspace removes the last
    // character), then Change. Returns false when the key was discarded.
    bool type(wchar_t ch);
    // Types each character of `text` in turn.
    void typeText(const std::wstring& text);
    // Raises AppError 5 when the control is not usable or not shown, as a
    // click on a disabled control does nothing on screen.
    void click();

    // Chooses an item as a mouse would: setListIndex, seen by observers.
    void select(int index);

    // Backends only: record a state change made by the toolkit itself (the
    // user edited the text in place) and raise the events of the runtime.
    void userEditedText(const std::wstring& text);

private:
    friend class Form;
    void notify(ControlProperty what);
    void raiseChangeIfEditable();

    Form& m_form;
    ControlDef m_def;
    int m_index;
    std::wstring m_text;
    bool m_visible;
    bool m_enabled;
    int m_tabIndex;
    bool m_value;
    std::vector<std::wstring> m_list;
    int m_listIndex = -1;
};

}  // namespace t7
