#include "winui/artwork.h"

#include <algorithm>
#include <cstdint>

namespace tavo::winui {
namespace {

// The classic 16-colour palette; the icon uses nothing else.
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kNavy = RGB(0, 0, 128);
constexpr COLORREF kTeal = RGB(0, 128, 128);
constexpr COLORREF kGray = RGB(128, 128, 128);
constexpr COLORREF kSilver = RGB(192, 192, 192);
constexpr COLORREF kLime = RGB(0, 255, 0);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

void Box(HDC dc, int left, int top, int width, int height, COLORREF fill) {
  HBRUSH brush = ::CreateSolidBrush(fill);
  HGDIOBJ old_brush = ::SelectObject(dc, brush);
  HGDIOBJ old_pen = ::SelectObject(dc, ::GetStockObject(BLACK_PEN));
  ::Rectangle(dc, left, top, left + width + 1, top + height + 1);
  ::SelectObject(dc, old_pen);
  ::SelectObject(dc, old_brush);
  ::DeleteObject(brush);
}

void Line(HDC dc, int x1, int y1, int x2, int y2, COLORREF colour, int width = 1) {
  HPEN pen = ::CreatePen(PS_SOLID, width, colour);
  HGDIOBJ old = ::SelectObject(dc, pen);
  ::MoveToEx(dc, x1, y1, nullptr);
  ::LineTo(dc, x2, y2);
  ::SelectObject(dc, old);
  ::DeleteObject(pen);
}

// A small organizer: a clamshell body with a display and keys.
void DrawOrganizer(HDC dc, const RECT& body, COLORREF case_colour, COLORREF screen_colour,
                   COLORREF key_colour) {
  const int width = body.right - body.left;
  const int height = body.bottom - body.top;
  Box(dc, body.left, body.top, width, height, case_colour);
  const int margin = width / 8;
  const int screen_height = height / 2 - margin;
  Box(dc, body.left + margin, body.top + margin, width - 2 * margin, screen_height, screen_colour);
  const int key_top = body.top + margin + screen_height + margin;
  const int key = std::max(2, width / 8);
  for (int row = 0; row < 2; ++row) {
    for (int col = 0; col < 4; ++col) {
      const int x = body.left + margin + col * (key + key / 2 + 1);
      const int y = key_top + row * (key + key / 2 + 1);
      if (x + key < body.right && y + key < body.bottom) Box(dc, x, y, key, key, key_colour);
    }
  }
}

void DrawIcon32(HDC dc) {
  RECT all{0, 0, 32, 32};
  HBRUSH teal = ::CreateSolidBrush(kTeal);
  ::FillRect(dc, &all, teal);
  ::DeleteObject(teal);
  // A monitor on the right, an organizer on the left, a cable between.
  Box(dc, 16, 5, 14, 12, kSilver);
  Box(dc, 18, 7, 10, 8, kNavy);
  Box(dc, 20, 18, 6, 2, kGray);
  Box(dc, 17, 21, 12, 3, kGray);
  DrawOrganizer(dc, RECT{2, 12, 14, 29}, kGray, kLime, kSilver);
  Line(dc, 14, 20, 16, 20, kYellow);
  Line(dc, 16, 20, 16, 26, kYellow);
  Line(dc, 16, 26, 17, 26, kYellow);
  ::SetPixel(dc, 19, 8, kWhite);
}

HFONT Font(int height, int weight) {
  return ::CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, L"Arial");
}

}  // namespace

HICON MakeWindowIcon(int size) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = 32;
  info.bmiHeader.biHeight = -32;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  HDC screen = ::GetDC(nullptr);
  HDC dc = ::CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP picture = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(dc, picture);
  DrawIcon32(dc);
  // Opaque everywhere: the icon is a full square.
  auto* pixels = static_cast<std::uint32_t*>(bits);
  for (int i = 0; i < 32 * 32; ++i) pixels[i] |= 0xff000000u;
  // Scaled by whole pixels, so that the 16-colour drawing stays crisp.
  HDC scaled_dc = ::CreateCompatibleDC(screen);
  HBITMAP scaled = ::CreateCompatibleBitmap(screen, size, size);
  HGDIOBJ old_scaled = ::SelectObject(scaled_dc, scaled);
  ::SetStretchBltMode(scaled_dc, COLORONCOLOR);
  ::StretchBlt(scaled_dc, 0, 0, size, size, dc, 0, 0, 32, 32, SRCCOPY);
  ::SelectObject(scaled_dc, old_scaled);
  ::SelectObject(dc, old);
  HBITMAP mask = ::CreateBitmap(size, size, 1, 1, nullptr);
  HDC mask_dc = ::CreateCompatibleDC(screen);
  HGDIOBJ old_mask = ::SelectObject(mask_dc, mask);
  ::PatBlt(mask_dc, 0, 0, size, size, BLACKNESS);
  ::SelectObject(mask_dc, old_mask);
  ICONINFO icon{TRUE, 0, 0, mask, scaled};
  HICON result = ::CreateIconIndirect(&icon);
  ::DeleteDC(mask_dc);
  ::DeleteDC(scaled_dc);
  ::DeleteDC(dc);
  ::ReleaseDC(nullptr, screen);
  ::DeleteObject(mask);
  ::DeleteObject(scaled);
  ::DeleteObject(picture);
  return result;
}

void PaintAboutPicture(HDC dc, const RECT& area, unsigned dpi) {
  const int height = area.bottom - area.top;
  const auto px = [dpi](int at96) { return ::MulDiv(at96, static_cast<int>(dpi), 96); };
  // A night sky from deep blue to teal.
  for (int y = 0; y < height; y += 2) {
    const int t = height > 0 ? y * 255 / height : 0;
    HBRUSH band = ::CreateSolidBrush(RGB(18 - t * 18 / 255, 44 + t * 60 / 255, 86 + t * 40 / 255));
    RECT row{area.left, area.top + y, area.right, area.top + y + 2};
    ::FillRect(dc, &row, band);
    ::DeleteObject(band);
  }
  DrawOrganizer(
      dc, RECT{area.left + px(40), area.top + px(120), area.left + px(130), area.top + px(250)},
      kGray, kLime, kSilver);
  Box(dc, area.left + px(370), area.top + px(110), px(100), px(80), kSilver);
  Box(dc, area.left + px(380), area.top + px(120), px(80), px(60), kNavy);
  Box(dc, area.left + px(395), area.top + px(196), px(50), px(10), kGray);
  Line(dc, area.left + px(130), area.top + px(200), area.left + px(395), area.top + px(200),
       kYellow, px(3));
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, kWhite);
  HFONT title = Font(px(44), FW_BOLD);
  HGDIOBJ old = ::SelectObject(dc, title);
  RECT title_area{area.left, area.top + px(24), area.right, area.top + px(84)};
  ::DrawTextW(dc, L"Tavo (Client)", -1, &title_area, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
  HFONT small = Font(px(16), FW_NORMAL);
  ::SelectObject(dc, small);
  RECT line_area{area.left, area.top + px(80), area.right, area.top + px(104)};
  ::DrawTextW(dc, L"Files on your organizer, over the serial cable", -1, &line_area,
              DT_CENTER | DT_SINGLELINE | DT_VCENTER);
  ::SetTextColor(dc, kSilver);
  RECT foot{area.left, area.bottom - px(34), area.right, area.bottom - px(10)};
  ::DrawTextW(dc, L"Click to close", -1, &foot, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
  ::SelectObject(dc, old);
  ::DeleteObject(title);
  ::DeleteObject(small);
}

}  // namespace tavo::winui
