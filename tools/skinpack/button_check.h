// Where the launcher's buttons sit on a skin, and whether the skin shows them: a button over
// KeyColour pixels is cut away there with the window, and one past the image's edge is clipped.
// Also the size of art the launcher's layout is made for.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "skin/skin_runs.h"

// A button's rectangle in window (= image) coordinates, origin top-left.
struct SkinButton {
  std::string name;  // for messages: "Play button", "button 1"
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
};

// The launcher's two buttons: "Play" at 160,250 and "Quit" at 355,250, both 60 x 20; the
// window's client area is the image, so these are image coordinates too.
std::vector<SkinButton> LauncherButtons();
// The same at a display scale in percent (100 = as above): each value times percent / 100,
// rounded half up, as the launcher lays its buttons out on art drawn for that scale.
std::vector<SkinButton> LauncherButtonsAt(int32_t percent);

// The size of the launcher's own art at a display scale in percent (575 x 385 at 100 %, scaled as
// the buttons are). The window takes the size of whatever art it is given, but the buttons keep
// their places in the layout, so art of another size has them elsewhere on its picture.
struct ArtSize {
  int32_t width;
  int32_t height;
};
ArtSize LauncherArtSizeAt(int32_t percent);

// A warning when art drawn for `percent` is not the layout's size at that scale, saying what the
// window will do with it; empty when it is.
std::string ArtSizeWarning(uint32_t width, uint32_t height, int32_t percent);

// Reads "x,y,w,h" (w and h positive) as a button named `name`. False on anything else.
bool ParseSkinButton(const std::string& text, const std::string& name, SkinButton* button);

struct ButtonPlacement {
  bool outside;        // part of the rectangle lies outside the image
  bool whollyOutside;  // no part of it lies inside
  uint32_t keyPixels;  // KeyColour pixels under the part inside the image (transparency has become KeyColour)
  int32_t firstKeyX;   // the first of them, in reading order (when keyPixels > 0)
  int32_t firstKeyY;
};

ButtonPlacement CheckButtonPlacement(const SkinImageView& image, const SkinButton& button);

// One line per button: where it is and whether the skin shows it whole.
std::string DescribeButtonPlacements(const SkinImageView& image, const std::vector<SkinButton>& buttons);

// One warning for each button that lies outside the image or on KeyColour pixels.
std::vector<std::string> ButtonWarnings(const SkinImageView& image, const std::vector<SkinButton>& buttons);
