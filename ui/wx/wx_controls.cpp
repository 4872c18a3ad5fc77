// The controls of a window as wx widgets: built from the definition and the control models,
// kept in step with the changes the core makes, and turning the user's actions into model
// changes and events.
#include <wx/listctrl.h>
#include <wx/mstream.h>
#include <wx/notebook.h>
#include <wx/scrolbar.h>
#include <wx/statbmp.h>
#include <wx/statusbr.h>
#include <wx/wupdlock.h>

#include <algorithm>
#include <set>

#include "runtime/codepage.h"
#include "runtime/picture.h"
#include "ui/backend.h"
#include "ui/wx/wx_drawn.h"
#include "ui/wx/wx_widgets.h"

namespace ui::wx {
namespace {

int mirrorDepth = 0;

const ControlDef& Def(const ControlModel& control) { return *control.def; }
ControlKind Kind(const ControlModel& control) { return control.def->kind; }

// A caption as it stands: "&" marks no mnemonic.
wxString Caption(const Text& text) { return wxControl::EscapeMnemonics(ToWx(text)); }

Target TargetOf(WindowModel& window, const ControlModel& control) {
  return Target{window.def->name, WidgetsOf(window)->serial, control.def->name};
}

// --- tree view ---

// The tree tells selections that the user makes (with the mouse or the keys) from those it
// makes on its own, such as choosing another item after a deletion.
class ModelTree : public wxTreeCtrl {
 public:
  ModelTree(wxWindow* parent, const wxRect& rect, long style)
      : wxTreeCtrl(parent, wxID_ANY, rect.GetPosition(), rect.GetSize(), style) {
    // The toolkit's tree draws its items in a font of its own, which it replaces only when the
    // control's font changes, and the control starts with its window's font already: the items
    // take the windows' font from a change made for certain, once, before there are any.
    wxFont other = DefaultFont();
    other.SetFractionalPointSize(other.GetFractionalPointSize() + 1);
    SetFont(other);
    SetFont(DefaultFont());
  }

  bool ProcessEvent(wxEvent& event) override {
    const bool input = event.IsKindOf(wxCLASSINFO(wxMouseEvent)) || event.IsKindOf(wxCLASSINFO(wxKeyEvent));
    if (input) ++userInput_;
    const bool handled = wxTreeCtrl::ProcessEvent(event);
    if (input) --userInput_;
    return handled;
  }
  bool UserActing() const { return userInput_ > 0; }

 private:
  int userInput_ = 0;
};

int TreeIndexOf(const ControlWidgets& widgets, const wxTreeItemId& item) {
  if (!item.IsOk() || item == widgets.treeRoot) return -1;
  const auto it = std::find(widgets.treeItems.begin(), widgets.treeItems.end(), item);
  return it == widgets.treeItems.end() ? -1 : static_cast<int>(it - widgets.treeItems.begin());
}

int SubtreeEnd(const TreeModel& tree, int index) {
  int end = index + 1;
  while (end < static_cast<int>(tree.nodes.size()) && tree.nodes[end].depth > tree.nodes[index].depth) {
    ++end;
  }
  return end;
}

void AddTreeItem(ModelTree& tree, ControlWidgets& widgets, const TreeModel& model, int index) {
  const TreeNode& node = model.nodes[index];
  wxTreeItemId parent = widgets.treeRoot;
  if (node.parent != 0) {
    for (int i = index - 1; i >= 0; --i) {
      if (model.nodes[i].id == node.parent) {
        parent = widgets.treeItems[i];
        break;
      }
    }
  }
  const wxTreeItemId item = tree.AppendItem(parent, ToWx(node.text));
  widgets.treeItems.insert(widgets.treeItems.begin() + index, item);
}

// The nodes from first to the end, all new and in pre-order: each one's parent is the nearest
// node before it one level up.
void AppendTreeItems(ModelTree& tree, ControlWidgets& widgets, const TreeModel& model, int first) {
  const int end = static_cast<int>(model.nodes.size());
  std::vector<wxTreeItemId> path;  // the items of the last node's path, by depth
  if (first > 0) {
    int depth = model.nodes[first - 1].depth;
    path.resize(depth + 1);
    path[depth] = widgets.treeItems[first - 1];
    for (int i = first - 2; i >= 0 && depth > 0; --i) {
      if (model.nodes[i].depth < depth) {
        depth = model.nodes[i].depth;
        path[depth] = widgets.treeItems[i];
      }
    }
  }
  widgets.treeItems.reserve(end);
  wxWindowUpdateLocker frozen(&tree);
  for (int i = first; i < end; ++i) {
    const TreeNode& node = model.nodes[i];
    const int depth = std::min<int>(node.depth, path.size());
    const wxTreeItemId parent = depth == 0 ? widgets.treeRoot : path[depth - 1];
    const wxTreeItemId item = tree.AppendItem(parent, ToWx(node.text));
    widgets.treeItems.push_back(item);
    path.resize(depth);
    path.push_back(item);
  }
}

void ShowTreeCurrent(ModelTree& tree, const ControlWidgets& widgets, int current) {
  if (current >= 0 && current < static_cast<int>(widgets.treeItems.size())) {
    tree.SelectItem(widgets.treeItems[current]);
    tree.EnsureVisible(widgets.treeItems[current]);
  } else {
    // Unselect also forgets the item the tree would choose by itself on idle.
    tree.Unselect();
    tree.UnselectAll();
  }
}

void BindTree(ModelTree* tree, const Target& target) {
  tree->Bind(wxEVT_TREE_SEL_CHANGED, [tree, target](wxTreeEvent& event) {
    event.Skip();
    if (Mirroring()) return;
    ControlModel* control = target.Control();
    if (control == nullptr) return;
    ControlWidgets& widgets = *WidgetsOf(*control);
    const int index = TreeIndexOf(widgets, event.GetItem());
    if (index == control->tree.current) return;
    if (!tree->UserActing()) {
      // The tree chose an item by itself: the model keeps its own current item.
      const int current = control->tree.current;
      tree->CallAfter([tree, target, current] {
        ControlModel* again = target.Control();
        if (again == nullptr || again->tree.current != current) return;
        MirrorScope mirror;
        ShowTreeCurrent(*tree, *WidgetsOf(*again), current);
      });
      return;
    }
    control->tree.current = index;
    if (WindowModel* window = target.Window()) {
      RaiseEvent(*window, target.control.c_str(), EventKind::SelectionChanged, index);
    }
  });
  tree->Bind(wxEVT_TREE_END_LABEL_EDIT, [tree, target](wxTreeEvent& event) {
    if (Mirroring()) return;  // an edit the core's deletion ends
    ControlModel* control = target.Control();
    if (control == nullptr) return;
    const int index = TreeIndexOf(*WidgetsOf(*control), event.GetItem());
    if (index < 0 || index >= static_cast<int>(control->tree.nodes.size())) return;
    if (!event.IsEditCancelled()) {
      // The label shows what the model holds, which is what GBK could take of the typed text.
      control->tree.nodes[index].text = FromWx(event.GetLabel());
      event.Veto();
      MirrorScope mirror;
      tree->SetItemText(event.GetItem(), ToWx(control->tree.nodes[index].text));
    }
    if (WindowModel* window = target.Window()) {
      RaiseEvent(*window, target.control.c_str(), EventKind::LabelEdited, index);
    }
  });
  // A right click leaves the current item alone; its release is the tree's event.
  tree->Bind(wxEVT_RIGHT_DOWN, [tree](wxMouseEvent&) { tree->SetFocus(); });
  tree->Bind(wxEVT_RIGHT_UP, [target](wxMouseEvent& event) {
    event.Skip();
    if (target.Control() == nullptr) return;
    if (WindowModel* window = target.Window()) {
      RaiseEvent(*window, target.control.c_str(), EventKind::RightButtonUp, 0);
    }
  });
}

// --- report list ---

// A virtual list: it holds no rows of its own and reads the cells it shows from the model, so
// a listing costs what the rows on screen do.
class ModelList : public wxListCtrl {
 public:
  ModelList(wxWindow* parent, const wxRect& rect, Target target)
      : wxListCtrl(parent, wxID_ANY, rect.GetPosition(), rect.GetSize(),
                   wxLC_REPORT | wxLC_VIRTUAL | wxBORDER_SUNKEN),
        target_(std::move(target)) {}

  wxString OnGetItemText(long item, long column) const override {
    const ControlModel* control = target_.Control();
    if (control == nullptr || item < 0 || item >= static_cast<long>(control->list.rows.size())) {
      return wxString();
    }
    const std::vector<Text>& cells = control->list.rows[item].cells;
    return column >= 0 && column < static_cast<long>(cells.size()) ? ToWx(cells[column]) : wxString();
  }

  // The widget's row count follows the model's.
  void ShowRowCount(const ControlModel& control) {
    const long rows = static_cast<long>(control.list.rows.size());
    if (GetItemCount() != rows) SetItemCount(rows);
  }

 private:
  Target target_;
};

void ShowListCurrent(wxListCtrl& list, ControlWidgets& widgets, int current) {
  const long all = wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED;
  for (long row = list.GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); row != -1;
       row = list.GetNextItem(row, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED)) {
    list.SetItemState(row, 0, wxLIST_STATE_SELECTED);
  }
  const long focused = list.GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_FOCUSED);
  if (current >= 0 && current < list.GetItemCount()) {
    list.SetItemState(current, all, all);
    list.EnsureVisible(current);
  } else if (focused != -1) {
    list.SetItemState(focused, 0, wxLIST_STATE_FOCUSED);
  }
  widgets.listFocus = current >= 0 && current < list.GetItemCount() ? current : -1;
}

// Reads what the user's click or key did to the list: the model's current row becomes the
// first selected row, and a row that newly took the focus raises the event.
void TakeListState(wxListCtrl* list, const Target& target) {
  ControlModel* control = target.Control();
  if (control == nullptr) return;
  ControlWidgets& widgets = *WidgetsOf(*control);
  if (!widgets.listCheckPending) return;
  widgets.listCheckPending = false;
  const int rows = static_cast<int>(control->list.rows.size());
  const long first = list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
  const long focused = list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_FOCUSED);
  control->list.current = first >= 0 && first < rows ? static_cast<int>(first) : -1;
  const int previous = widgets.listFocus;
  widgets.listFocus = focused >= 0 && focused < rows ? static_cast<int>(focused) : -1;
  if (widgets.listFocus >= 0 && widgets.listFocus != previous) {
    if (WindowModel* window = target.Window()) {
      RaiseEvent(*window, target.control.c_str(), EventKind::SelectionChanged, widgets.listFocus);
    }
  }
}

void BindList(wxListCtrl* list, const Target& target) {
  // Focus and selection arrive as separate notifications; the state is read once both are in.
  auto changed = [list, target](wxListEvent& event) {
    event.Skip();
    if (Mirroring()) return;
    ControlModel* control = target.Control();
    if (control == nullptr || WidgetsOf(*control)->listCheckPending) return;
    WidgetsOf(*control)->listCheckPending = true;
    list->CallAfter([list, target] { TakeListState(list, target); });
  };
  list->Bind(wxEVT_LIST_ITEM_FOCUSED, changed);
  list->Bind(wxEVT_LIST_ITEM_SELECTED, changed);
  list->Bind(wxEVT_LIST_ITEM_DESELECTED, changed);
  // Anywhere in the rows, also below the last one.
  auto rightUp = [list, target](wxMouseEvent& event) {
    event.Skip();
    TakeListState(list, target);
    if (target.Control() == nullptr) return;
    if (WindowModel* window = target.Window()) {
      RaiseEvent(*window, target.control.c_str(), EventKind::RightClick, 0);
    }
  };
  for (wxWindow* child : list->GetChildren()) {
    if (wxString(child->GetClassInfo()->GetClassName()) == "wxListHeaderWindow") continue;
    child->Bind(wxEVT_RIGHT_UP, rightUp);
  }
}

// --- edit box ---

std::size_t GbkLength(const wxString& text) { return FromWx(text).size(); }

// The box refuses what goes past its limit in bytes; of typed or pasted text it keeps the
// characters that still fit, a double-byte character as a whole.
void BindEditBox(wxTextCtrl* edit, const Target& target, int limit) {
  edit->Bind(wxEVT_TEXT, [edit, target, limit](wxCommandEvent& event) {
    event.Skip();
    if (Mirroring()) return;
    ControlModel* control = target.Control();
    if (control == nullptr) return;
    ControlWidgets& widgets = *WidgetsOf(*control);
    wxString now = edit->GetValue();
    if (limit > 0 && GbkLength(now) > static_cast<std::size_t>(limit)) {
      const wxString& before = widgets.editValue;
      std::size_t head = 0;
      while (head < before.length() && head < now.length() && before[head] == now[head]) ++head;
      std::size_t tail = 0;
      while (tail < before.length() - head && tail < now.length() - head &&
             before[before.length() - 1 - tail] == now[now.length() - 1 - tail]) {
        ++tail;
      }
      const wxString inserted = now.Mid(head, now.length() - head - tail);
      if (!inserted.empty()) {
        const std::size_t fixed = GbkLength(now.Left(head)) + GbkLength(now.Right(tail));
        std::size_t budget = fixed < static_cast<std::size_t>(limit) ? limit - fixed : 0;
        wxString kept;
        for (wxUniChar c : inserted) {
          const std::size_t size = GbkLength(wxString(c));
          if (size > budget) break;
          budget -= size;
          kept += c;
        }
        now = now.Left(head) + kept + now.Right(tail);
        MirrorScope mirror;
        edit->ChangeValue(now);
        edit->SetInsertionPoint(static_cast<long>(head + kept.length()));
      }
    }
    widgets.editValue = now;
    control->text = FromWx(now);
  });
}

// --- picture box and picture button ---

// A one-pixel frame in the colour of a control's shadow, over the picture's edge.
void DrawBorder(wxImage& image) {
  const int width = image.GetWidth(), height = image.GetHeight();
  const wxColour colour = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW);
  auto put = [&](int x, int y) {
    image.SetRGB(x, y, colour.Red(), colour.Green(), colour.Blue());
    image.SetAlpha(x, y, wxIMAGE_ALPHA_OPAQUE);
  };
  for (int x = 0; x < width; ++x) {
    put(x, 0);
    put(x, height - 1);
  }
  for (int y = 0; y < height; ++y) {
    put(0, y);
    put(width - 1, y);
  }
}

// The picture at its own pixel size, cut or padded (transparent) to the box's size, from the
// box's top-left corner; framed when the box has a border.
wxBitmap PictureAt(const wxImage& picture, int width, int height, bool border) {
  if (width <= 0 || height <= 0) return wxBitmap();
  wxImage boxed(width, height);
  boxed.InitAlpha();
  std::fill_n(boxed.GetAlpha(), static_cast<std::size_t>(width) * height, 0);
  if (picture.IsOk()) {
    wxImage source = picture;
    if (!source.HasAlpha()) source.InitAlpha();
    boxed.Paste(source, 0, 0, wxIMAGE_ALPHA_BLEND_COMPOSE);
  }
  if (border) DrawBorder(boxed);
  return wxBitmap(boxed);
}

// decode: the model's picture bytes changed.
void ShowPicture(WindowModel& window, ControlModel& control, bool decode) {
  ControlWidgets& widgets = *WidgetsOf(control);
  if (decode) widgets.picture = DecodePicture(control.picture);
  if (Kind(control) == ControlKind::PictureBox) {
    auto* box = static_cast<wxStaticBitmap*>(widgets.widget);
    const bool border = (Def(control).style & kStyleBorder) != 0;
    box->SetBitmap(PictureAt(widgets.picture, control.width, control.height, border));
  } else {
    auto* button = static_cast<PictureButton*>(widgets.widget);
    button->SetPicture(widgets.picture.IsOk() ? wxBitmap(widgets.picture) : wxBitmap(), ToWx(control.text));
  }
  // Setting a bitmap may resize the widget to it; the control keeps the model's bounds.
  widgets.widget->SetSize(WidgetRect(window, control));
}

// --- scroll bar ---

void ShowScroll(wxScrollBar& bar, const ControlModel& control) {
  const int maximum = std::max(0, control.scrollMaximum);
  const int position = std::clamp(control.scrollPosition, 0, maximum);
  bar.SetScrollbar(position, 1, maximum + 1, std::max(1, std::min(10, maximum)));
}

void BindScrollBar(wxScrollBar* bar, const Target& target) {
  auto scrolled = [bar, target](wxScrollEvent& event) {
    event.Skip();
    if (Mirroring()) return;
    ControlModel* control = target.Control();
    if (control == nullptr) return;
    const int position = std::clamp(bar->GetThumbPosition(), 0, std::max(0, control->scrollMaximum));
    if (position == control->scrollPosition) return;
    control->scrollPosition = position;
    if (WindowModel* window = target.Window()) {
      RaiseEvent(*window, target.control.c_str(), EventKind::ScrollChanged, position);
    }
  };
  for (const wxEventTypeTag<wxScrollEvent>& type :
       {wxEVT_SCROLL_TOP, wxEVT_SCROLL_BOTTOM, wxEVT_SCROLL_LINEUP, wxEVT_SCROLL_LINEDOWN,
        wxEVT_SCROLL_PAGEUP, wxEVT_SCROLL_PAGEDOWN, wxEVT_SCROLL_THUMBTRACK, wxEVT_SCROLL_THUMBRELEASE,
        wxEVT_SCROLL_CHANGED}) {
    bar->Bind(type, scrolled);
  }
}

// --- status bar ---

void ShowStatusParts(wxStatusBar& bar, const ControlModel& control) {
  const ControlDef& def = Def(control);
  const int parts = std::max<int>(1, std::max(def.items.size(), control.partTexts.size()));
  std::vector<int> widths(parts, -1);
  for (int i = 0; i < parts && i < static_cast<int>(def.widths.size()); ++i) widths[i] = def.widths[i];
  if (bar.GetFieldsCount() != parts) bar.SetFieldsCount(parts, widths.data());
  for (int i = 0; i < parts; ++i) {
    const Text text = i < static_cast<int>(control.partTexts.size()) ? control.partTexts[i] : Text();
    bar.SetStatusText(ToWx(text), i);
  }
}

void BindStatusBar(wxStatusBar* bar, const Target& target) {
  // Each part has a tip of its own: the bar's tooltip follows the part under the mouse.
  bar->Bind(wxEVT_MOTION, [bar, target](wxMouseEvent& event) {
    event.Skip();
    ControlModel* control = target.Control();
    if (control == nullptr) return;
    Text tip;
    for (int i = 0; i < bar->GetFieldsCount(); ++i) {
      wxRect rect;
      if (bar->GetFieldRect(i, rect) && rect.Contains(event.GetPosition())) {
        if (i < static_cast<int>(control->partTips.size())) tip = control->partTips[i];
        break;
      }
    }
    const wxString shown = bar->GetToolTipText();
    if (tip.empty()) {
      if (!shown.empty()) bar->UnsetToolTip();
    } else if (shown != ToWx(tip)) {
      bar->SetToolTip(ToWx(tip));
    }
  });
}

// --- timer ---

class ControlTimer : public wxTimer {
 public:
  explicit ControlTimer(Target target) : target_(std::move(target)) {}

  void Notify() override {
    // A handler that pumps events must not meet its own timer again inside.
    if (firing_) return;
    WindowModel* window = target_.Window();
    if (window == nullptr || target_.Control() == nullptr) return;
    firing_ = true;
    struct Reset {
      bool& flag;
      ~Reset() { flag = false; }
    } reset{firing_};
    RaiseEvent(*window, target_.control.c_str(), EventKind::Timer, 0);
  }

 private:
  Target target_;
  bool firing_ = false;
};

void ShowTimer(ControlWidgets& widgets, const ControlModel& control) {
  if (control.period > 0) {
    widgets.timer->Start(control.period, wxTIMER_CONTINUOUS);
  } else {
    widgets.timer->Stop();
  }
}

// --- tab control ---

// The page a control of the tab control is on; a page past the last means the last.
int PageIndex(const ControlDef& def, int pages) { return std::clamp(def.tabPage, 0, std::max(0, pages - 1)); }

std::vector<wxPoint> PageOrigins(WindowModel& window, const ControlModel& tabs, wxNotebook& book) {
  const wxSize extra = book.CalcSizeFromPage(wxSize(0, 0));  // the tab strip and the borders
  const wxSize page(tabs.width - extra.x, tabs.height - extra.y);
  const int pages = static_cast<int>(Def(tabs).items.size());
  std::vector<wxPoint> origins(std::max(1, pages), wxPoint(kTabPageLeft, kTabPageTop));
  for (int i = 0; i < static_cast<int>(origins.size()); ++i) {
    bool any = false;
    wxRect bounds;
    for (auto& control : window.controls) {
      if (std::string(control->def->container) != tabs.def->name || PageIndex(*control->def, pages) != i) {
        continue;
      }
      const wxRect rect(control->left, control->top, control->width, control->height);
      bounds = any ? bounds.Union(rect) : rect;
      any = true;
    }
    if (!any) continue;
    const int overflowX = bounds.GetRight() + 1 - kTabPageLeft - page.x;
    const int overflowY = bounds.GetBottom() + 1 - kTabPageTop - page.y;
    if (overflowX > 0) origins[i].x += std::min(overflowX, std::max(0, bounds.x - kTabPageLeft));
    if (overflowY > 0) origins[i].y += std::min(overflowY, std::max(0, bounds.y - kTabPageTop));
  }
  return origins;
}

// --- building ---

void ApplyFont(wxWindow& widget, const ControlDef& def) {
  if (def.fontName.empty() && def.fontHeight <= 0) return;
  wxFont font = widget.GetFont().IsOk() ? widget.GetFont() : DefaultFont();
  if (!def.fontName.empty()) {
    wxFont named = font;
    if (named.SetFaceName(ToWx(def.fontName))) font = named;  // else the face it has
  }
  if (def.fontHeight > 0) font.SetPixelSize(wxSize(0, def.fontHeight));
  widget.SetFont(font);
}

wxWindow* MakeWidget(WindowModel& window, ControlModel& control, ControlWidgets& widgets) {
  const ControlDef& def = Def(control);
  const Target target = TargetOf(window, control);
  wxWindow* parent = ContainerOf(window, control);
  const wxRect rect = WidgetRect(window, control);
  switch (def.kind) {
    case ControlKind::Label:
      return new wxStaticText(parent, wxID_ANY, Caption(control.text), rect.GetPosition(), rect.GetSize(),
                              wxST_NO_AUTORESIZE);
    case ControlKind::EditBox: {
      long style = 0;
      if (def.style & kStyleMultiLine) {
        style |= wxTE_MULTILINE;
        style |= (def.style & kStyleHScroll) ? wxHSCROLL : wxTE_WORDWRAP;
        if ((def.style & kStyleVScroll) == 0) style |= wxTE_NO_VSCROLL;
      }
      if (def.style & kStyleReadOnly) style |= wxTE_READONLY;
      auto* edit =
          new wxTextCtrl(parent, wxID_ANY, ToWx(control.text), rect.GetPosition(), rect.GetSize(), style);
      widgets.editValue = edit->GetValue();
      BindEditBox(edit, target, def.maxLength);
      return edit;
    }
    case ControlKind::Button:
    case ControlKind::PictureButton: {
      wxWindow* button = nullptr;
      if (def.kind == ControlKind::Button) {
        button = new wxButton(parent, wxID_ANY, Caption(control.text), rect.GetPosition(), rect.GetSize());
      } else {
        button = new PictureButton(parent, rect);
      }
      button->Bind(wxEVT_BUTTON, [target](wxCommandEvent&) {
        if (target.Control() == nullptr) return;
        if (WindowModel* window = target.Window()) {
          RaiseEvent(*window, target.control.c_str(), EventKind::Click, 0);
        }
      });
      return button;
    }
    case ControlKind::CheckBox: {
      auto* check = new wxCheckBox(parent, wxID_ANY, Caption(control.text), rect.GetPosition(), rect.GetSize());
      check->SetValue(control.checked);
      check->Bind(wxEVT_CHECKBOX, [check, target](wxCommandEvent&) {
        if (Mirroring()) return;
        ControlModel* model = target.Control();
        if (model == nullptr) return;
        model->checked = check->IsChecked();
        if (WindowModel* window = target.Window()) {
          RaiseEvent(*window, target.control.c_str(), EventKind::Click, 0);
        }
      });
      return check;
    }
    case ControlKind::PictureBox:
      return new wxStaticBitmap(parent, wxID_ANY, wxBitmap(), rect.GetPosition(), rect.GetSize());
    case ControlKind::TreeView: {
      long style = wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxTR_HIDE_ROOT | wxTR_SINGLE | wxBORDER_SUNKEN;
      if (def.style & kStyleLabelEdit) style |= wxTR_EDIT_LABELS;
      auto* tree = new ModelTree(parent, rect, style);
      // The items take the control's font, set once it is built.
      widgets.treeRoot = tree->AddRoot(wxString());
      AppendTreeItems(*tree, widgets, control.tree, 0);
      ShowTreeCurrent(*tree, widgets, control.tree.current);
      BindTree(tree, target);
      return tree;
    }
    case ControlKind::ListView: {
      auto* list = new ModelList(parent, rect, target);
      for (std::size_t i = 0; i < def.items.size(); ++i) {
        const int width = i < def.widths.size() ? def.widths[i] : wxLIST_AUTOSIZE_USEHEADER;
        list->AppendColumn(ToWx(def.items[i]), wxLIST_FORMAT_LEFT, width);
      }
      if (list->GetColumnCount() == 0) list->AppendColumn(wxString());
      list->ShowRowCount(control);
      ShowListCurrent(*list, widgets, control.list.current);
      BindList(list, target);
      return list;
    }
    case ControlKind::TabControl: {
      auto* book = new wxNotebook(parent, wxID_ANY, rect.GetPosition(), rect.GetSize());
      for (const Text& caption : def.items) {
        auto* page = new wxPanel(book, wxID_ANY);
        book->AddPage(page, ToWx(caption));
        widgets.pages.push_back(page);
      }
      widgets.pageOrigins = PageOrigins(window, control, *book);
      return book;
    }
    case ControlKind::Frame:
      return new wxPanel(parent, wxID_ANY, rect.GetPosition(), rect.GetSize(), wxBORDER_NONE);
    case ControlKind::StatusBar: {
      auto* bar =
          new wxStatusBar(parent, wxID_ANY, wxSTB_SHOW_TIPS | wxSTB_ELLIPSIZE_END | wxFULL_REPAINT_ON_RESIZE);
      ShowStatusParts(*bar, control);
      bar->SetSize(rect);
      BindStatusBar(bar, target);
      return bar;
    }
    case ControlKind::ProgressBar: {
      auto* bar = new ProgressBox(parent, rect);
      bar->SetValue(control.progress);
      return bar;
    }
    case ControlKind::HScrollBar:
    case ControlKind::VScrollBar: {
      const long style = def.kind == ControlKind::HScrollBar ? wxSB_HORIZONTAL : wxSB_VERTICAL;
      auto* bar = new wxScrollBar(parent, wxID_ANY, rect.GetPosition(), rect.GetSize(), style);
      ShowScroll(*bar, control);
      BindScrollBar(bar, target);
      return bar;
    }
    case ControlKind::Timer:
      widgets.timer = new ControlTimer(target);
      ShowTimer(widgets, control);
      return nullptr;
    case ControlKind::OpenDialog:
    case ControlKind::SaveDialog:
    case ControlKind::Component:
      return nullptr;
  }
  return nullptr;
}

// Builds a control after the container it lives in.
void Build(WindowModel& window, ControlModel& control, std::set<const ControlModel*>& building) {
  if (control.backendData != nullptr || !building.insert(&control).second) return;
  if (*Def(control).container != '\0') {
    if (ControlModel* container = window.Find(Def(control).container)) Build(window, *container, building);
  }
  auto* widgets = new ControlWidgets;
  control.backendData = widgets;
  MirrorScope mirror;
  widgets->widget = MakeWidget(window, control, *widgets);
  if (wxWindow* widget = widgets->widget) {
    widget->SetFont(DefaultFont());  // some widgets keep the system font of their own
    ApplyFont(*widget, Def(control));
    if (Kind(control) == ControlKind::PictureBox || Kind(control) == ControlKind::PictureButton) {
      ShowPicture(window, control, true);
    }
    widget->Enable(control.enabled);
    widget->Show(control.visible);
  }
}

}  // namespace

wxFont DefaultFont() {
  // Found once: a pixel size is found by measuring text at one point size after another, which
  // every control and window paid again. Kept for the whole run, as the toolkit's fonts are.
  static const wxFont* const font = [] {
    auto* found = new wxFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    found->SetPixelSize(wxSize(0, 12));
    return found;
  }();
  return *font;
}

namespace {
int modalDepth = 0;
std::vector<wxFrame*> framesAfterModal;
}  // namespace

ModalScope::ModalScope() { ++modalDepth; }
ModalScope::~ModalScope() {
  if (--modalDepth > 0) return;
  std::vector<wxFrame*> frames;
  frames.swap(framesAfterModal);
  for (wxFrame* frame : frames) frame->Destroy();
}

void DestroyFrame(wxFrame* frame) {
  frame->Hide();
  if (modalDepth > 0) {
    framesAfterModal.push_back(frame);
  } else {
    frame->Destroy();  // deleted once the event that may be running in it has returned
  }
}

MirrorScope::MirrorScope() { ++mirrorDepth; }
MirrorScope::~MirrorScope() { --mirrorDepth; }
bool Mirroring() { return mirrorDepth > 0; }

wxString ToWx(const Text& text) { return wxString(ConvertGbkToWide(text)); }
// What the user typed: a character GBK cannot hold is marked, so the program can refuse it.
Text FromWx(const wxString& text) { return ConvertTypedUtf8ToGbk(text.utf8_string()); }

wxImage DecodePicture(const Bytes& bytes) {
  if (bytes.empty()) return wxImage();
  // The header's size first: a picture beyond the limits, or one it cannot size, is not decoded.
  if (!PictureHeadersWithinLimits(bytes)) return wxImage();
  wxLogNull quiet;  // bytes that hold no picture are an empty picture, not an error
  wxMemoryInputStream stream(bytes.data(), bytes.size());
  wxImage image;
  if (!image.LoadFile(stream, wxBITMAP_TYPE_ANY)) return wxImage();
  return image;
}

WindowModel* Target::Window() const {
  WindowModel* found = ui::FindWindow(window.c_str());
  if (found == nullptr || WidgetsOf(*found) == nullptr || WidgetsOf(*found)->serial != serial) return nullptr;
  return found;
}

ControlModel* Target::Control() const {
  WindowModel* found = Window();
  ControlModel* model = found ? found->Find(control.c_str()) : nullptr;
  return model != nullptr && WidgetsOf(*model) != nullptr ? model : nullptr;
}

wxWindow* ContainerOf(WindowModel& window, const ControlModel& control) {
  WindowWidgets& windowWidgets = *WidgetsOf(window);
  const ControlDef& def = Def(control);
  if (*def.container == '\0') return windowWidgets.client;
  ControlModel* container = window.Find(def.container);
  ControlWidgets* widgets = container ? WidgetsOf(*container) : nullptr;
  if (widgets == nullptr || widgets->widget == nullptr) return windowWidgets.client;
  if (Kind(*container) == ControlKind::TabControl) {
    if (widgets->pages.empty()) return widgets->widget;
    return widgets->pages[PageIndex(def, static_cast<int>(widgets->pages.size()))];
  }
  return widgets->widget;
}

wxRect WidgetRect(WindowModel& window, const ControlModel& control) {
  const ControlDef& def = Def(control);
  if (def.kind == ControlKind::StatusBar) {
    // Docked along the bottom of the window, across its whole width, at any size of it.
    const int height = control.height > 0 ? control.height : kStatusBarHeight;
    const wxSize area = ContainerOf(window, control)->GetClientSize();
    return wxRect(0, area.y - height, area.x, height);
  }
  wxRect rect(control.left, control.top, control.width, control.height);
  if (*def.container != '\0') {
    ControlModel* container = window.Find(def.container);
    if (container != nullptr && Kind(*container) == ControlKind::TabControl) {
      const ControlWidgets* widgets = WidgetsOf(*container);
      wxPoint origin(kTabPageLeft, kTabPageTop);
      if (widgets != nullptr && !widgets->pageOrigins.empty()) {
        origin = widgets->pageOrigins[PageIndex(def, static_cast<int>(widgets->pageOrigins.size()))];
      }
      rect.Offset(-origin.x, -origin.y);
    }
  }
  return rect;
}

void DockStatusBars(WindowModel& window) {
  MirrorScope mirror;
  for (auto& control : window.controls) {
    ControlWidgets* widgets = WidgetsOf(*control);
    if (Kind(*control) != ControlKind::StatusBar || widgets == nullptr || widgets->widget == nullptr) continue;
    widgets->widget->SetSize(WidgetRect(window, *control));
  }
}

void CreateControls(WindowModel& window) {
  std::set<const ControlModel*> building;
  for (auto& control : window.controls) Build(window, *control, building);
}

void DestroyControls(WindowModel& window) {
  for (auto& control : window.controls) {
    auto* widgets = WidgetsOf(*control);
    if (widgets == nullptr) continue;
    control->backendData = nullptr;
    if (widgets->timer != nullptr) {
      widgets->timer->Stop();
      // A timer handler may be destroying its own window: the timer goes once Notify is done.
      wxTimer* timer = widgets->timer;
      if (ui::Backend* backend = ui::CurrentBackend()) {
        backend->Post([timer] { delete timer; });
      } else {
        delete timer;
      }
    }
    delete widgets;  // the widgets themselves go with their frame
  }
}

void MirrorControl(WindowModel& window, ControlModel& control, Change what, int index) {
  ControlWidgets* widgets = WidgetsOf(control);
  if (widgets == nullptr) return;
  MirrorScope mirror;
  if (what == Change::TimerPeriod) {
    if (widgets->timer != nullptr) ShowTimer(*widgets, control);
    return;
  }
  wxWindow* widget = widgets->widget;
  if (widget == nullptr) return;
  const ControlKind kind = Kind(control);
  switch (what) {
    case Change::Text:
      if (kind == ControlKind::EditBox) {
        auto* edit = static_cast<wxTextCtrl*>(widget);
        edit->ChangeValue(ToWx(control.text));
        widgets->editValue = edit->GetValue();
      } else if (kind == ControlKind::PictureButton) {
        ShowPicture(window, control, false);
      } else if (kind == ControlKind::Label || kind == ControlKind::Button || kind == ControlKind::CheckBox) {
        widget->SetLabel(Caption(control.text));
      }
      break;
    case Change::Visible:
      widget->Show(control.visible);
      break;
    case Change::Enabled:
      widget->Enable(control.enabled);
      break;
    case Change::Checked:
      if (kind == ControlKind::CheckBox) static_cast<wxCheckBox*>(widget)->SetValue(control.checked);
      break;
    case Change::Bounds:
      // Scrolling moves a picture box often; only a new size composes its picture again.
      if (kind == ControlKind::PictureBox) {
        const wxBitmap shown = static_cast<wxStaticBitmap*>(widget)->GetBitmap();
        const wxSize size = shown.IsOk() ? shown.GetSize() : wxSize(0, 0);
        if (size != wxSize(std::max(0, control.width), std::max(0, control.height))) {
          ShowPicture(window, control, false);
        } else {
          widget->SetSize(WidgetRect(window, control));
        }
      } else {
        widget->SetSize(WidgetRect(window, control));
      }
      break;
    case Change::Picture:
      if (kind == ControlKind::PictureBox || kind == ControlKind::PictureButton) {
        ShowPicture(window, control, true);
      }
      break;
    case Change::Progress:
      if (kind == ControlKind::ProgressBar) {
        static_cast<ProgressBox*>(widget)->SetValue(control.progress);
      }
      break;
    case Change::Scroll:
      if (kind == ControlKind::HScrollBar || kind == ControlKind::VScrollBar) {
        ShowScroll(*static_cast<wxScrollBar*>(widget), control);
      }
      break;
    case Change::TreeAdded:
    case Change::TreeAppended:
    case Change::TreeDeleting:
    case Change::TreeCleared:
    case Change::TreeCurrent:
    case Change::TreeItemText: {
      if (kind != ControlKind::TreeView) break;
      auto* tree = static_cast<ModelTree*>(widget);
      if (what == Change::TreeItemText) {
        if (index >= 0 && index < static_cast<int>(widgets->treeItems.size()) &&
            index < static_cast<int>(control.tree.nodes.size())) {
          tree->SetItemText(widgets->treeItems[index], ToWx(control.tree.nodes[index].text));
        }
      } else if (what == Change::TreeAdded) {
        if (index >= 0 && index < static_cast<int>(control.tree.nodes.size())) {
          AddTreeItem(*tree, *widgets, control.tree, index);
        }
      } else if (what == Change::TreeAppended) {
        // The items before index are there; those from it on are the new ones.
        if (index == static_cast<int>(widgets->treeItems.size())) {
          AppendTreeItems(*tree, *widgets, control.tree, index);
        }
      } else if (what == Change::TreeDeleting) {
        if (index >= 0 && index < static_cast<int>(widgets->treeItems.size())) {
          const int end = std::min<int>(SubtreeEnd(control.tree, index), widgets->treeItems.size());
          const bool current = control.tree.current >= index && control.tree.current < end;
          tree->Delete(widgets->treeItems[index]);
          widgets->treeItems.erase(widgets->treeItems.begin() + index, widgets->treeItems.begin() + end);
          if (current) ShowTreeCurrent(*tree, *widgets, -1);  // the core leaves no item current
        }
      } else if (what == Change::TreeCleared) {
        tree->DeleteChildren(widgets->treeRoot);
        widgets->treeItems.clear();
      } else {
        ShowTreeCurrent(*tree, *widgets, control.tree.current);
      }
      break;
    }
    case Change::ListCleared:
    case Change::ListAppended:
    case Change::ListCell:
    case Change::ListRemoved:
    case Change::ListCurrent: {
      if (kind != ControlKind::ListView) break;
      auto* list = static_cast<ModelList*>(widget);
      if (what == Change::ListCleared) {
        list->DeleteAllItems();
        widgets->listFocus = -1;
      } else if (what == Change::ListAppended) {
        list->ShowRowCount(control);  // the new row is drawn when it comes into view
      } else if (what == Change::ListCell) {
        if (index >= 0 && index < list->GetItemCount()) list->RefreshItem(index);
      } else if (what == Change::ListRemoved) {
        // The rows after it move up, with their selection and focus.
        if (index >= 0 && index < list->GetItemCount()) list->DeleteItem(index);
        list->ShowRowCount(control);
        ShowListCurrent(*list, *widgets, control.list.current);
      } else {
        ShowListCurrent(*list, *widgets, control.list.current);
      }
      break;
    }
    case Change::StatusText:
    case Change::StatusTip:
      if (kind == ControlKind::StatusBar) {
        auto* bar = static_cast<wxStatusBar*>(widget);
        ShowStatusParts(*bar, control);
        // A tip that changes under the mouse shows at once.
        if (what == Change::StatusTip && bar->GetToolTip() != nullptr) bar->UnsetToolTip();
      }
      break;
    case Change::TimerPeriod:
    case Change::DialogFileName:
      break;
  }
}

}  // namespace ui::wx
