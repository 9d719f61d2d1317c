#include "button_check.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

std::vector<SkinButton> LauncherButtons() {
  return {{"Play button", 160, 250, 60, 20}, {"Quit button", 355, 250, 60, 20}};
}

std::vector<SkinButton> LauncherButtonsAt(int32_t percent) {
  std::vector<SkinButton> buttons = LauncherButtons();
  auto scale = [percent](int32_t v) { return int32_t((int64_t(v) * percent + 50) / 100); };
  for (SkinButton& b : buttons) {
    b.x = scale(b.x);
    b.y = scale(b.y);
    b.width = scale(b.width);
    b.height = scale(b.height);
  }
  return buttons;
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
  ButtonPlacement placement{false, 0, 0, 0};
  const int64_t right = int64_t(button.x) + button.width, bottom = int64_t(button.y) + button.height;
  placement.outside = button.x < 0 || button.y < 0 || right > image.width || bottom > image.height;
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
  std::string fault;
  if (p.outside)
    fault = "reaches outside the " + std::to_string(image.width) + " x " + std::to_string(image.height) + " image";
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
    std::string fault = PlacementFault(image, CheckButtonPlacement(image, b));
    if (!fault.empty()) warnings.push_back(ButtonName(b) + " " + fault + ": that part of it will not show");
  }
  return warnings;
}
