// Dialog units: the window's rectangles are given in units of the dialog
// font, a quarter of its average character width across and an eighth of
// its character height down, so the arrangement follows the font.
#pragma once

namespace forms {

struct UnitRect {
  int x = 0, y = 0, width = 0, height = 0;
};

struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
};

// Average width of the dialog font's characters, from the width in pixels
// of the 52 letters "A".."Z" "a".."z" written in one line, rounded.
int AverageCharWidth(int widthOf52Letters);

class DialogUnits {
 public:
  // `averageCharWidth` and `charHeight` of the dialog font, in pixels.
  DialogUnits(int averageCharWidth, int charHeight);

  int X(int units) const;
  int Y(int units) const;
  PixelRect Map(const UnitRect& rect) const;

  int BaseX() const { return baseX_; }
  int BaseY() const { return baseY_; }

 private:
  int baseX_;
  int baseY_;
};

}  // namespace forms
