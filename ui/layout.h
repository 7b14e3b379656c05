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
// Window: Tahoma 8 pt; Label: Courier New 12 pt; Status: the system's status-bar font, made
// smaller only where the clock would not fit its panel; None: a control that shows no text.
enum class FontKind { Window, Label, Status, None };

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
constexpr int kGlyphGap = 4;
constexpr int kEditLeftMargin = 2;  // keeps the caret off the first digit
constexpr int kCheckBoxSize = 13;   // the box of a check box, drawn by the form in high contrast
// The clock's text keeps this far from its panel's edges (at 96 DPI, scaled). Between the two
// stand the part's border and, on the left, the status bar's own inset of a part's text; and
// the text may not count on a slack's width of the part: the bar's centring rounds to the right
// and smoothed ink reaches a pixel past the text's measured width. These three are the bar's
// own device pixels, the same at every DPI.
constexpr int kClockClearance = 2;
constexpr int kStatusBorder = 1;
constexpr int kStatusTextInset = 3;
constexpr int kStatusTextSlack = 3;

inline constexpr wchar_t kWindowFontFace[] = L"Tahoma";
inline constexpr wchar_t kLabelFontFace[] = L"Courier New";

// The sizes each button glyph is drawn at, smallest first. A glyph is drawn at its own size, so
// it stays sharp: the bitmaps of one size have the 16-pixel glyph's resource id plus
// kGlyphIdStep for each step up this list.
constexpr int kGlyphSizes[] = {16, 20, 24, 32};
constexpr int kGlyphIdStep = 10;

constexpr ControlId kLevelEdits[4] = {Edit1, Edit2, Edit3, Edit4};
constexpr ControlId kLevelUpDowns[4] = {UpDown1, UpDown2, UpDown3, UpDown4};

extern const std::array<ControlLayout, 19> kForm1Layout;

// The control's row in kForm1Layout; kForm1Layout.size() when it has none.
std::size_t LayoutIndexOf(ControlId id);
const ControlLayout& LayoutOf(ControlId id);
// value * numerator / denominator with halves rounded away from zero, as MulDiv rounds.
int MulDivRounded(long long value, long long numerator, long long denominator);
int ScaleForDpi(int pixels, int dpi);
LayoutRect ScaleForDpi(const LayoutRect& rect, int dpi);

// A DPI the window can be laid out at; a DPI-change message with any other value is ignored.
bool IsSaneDpi(int dpi);

// The glyph size nearest to 16 pixels at 96 DPI scaled to dpi; halfway between two sizes, the
// smaller, which leaves the caption more room.
int GlyphSizeForDpi(int dpi);
// The bitmap resource of a glyph, named by its 16-pixel id, at one of kGlyphSizes.
int GlyphResourceId(int glyph, int size);

// Whether a clock text this wide, centred in a status-bar part this wide, keeps its clearance
// from both of the part's edges.
bool ClockFits(int partWidth, int textWidth, int dpi);

// The first font height from height down, a pixel at a time, at which fits(height) holds; below
// smallest a font is hard to read, so a text that never fits gets smallest. Never made larger.
template <typename Fits>
int FittedFontHeight(int height, int smallest, Fits fits) {
  while (height > smallest && !fits(height)) --height;
  return height;
}

// Where the open dialog goes once laid out: centred across the monitor, a third of the way down,
// both rounded down (also when the dialog is larger than the monitor).
LayoutPoint OpenDialogPosition(const LayoutRect& monitor, int dialogWidth, int dialogHeight);
