// Controls the backend draws itself where the toolkit's own would not show what the definition
// means: a picture button is its picture, edge to edge; a progress bar fills its whole box; a
// menu bar may hold commands of its own besides menus.
#pragma once

#include <wx/wx.h>

#include <vector>

namespace ui::wx {

// Raises wxEVT_BUTTON when clicked (left button released over it, or Space / Return). A picture
// wider than tall is an icon at its left beside a caption area, where the caption is drawn.
class PictureButton : public wxControl {
 public:
  PictureButton(wxWindow* parent, const wxRect& rect);

  // Shows the picture from the top-left corner; with an invalid one, a push button with the
  // caption instead.
  void SetPicture(const wxBitmap& picture, const wxString& caption);
  const wxBitmap& Picture() const { return picture_; }
  wxString Caption() const { return caption_; }
  // Where the caption is drawn over the picture; empty when the picture leaves no room for it.
  wxRect CaptionArea() const;

 protected:
  wxSize DoGetBestSize() const override;

 private:
  void OnPaint(wxPaintEvent& event);
  void OnLeftDown(wxMouseEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnCaptureLost(wxMouseCaptureLostEvent& event);
  void OnKey(wxKeyEvent& event);
  void Click();

  wxBitmap picture_;
  wxString caption_;
  bool pressed_ = false;
};

// A progress bar of 0..100 that fills its box from the left.
class ProgressBox : public wxControl {
 public:
  ProgressBox(wxWindow* parent, const wxRect& rect);

  void SetValue(int percent);
  int GetValue() const { return value_; }
  bool AcceptsFocus() const override { return false; }

 private:
  void OnPaint(wxPaintEvent& event);

  int value_ = 0;
};

// A window's menu bar. An entry with a menu drops it down when clicked; an entry without one is
// a command: clicking it raises wxEVT_MENU with its id. The menus' items raise wxEVT_MENU too;
// both reach the frame as command events do.
class MenuStrip : public wxControl {
 public:
  struct Entry {
    wxString caption;
    wxMenu* menu = nullptr;  // owned; nullptr for a command
    int id = wxID_NONE;      // a command's id
  };

  MenuStrip(wxWindow* parent, std::vector<Entry> entries);
  ~MenuStrip() override;

  const std::vector<Entry>& Entries() const { return entries_; }
  // Acts as a click on the entry does.
  void Choose(std::size_t entry);
  wxRect EntryRect(std::size_t entry) const;
  bool AcceptsFocus() const override { return false; }
  bool SetFont(const wxFont& font) override;

 protected:
  wxSize DoGetBestSize() const override;

 private:
  void Measure() const;
  int EntryAt(const wxPoint& point) const;
  void OnPaint(wxPaintEvent& event);
  void OnMotion(wxMouseEvent& event);
  void OnLeave(wxMouseEvent& event);
  void OnLeftDown(wxMouseEvent& event);

  std::vector<Entry> entries_;
  int hot_ = -1;  // under the mouse, or dropped down
  // The entries' widths and the text height in the strip's font, once measured.
  mutable bool measured_ = false;
  mutable std::vector<int> widths_;
  mutable int charHeight_ = 0;
};

}  // namespace ui::wx
