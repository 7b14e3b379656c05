#pragma once
// The main window's layout as plain data: one row per control, in creation order.
// Creation order is the z-order, which the dialog manager uses as the Tab order, and each
// label is created just before its text box so screen readers name the box by it.
#include <array>
#include <cstddef>

enum ControlId : int {
  // 1 and 2 are IDOK and IDCANCEL, which the dialog manager sends for Enter and Esc.
  Image1 = 100,
  Label1,
  Label2,
  Label3,
  Label4,
  Edit1,
  Edit2,
  Edit3,
  Edit4,
  UpDown1,
  UpDown2,
  UpDown3,
  UpDown4,
  BitBtn1,
  BitBtn2,
  BitBtn3,
  CheckBox1,
  SpeedButton1,
  StatusBar1,
};

enum class ControlKind { Picture, Label, Edit, UpDown, GlyphButton, CheckBox, SpeedButton, StatusBar };
enum class FontKind { Window, Label, System };

// What a control is beyond its kind; combined with |.
enum ControlFlags : unsigned {
  kNoFlags = 0,
  kTabStop = 1,   // the Tab key stops here
  kDisabled = 2,  // created disabled
  kChecked = 4,   // a check box created checked
};
constexpr ControlFlags operator|(ControlFlags a, ControlFlags b) {
  return static_cast<ControlFlags>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}

struct LayoutRect {
  int left, top, width, height;
};

struct LayoutPoint {
  int x, y;
};

struct ControlLayout {
  ControlId id;
  const char* name;
  ControlKind kind;
  LayoutRect rect;      // client pixels at 96 DPI
  const wchar_t* text;  // nullptr: no caption
  FontKind font;
  int tabPosition;  // place in the window's Tab order, counting controls that are not stops; -1: none
  ControlFlags flags;
  int glyph;        // the glyph bitmap's resource id; 0: no glyph
  ControlId buddy;  // the text box an up-down control drives
};

constexpr int kForm1ClientWidth = 266;
constexpr int kForm1ClientHeight = 200;
constexpr int kStatusPanel0Width = 200;
constexpr int kBaseDpi = 96;
constexpr int kWindowFontHeight = 11;                 // Tahoma 8 pt at 96 DPI
constexpr int kLabelFontHeight = 16;                  // Courier New 12 pt at 96 DPI
constexpr LayoutRect kLogoPlacement{2, 2, 100, 100};  // inside Image1, unscaled at 96 DPI
constexpr int kGlyphSize = 16;
constexpr int kGlyphGap = 4;
constexpr int kEditLeftMargin = 2;  // keeps the caret off the first digit
constexpr int kSmallIconSize = 16, kLargeIconSize = 32;
// Windows scales from 100% to 500%; anything outside that is a broken message, not a monitor.
constexpr int kMinDpi = 96, kMaxDpi = 480;

inline constexpr wchar_t kAppTitle[] = L"Velmora";
inline constexpr wchar_t kWindowFontFace[] = L"Tahoma";
inline constexpr wchar_t kLabelFontFace[] = L"Courier New";

constexpr ControlId kLevelEdits[4] = {Edit1, Edit2, Edit3, Edit4};
constexpr ControlId kLevelUpDowns[4] = {UpDown1, UpDown2, UpDown3, UpDown4};

extern const std::array<ControlLayout, 19> kForm1Layout;

const ControlLayout& LayoutOf(ControlId id);
int ScaleForDpi(int pixels, int dpi);
LayoutRect ScaleForDpi(const LayoutRect& rect, int dpi);

// A DPI the window can be laid out at; a DPI-change message with any other value is ignored.
bool IsSaneDpi(int dpi);

// Where the open dialog goes once laid out: centred across the monitor, a third of the way down,
// both rounded down (also when the dialog is larger than the monitor).
LayoutPoint OpenDialogPosition(const LayoutRect& monitor, int dialogWidth, int dialogHeight);
