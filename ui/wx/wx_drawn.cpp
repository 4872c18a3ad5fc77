// The picture button and the progress bar, drawn by the backend.
#include "ui/wx/wx_drawn.h"
#include "ui/wx/wx_widgets.h"

#include <wx/dcbuffer.h>
#include <wx/renderer.h>

#include <algorithm>

namespace ui::wx {

PictureButton::PictureButton(wxWindow* parent, const wxRect& rect)
    : wxControl(parent, wxID_ANY, rect.GetPosition(), rect.GetSize(),
                wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &PictureButton::OnPaint, this);
  Bind(wxEVT_LEFT_DOWN, &PictureButton::OnLeftDown, this);
  Bind(wxEVT_LEFT_DCLICK, &PictureButton::OnLeftDown, this);
  Bind(wxEVT_LEFT_UP, &PictureButton::OnLeftUp, this);
  Bind(wxEVT_MOUSE_CAPTURE_LOST, &PictureButton::OnCaptureLost, this);
  Bind(wxEVT_KEY_DOWN, &PictureButton::OnKey, this);
}

void PictureButton::SetPicture(const wxBitmap& picture, const wxString& caption) {
  picture_ = picture;
  caption_ = caption;
  SetLabel(caption);
  Refresh();
}

wxRect PictureButton::CaptionArea() const {
  if (!picture_.IsOk()) return wxRect();
  const wxSize face(std::min(picture_.GetWidth(), GetClientSize().x), std::min(picture_.GetHeight(), GetClientSize().y));
  if (face.x <= face.y) return wxRect();  // a picture with no room beside its icon is all picture
  // The icon takes a square of the face's height at the left, less its margin; the face's
  // edge keeps a margin on the right.
  const int left = std::max(0, face.y - 2);
  return wxRect(left, 0, std::max(0, face.x - 4 - left), face.y);
}

wxSize PictureButton::DoGetBestSize() const { return picture_.IsOk() ? picture_.GetSize() : wxSize(75, 24); }

void PictureButton::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  const wxRect all(GetClientSize());
  dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
  dc.Clear();
  int flags = 0;
  if (pressed_) flags |= wxCONTROL_PRESSED;
  if (!IsEnabled()) flags |= wxCONTROL_DISABLED;
  if (picture_.IsOk()) {
    // Pressed, the picture sinks by a pixel as a flat button's face would.
    const int shift = pressed_ ? 1 : 0;
    const wxBitmap shown = IsEnabled() ? picture_ : picture_.ConvertToDisabled();
    dc.DrawBitmap(shown, shift, shift, true);
    wxRect area = CaptionArea();
    if (!caption_.empty() && !area.IsEmpty()) {
      dc.SetFont(GetFont());
      dc.SetTextForeground(
          wxSystemSettings::GetColour(IsEnabled() ? wxSYS_COLOUR_BTNTEXT : wxSYS_COLOUR_GRAYTEXT));
      area.Offset(shift, shift);
      dc.DrawLabel(caption_, area, wxALIGN_CENTER);
    }
    if (HasFocus()) wxRendererNative::Get().DrawFocusRect(this, dc, wxRect(all).Deflate(1));
    return;
  }
  wxRendererNative::Get().DrawPushButton(this, dc, all, flags);
  dc.SetFont(GetFont());
  dc.SetTextForeground(
      wxSystemSettings::GetColour(IsEnabled() ? wxSYS_COLOUR_BTNTEXT : wxSYS_COLOUR_GRAYTEXT));
  dc.DrawLabel(caption_, all, wxALIGN_CENTER);
}

void PictureButton::OnLeftDown(wxMouseEvent&) {
  if (!IsEnabled()) return;
  SetFocus();
  pressed_ = true;
  if (!HasCapture()) CaptureMouse();
  Refresh();
}

void PictureButton::OnLeftUp(wxMouseEvent& event) {
  if (HasCapture()) ReleaseMouse();
  const bool wasPressed = pressed_;
  pressed_ = false;
  Refresh();
  if (wasPressed && wxRect(GetClientSize()).Contains(event.GetPosition())) Click();
}

void PictureButton::OnCaptureLost(wxMouseCaptureLostEvent&) {
  pressed_ = false;
  Refresh();
}

void PictureButton::OnKey(wxKeyEvent& event) {
  const int key = event.GetKeyCode();
  if (key == WXK_SPACE || key == WXK_RETURN || key == WXK_NUMPAD_ENTER) {
    Click();
    return;
  }
  event.Skip();
}

void PictureButton::Click() {
  wxCommandEvent clicked(wxEVT_BUTTON, GetId());
  clicked.SetEventObject(this);
  ProcessWindowEvent(clicked);
}

ProgressBox::ProgressBox(wxWindow* parent, const wxRect& rect)
    : wxControl(parent, wxID_ANY, rect.GetPosition(), rect.GetSize(),
                wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &ProgressBox::OnPaint, this);
}

void ProgressBox::SetValue(int percent) {
  const int value = std::clamp(percent, 0, 100);
  if (value == value_) return;
  value_ = value;
  Refresh();
}

// A grey trough, darker than the window's face, that reads as a bar even when nothing is filled
// (a white box read as an empty edit box), filled from the left in the selection colour.
void ProgressBox::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  const wxSize size = GetClientSize();
  dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
  dc.Clear();
  const wxColour face = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
  dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW)));
  dc.SetBrush(wxBrush(face.ChangeLightness(88)));
  dc.DrawRoundedRectangle(0, 0, size.x, size.y, 3);
  const int inner = std::max(0, size.x - 4);
  const int filled = inner * value_ / 100;
  if (filled > 0 && size.y > 4) {
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT)));
    dc.DrawRoundedRectangle(2, 2, filled, size.y - 4, 2);
  }
}

namespace {
constexpr int kEntryPadding = 8;
}

MenuStrip::MenuStrip(wxWindow* parent, std::vector<Entry> entries)
    : wxControl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE),
      entries_(std::move(entries)) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &MenuStrip::OnPaint, this);
  Bind(wxEVT_MOTION, &MenuStrip::OnMotion, this);
  Bind(wxEVT_LEAVE_WINDOW, &MenuStrip::OnLeave, this);
  Bind(wxEVT_LEFT_DOWN, &MenuStrip::OnLeftDown, this);
}

MenuStrip::~MenuStrip() {
  for (Entry& entry : entries_) delete entry.menu;
}

bool MenuStrip::SetFont(const wxFont& font) {
  if (!wxControl::SetFont(font)) return false;
  measured_ = false;
  return true;
}

// The captions are measured once per font: every paint and every mouse move asks for them.
void MenuStrip::Measure() const {
  if (measured_) return;
  wxClientDC dc(const_cast<MenuStrip*>(this));
  dc.SetFont(GetFont());
  widths_.clear();
  for (const Entry& entry : entries_) widths_.push_back(dc.GetTextExtent(entry.caption).x + 2 * kEntryPadding);
  charHeight_ = dc.GetCharHeight();
  measured_ = true;
}

wxRect MenuStrip::EntryRect(std::size_t entry) const {
  if (entry >= entries_.size()) return wxRect();
  Measure();
  int left = 0;
  for (std::size_t i = 0; i < entry; ++i) left += widths_[i];
  return wxRect(left, 0, widths_[entry], GetClientSize().y);
}

wxSize MenuStrip::DoGetBestSize() const {
  Measure();
  return wxSize(-1, charHeight_ + 8);
}

int MenuStrip::EntryAt(const wxPoint& point) const {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (EntryRect(i).Contains(point)) return static_cast<int>(i);
  }
  return -1;
}

void MenuStrip::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  dc.SetBackground(wxBrush(wxSystemSettings::GetColour(wxSYS_COLOUR_MENUBAR)));
  dc.Clear();
  dc.SetFont(GetFont());
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const wxRect rect = EntryRect(i);
    const bool hot = static_cast<int>(i) == hot_;
    if (hot) {
      dc.SetPen(*wxTRANSPARENT_PEN);
      dc.SetBrush(wxBrush(wxSystemSettings::GetColour(wxSYS_COLOUR_MENUHILIGHT)));
      dc.DrawRectangle(rect);
    }
    dc.SetTextForeground(
        wxSystemSettings::GetColour(hot ? wxSYS_COLOUR_HIGHLIGHTTEXT : wxSYS_COLOUR_MENUTEXT));
    dc.DrawLabel(entries_[i].caption, rect, wxALIGN_CENTER);
  }
}

void MenuStrip::OnMotion(wxMouseEvent& event) {
  const int hot = EntryAt(event.GetPosition());
  if (hot == hot_) return;
  hot_ = hot;
  Refresh();
}

void MenuStrip::OnLeave(wxMouseEvent&) {
  if (hot_ == -1) return;
  hot_ = -1;
  Refresh();
}

void MenuStrip::OnLeftDown(wxMouseEvent& event) {
  const int entry = EntryAt(event.GetPosition());
  if (entry >= 0) Choose(static_cast<std::size_t>(entry));
}

void MenuStrip::Choose(std::size_t entry) {
  if (entry >= entries_.size()) return;
  Entry& chosen = entries_[entry];
  if (chosen.menu == nullptr) {
    wxCommandEvent command(wxEVT_MENU, chosen.id);
    command.SetEventObject(this);
    ProcessWindowEvent(command);
    return;
  }
  hot_ = static_cast<int>(entry);
  Refresh();
  Update();
  {
    ModalScope modal;
    PopupMenu(chosen.menu, EntryRect(entry).GetBottomLeft());
  }
  hot_ = EntryAt(ScreenToClient(wxGetMousePosition()));
  Refresh();
}

}  // namespace ui::wx
