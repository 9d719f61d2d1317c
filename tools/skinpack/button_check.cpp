#include "button_check.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

std::vector<SkinButton> LauncherButtons() {
  return {{"Play button", 160, 250, 60, 20}, {"Quit button", 355, 250, 60, 20}};
}

namespace {

// A length of the 100 % layout at `percent`, rounded half up.
int32_t ScaleLength(int32_t v, int32_t percent) { return int32_t((int64_t(v) * percent + 50) / 100); }

}  // namespace

std::vector<SkinButton> LauncherButtonsAt(int32_t percent) {
  std::vector<SkinButton> buttons = LauncherButtons();
  auto scale = [percent](int32_t v) { return ScaleLength(v, percent); };
  for (SkinButton& b : buttons) {
    b.x = scale(b.x);
    b.y = scale(b.y);
    b.width = scale(b.width);
    b.height = scale(b.height);
  }
  return buttons;
}

ArtSize LauncherArtSizeAt(int32_t percent) { return {ScaleLength(575, percent), ScaleLength(385, percent)}; }

std::string ArtSizeWarning(uint32_t width, uint32_t height, int32_t percent) {
  const ArtSize layout = LauncherArtSizeAt(percent);
  if (int64_t(width) == layout.width && int64_t(height) == layout.height) return "";
  auto size = [](int64_t w, int64_t h) { return std::to_string(w) + " x " + std::to_string(h); };
  std::string text = "the " + std::to_string(percent) + " % art is " + size(width, height) + ", not the " +
                     size(layout.width, layout.height) + " the launcher's layout expects: the window takes the art's size";
  // The smallest screens a player may have.
  if (percent == 100 && (width > 1024 || height > 768)) text += " (at 100 %, larger than a 1024 x 768 screen)";
  text += ", but the buttons stay at their places for " + size(layout.width, layout.height);
  text += int64_t(width) < layout.width || int64_t(height) < layout.height
              ? ", so they may lie off the art"
              : ", so they may not sit where the art draws them";
  // Art drawn for the launcher's other scale, given in the wrong place.
  for (int32_t other : {100, 200}) {
    const ArtSize o = LauncherArtSizeAt(other);
    if (other != percent && int64_t(width) == o.width && int64_t(height) == o.height)
      text += "; " + size(width, height) + " is the size of the " + std::to_string(other) + " % art";
  }
  return text;
}

bool ParseSkinButton(const std::string& text, const std::string& name, SkinButton* button) {
  long v[4];
  const char* p = text.c_str();
  for (int i = 0; i < 4; ++i) {
    char* end;
    v[i] = std::strtol(p, &end, 10);
    if (end == p || v[i] < -32768 || v[i] > 32767 || *end != (i < 3 ? ',' : '\0')) return false;
    p = end + (i < 3);
  }
  if (v[2] <= 0 || v[3] <= 0) return false;
  *button = SkinButton{name, int32_t(v[0]), int32_t(v[1]), int32_t(v[2]), int32_t(v[3])};
  return true;
}

ButtonPlacement CheckButtonPlacement(const SkinImageView& image, const SkinButton& button) {
  ButtonPlacement placement{false, false, 0, 0, 0};
  const int64_t right = int64_t(button.x) + button.width, bottom = int64_t(button.y) + button.height;
  placement.outside = button.x < 0 || button.y < 0 || right > image.width || bottom > image.height;
  placement.whollyOutside = right <= 0 || bottom <= 0 || button.x >= image.width || button.y >= image.height;
  const int32_t left = std::max(button.x, 0), top = std::max(button.y, 0);
  const int32_t r = int32_t(std::min<int64_t>(right, image.width)), b = int32_t(std::min<int64_t>(bottom, image.height));
  for (int32_t y = top; y < b; ++y)
    for (int32_t x = left; x < r; ++x)
      if (IsKeyColourPixel(image, x, y) && placement.keyPixels++ == 0) {
        placement.firstKeyX = x;
        placement.firstKeyY = y;
      }
  return placement;
}

namespace {

std::string ButtonName(const SkinButton& b) {
  char text[160];
  std::snprintf(text, sizeof text, "%s (%d,%d, %d x %d)", b.name.c_str(), b.x, b.y, b.width, b.height);
  return text;
}

// What is wrong with the placement, or "" when the skin shows the button whole.
std::string PlacementFault(const SkinImageView& image, const ButtonPlacement& p) {
  const std::string size = std::to_string(image.width) + " x " + std::to_string(image.height);
  if (p.whollyOutside) return "lies wholly outside the " + size + " image";
  std::string fault;
  if (p.outside) fault = "is cut by the edge of the " + size + " image";
  if (p.keyPixels > 0) {
    if (!fault.empty()) fault += " and ";
    fault += "sits on " + std::to_string(p.keyPixels) + " cut-away pixels (magenta or transparent), the first at " +
             std::to_string(p.firstKeyX) + "," + std::to_string(p.firstKeyY);
  }
  return fault;
}

}  // namespace

std::string DescribeButtonPlacements(const SkinImageView& image, const std::vector<SkinButton>& buttons) {
  std::string text;
  for (const SkinButton& b : buttons) {
    std::string fault = PlacementFault(image, CheckButtonPlacement(image, b));
    text += "button:          " + ButtonName(b) + ": " + (fault.empty() ? "on opaque pixels" : fault) + "\n";
  }
  return text;
}

std::vector<std::string> ButtonWarnings(const SkinImageView& image, const std::vector<SkinButton>& buttons) {
  std::vector<std::string> warnings;
  for (const SkinButton& b : buttons) {
    const ButtonPlacement p = CheckButtonPlacement(image, b);
    std::string fault = PlacementFault(image, p);
    if (!fault.empty())
      warnings.push_back(ButtonName(b) + " " + fault +
                         (p.whollyOutside ? ": it will not show" : ": that part of it will not show"));
  }
  return warnings;
}
