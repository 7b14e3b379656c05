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
enum class Glyph { None, Open, Save, Exit, About };

struct LayoutRect {
  int left, top, width, height;
};

struct ControlLayout {
  ControlId id;
  const char* name;
  ControlKind kind;
  LayoutRect rect;      // client pixels at 96 DPI
  const wchar_t* text;  // nullptr: no caption
  FontKind font;
  int tabPosition;  // -1: not in the Tab order
  Glyph glyph;
  ControlId buddy;  // the text box an up-down control drives
};

constexpr int kForm1ClientWidth = 266;
constexpr int kForm1ClientHeight = 200;
constexpr int kStatusPanel0Width = 200;
constexpr int kBaseDpi = 96;
constexpr int kWindowFontHeight = 11;                 // Tahoma 8 pt at 96 DPI
constexpr int kLabelFontHeight = 16;                  // Courier New 12 pt at 96 DPI
constexpr LayoutRect kLogoPlacement{2, 2, 100, 100};  // inside Image1, unscaled at 96 DPI

inline constexpr wchar_t kAppTitle[] = L"Velmora";
inline constexpr wchar_t kWindowFontFace[] = L"Tahoma";
inline constexpr wchar_t kLabelFontFace[] = L"Courier New";

constexpr ControlId kLevelEdits[4] = {Edit1, Edit2, Edit3, Edit4};
constexpr ControlId kLevelUpDowns[4] = {UpDown1, UpDown2, UpDown3, UpDown4};

extern const std::array<ControlLayout, 19> kForm1Layout;

const ControlLayout& LayoutOf(ControlId id);
int ScaleForDpi(int pixels, int dpi);
LayoutRect ScaleForDpi(const LayoutRect& rect, int dpi);
