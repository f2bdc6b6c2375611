// The forms' widget interface: the few kinds of control the windows are made of,
// in the program's own terms. Each toolkit implements it once (the Qt set, the
// Win32 set); the tests use a fake set. Text is UTF-8 throughout; positions and
// sizes are pixels at 96 dpi, scaled by the toolkit where the screen differs.
//
// Events are plain std::function members that the form sets and the toolkit (or
// a test) calls; a form runs every handler through its Guard, so no exception
// reaches the toolkit's event loop.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tapwell::ui {

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  int width = 0;
  int height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// What every control has: a designer name, a place on its form and a state.
class Control {
 public:
  virtual ~Control() = default;
  virtual const std::string& name() const = 0;
  // The place inside the form's client area.
  virtual void setBounds(Rect bounds) = 0;
  virtual Rect bounds() const = 0;
  virtual void setVisible(bool visible) = 0;
  virtual bool visible() const = 0;
  virtual void setEnabled(bool enabled) = 0;
  virtual bool enabled() const = 0;
  // Takes the keyboard focus within its form.
  virtual void setFocus() = 0;
  virtual bool hasFocus() const = 0;
  // The tip shown when the pointer rests on the control; empty: none.
  virtual void setHint(const std::string& hint) = 0;
  virtual std::string hint() const = 0;
};

class Label : public virtual Control {
 public:
  virtual void setText(const std::string& text) = 0;
  virtual std::string text() const = 0;
  // A click on the label; by default it goes to the form below.
  std::function<void()> OnClick;
};

class Button : public virtual Control {
 public:
  virtual void setText(const std::string& text) = 0;
  virtual std::string text() const = 0;
  std::function<void()> OnClick;
};

class CheckBox : public virtual Control {
 public:
  virtual void setText(const std::string& text) = 0;
  virtual std::string text() const = 0;
  virtual void setChecked(bool checked) = 0;
  virtual bool checked() const = 0;
  std::function<void()> OnClick;
};

// A single-line edit.
class Edit : public virtual Control {
 public:
  virtual void setText(const std::string& text) = 0;
  virtual std::string text() const = 0;
  // The longest text in characters; 0: no limit beyond the toolkit's.
  virtual void setMaxLength(int characters) = 0;
  // Off: typing goes straight to the box, not through an input method.
  virtual void setInputMethod(bool on) = 0;
  std::function<void()> OnChange;
};

// A multi-line edit: the text as its lines.
class Memo : public virtual Control {
 public:
  virtual void setLines(const std::vector<std::string>& lines) = 0;
  virtual std::vector<std::string> lines() const = 0;
  virtual void setReadOnly(bool readOnly) = 0;
  virtual void setWordWrap(bool wrap) = 0;
};

// A drop-down list: list-only, or with an edit field (editable).
class ComboBox : public virtual Control {
 public:
  virtual void setItems(const std::vector<std::string>& items) = 0;
  virtual std::vector<std::string> items() const = 0;
  // The selected row; -1: none.
  virtual void setItemIndex(int index) = 0;
  virtual int itemIndex() const = 0;
  // The edit field's text of an editable list, else the selected row's text
  // (empty when none).
  virtual void setText(const std::string& text) = 0;
  virtual std::string text() const = 0;
  virtual void setInputMethod(bool on) = 0;
  // The user picked a row or changed the text.
  std::function<void()> OnChange;
};

// A plain list of rows.
class ListBox : public virtual Control {
 public:
  virtual void setItems(const std::vector<std::string>& items) = 0;
  virtual std::vector<std::string> items() const = 0;
  virtual void addItem(const std::string& item) = 0;
  virtual void setItemIndex(int index) = 0;
  virtual int itemIndex() const = 0;
};

// An item of a menu: a command, or a submenu's entry.
class MenuItem {
 public:
  virtual ~MenuItem() = default;
  virtual const std::string& name() const = 0;
  virtual void setCaption(const std::string& caption) = 0;
  virtual std::string caption() const = 0;
  virtual void setCheckable(bool checkable) = 0;
  virtual void setChecked(bool checked) = 0;
  virtual bool checked() const = 0;
  virtual void setEnabled(bool enabled) = 0;
  virtual bool enabled() const = 0;
  virtual void setVisible(bool visible) = 0;
  virtual bool visible() const = 0;
  // A shortcut shown beside the caption and taken while the form is active, as
  // "Ctrl+Q"; empty: none.
  virtual void setShortcut(const std::string& keys) = 0;
  std::function<void()> OnClick;
};

// A menu: the items of a main menu's title or of a pop-up menu, in order.
class Menu {
 public:
  virtual ~Menu() = default;
  virtual const std::string& name() const = 0;
  // A command at the end. The menu owns it; the pointer lives as long as the menu.
  virtual MenuItem* addItem(const std::string& name, const std::string& caption) = 0;
  // A submenu at the end, or before an existing submenu's entry.
  virtual Menu* addMenu(const std::string& name, const std::string& caption, Menu* before = nullptr) = 0;
  virtual void addSeparator() = 0;
  virtual std::vector<MenuItem*> menuItems() const = 0;
};

// A pop-up menu, opened at a point of the screen.
class PopupMenu : public Menu {
 public:
  // Opens the menu with its top-left corner at the point; returns at once.
  virtual void popup(Point screen) = 0;
  // The menu's size once laid out, for aligning it before it opens.
  virtual Size sizeHint() const = 0;
  virtual bool isOpen() const = 0;
  virtual void close() = 0;
};

// A timer on the form's event loop: OnTimer every interval while enabled.
class WindowTimer {
 public:
  virtual ~WindowTimer() = default;
  virtual void setInterval(int ms) = 0;
  virtual int interval() const = 0;
  virtual void setEnabled(bool enabled) = 0;
  virtual bool enabled() const = 0;
  // Milliseconds until the next tick; -1 when not enabled.
  virtual int remaining() const = 0;
  std::function<void()> OnTimer;
};

enum class BorderStyle {
  Sizeable,
  // Fixed size; only the system menu and the close box in the title bar.
  Single,
  // Fixed size and always in front, as a tool window.
  ToolWindow,
  // No frame at all, centred by its form (the splash).
  None,
};

// A top-level window. Its stored position and size are those of its outer
// frame, as the designer gives them; the client area lies inside.
class Form {
 public:
  virtual ~Form() = default;
  virtual const std::string& name() const = 0;
  virtual void setCaption(const std::string& caption) = 0;
  virtual std::string caption() const = 0;
  virtual void setBorderStyle(BorderStyle style) = 0;
  // The frame's place and size on the screen.
  virtual void setOuterBounds(Rect outer) = 0;
  virtual Rect outerBounds() const = 0;
  virtual void moveTo(Point outerTopLeft) = 0;
  virtual void setClientSize(Size size) = 0;
  virtual Size clientSize() const = 0;
  // The size of the screen the form is on.
  virtual Size screenSize() const = 0;
  // Shows the window in front and gives it the focus.
  virtual void show() = 0;
  virtual void hide() = 0;
  virtual void minimize() = 0;
  virtual bool visible() const = 0;
  virtual bool minimized() const = 0;
  // Asks the window to close, as its close box does: OnCloseQuery may refuse.
  virtual void close() = 0;
  // The main menu bar, made on first use.
  virtual Menu* mainMenu() = 0;
  // The tab order, first to last.
  virtual void setTabOrder(const std::vector<Control*>& order) = 0;

  // The user (or close()) asks to close; false keeps the window open.
  std::function<bool()> OnCloseQuery;
  std::function<void()> OnShow;
  std::function<void()> OnResize;
  // A mouse press and release on the form's own surface.
  std::function<void()> OnClick;
};

// Makes the forms and their controls. Controls appear on their form's client
// area at their bounds; the form owns nothing, so a form class declares its
// Form first and its controls after it (they go first).
class WidgetFactory {
 public:
  virtual ~WidgetFactory() = default;
  virtual std::unique_ptr<Form> form(const std::string& name) = 0;
  virtual std::unique_ptr<Label> label(Form& form, const std::string& name, const std::string& text, Rect bounds) = 0;
  virtual std::unique_ptr<Button> button(Form& form, const std::string& name, const std::string& text, Rect bounds) = 0;
  virtual std::unique_ptr<CheckBox> checkBox(Form& form, const std::string& name, const std::string& text,
                                             Rect bounds) = 0;
  virtual std::unique_ptr<Edit> edit(Form& form, const std::string& name, Rect bounds) = 0;
  virtual std::unique_ptr<Memo> memo(Form& form, const std::string& name, Rect bounds) = 0;
  virtual std::unique_ptr<ComboBox> comboBox(Form& form, const std::string& name, Rect bounds, bool editable) = 0;
  virtual std::unique_ptr<ListBox> listBox(Form& form, const std::string& name, Rect bounds) = 0;
  virtual std::unique_ptr<PopupMenu> popupMenu(Form& owner, const std::string& name) = 0;
  virtual std::unique_ptr<WindowTimer> timer(Form& owner, const std::string& name) = 0;
};

// The open and save dialogs of script and layout files.
struct FileDialogOptions {
  std::string title;
  // The folder shown first, and the name proposed in it (may be empty).
  std::string folder;
  std::string fileName;
  // A save dialog asks before replacing a file.
  bool save = false;
};

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // The chosen full path, or nothing when the user cancels. Runs modally over
  // the owner; closing gives the focus back to it.
  virtual std::optional<std::string> run(Form& owner, const FileDialogOptions& options) = 0;
};

}  // namespace tapwell::ui
