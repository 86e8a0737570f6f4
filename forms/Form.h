#pragma once
// A form: a window built from its layout table, owning its controls and the
// event handlers that page code registers by control name.
//
// Lifecycle, as in the classic forms model:
//   load()      builds the controls from the layout, creates the backend's
//               view and runs Form_Load. Done implicitly by show().
//   show()      modeless: makes the form visible and returns at once.
//   showModal() makes it visible and returns only when it has been hidden
//               or unloaded; the caller's step is suspended meanwhile.
//   hide()      invisible, still loaded.
//   unload()    destroys the controls and the view. Members of the page
//               class survive (a dialog's result is read after unload).
// When the last loaded form unloads, the runtime ends the run.
//
// Unknown control names raise std::out_of_range naming form and control:
// a wrong name is a programming or script fault, never silently ignored.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "forms/Control.h"
#include "forms/Layout.h"

namespace t7 {

class FormsRuntime;
class IFormView;

enum class MousePointer { Default, Hourglass };

enum class FormProperty { Caption, Position, Size, Visible, MousePointer };

class Form {
public:
    Form(FormsRuntime& runtime, FormLayout layout);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const std::wstring& name() const { return m_layout.name; }
    const FormLayout& layout() const { return m_layout; }
    FormsRuntime& runtime() const { return m_runtime; }

    void load();
    void show();
    void showModal();
    void hide();
    void unload();
    bool isLoaded() const { return m_loaded; }
    bool isVisible() const { return m_visible; }
    bool isModal() const { return m_modal; }

    const std::wstring& caption() const { return m_caption; }
    void setCaption(const std::wstring& caption);
    // Outer window position and size, twips.
    int left() const { return m_left; }
    int top() const { return m_top; }
    void setLeft(int left);
    void setTop(int top);
    int width() const { return m_width; }
    int height() const { return m_height; }
    void setWidth(int width);
    void setHeight(int height);
    int clientWidth() const { return m_width - kNonClientWidth; }
    int clientHeight() const { return m_height - kNonClientHeight; }
    MousePointer mousePointer() const { return m_mousePointer; }
    void setMousePointer(MousePointer pointer);

    // Controls. The form must be loaded.
    bool has(const std::wstring& name) const;
    Control& control(const std::wstring& name);
    const Control& control(const std::wstring& name) const;
    // Element `index` of a control array.
    Control& control(const std::wstring& name, int index);
    Control& operator[](const std::wstring& name) { return control(name); }
    // Creates element `index` of a control array, a copy of element 0 that
    // is hidden until shown (as the classic Load statement does). Raises
    // AppError 360 when the element exists already.
    Control& loadControl(const std::wstring& name, int index);
    // Elements of a control array in index order.
    std::vector<Control*> controlArray(const std::wstring& name);
    // All controls in layout order, array elements after their element 0.
    std::vector<Control*> controls();
    // The controls that Tab visits, in tab order: tab stops that are shown
    // and usable.
    std::vector<Control*> tabOrder();
    // The enabled, shown default button, or nullptr.
    Control* defaultButton();
    // Enter: clicks the default button. Returns false without one.
    bool pressEnter();
    // The enabled, shown cancel button, or nullptr.
    Control* cancelButton();
    // Esc: clicks the cancel button. Returns false without one (the key
    // then does nothing, as in a form without a cancel button).
    bool pressEscape();

    // Event handlers, by control name. One handler per control and event;
    // a second registration replaces the first. Array handlers get the
    // element's index.
    using Handler = std::function<void()>;
    using IndexHandler = std::function<void(int index)>;
    using KeyHandler = std::function<void(int& keyAscii)>;
    void onClick(const std::wstring& control, Handler handler);
    void onClick(const std::wstring& control, IndexHandler handler);
    void onChange(const std::wstring& control, Handler handler);
    void onKeyPress(const std::wstring& control, KeyHandler handler);

    // For backends: the view of this form while it is loaded.
    IFormView* view() const { return m_view.get(); }

protected:
    // The load step of the page; runs inside load() after the controls exist.
    virtual void Form_Load() {}

private:
    friend class Control;
    void raiseClick(Control& control);
    void raiseChange(Control& control);
    void raiseKeyPress(Control& control, int& keyAscii);
    void controlChanged(Control& control, ControlProperty what);
    void formChanged(FormProperty what);
    Control* find(const std::wstring& name, int index);
    // The enabled, shown command button with that role (default, cancel).
    Control* shownButton(bool ControlDef::*role);
    // Clicks `button`; false when there is none.
    static bool clickShown(Control* button);

    FormsRuntime& m_runtime;
    FormLayout m_layout;
    std::vector<std::unique_ptr<Control>> m_controls;
    // Controls of the last unload, kept until the next load: an unload from
    // inside a control's own event handler must not free that control.
    std::vector<std::unique_ptr<Control>> m_retired;
    std::unique_ptr<IFormView> m_view;
    bool m_loaded = false;
    bool m_visible = false;
    bool m_modal = false;
    std::wstring m_caption;
    int m_left = 0;
    int m_top = 0;
    int m_width = 0;
    int m_height = 0;
    MousePointer m_mousePointer = MousePointer::Default;

    struct Handlers {
        Handler click;
        IndexHandler clickIndex;
        Handler change;
        KeyHandler keyPress;
    };
    std::map<std::wstring, Handlers> m_handlers;
};

}  // namespace t7
