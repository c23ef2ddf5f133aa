#include "GdiPlusDll.h"

#include <objidl.h>

#include <gdiplus.h>

#include <cwchar>
#include <memory>
#include <string>

namespace gp = Gdiplus::DllExports;

namespace {

constexpr Gdiplus::PixelFormat kAlphaFlag = 0x40000;  // PixelFormatAlpha
constexpr Gdiplus::PixelFormat k24bppRGB = 0x21808;   // PixelFormat24bppRGB
constexpr Gdiplus::ARGB kOpaqueWhite = 0xFFFFFFFF;

std::wstring Wide(const char* text) {
  if (!text) return std::wstring();
  const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], n);
  wide.resize(static_cast<size_t>(n - 1));
  return wide;
}

struct ImageDeleter {
  void operator()(Gdiplus::GpBitmap* image) const { gp::GdipDisposeImage(image); }
};
struct GraphicsDeleter {
  void operator()(Gdiplus::GpGraphics* graphics) const { gp::GdipDeleteGraphics(graphics); }
};
using ImagePtr = std::unique_ptr<Gdiplus::GpBitmap, ImageDeleter>;
using GraphicsPtr = std::unique_ptr<Gdiplus::GpGraphics, GraphicsDeleter>;

// The image reader takes 1-, 4-, 8- and 24-bit pixels without alpha.
bool ReaderTakes(Gdiplus::PixelFormat format) {
  if (format & kAlphaFlag) return false;
  const UINT bits = (format >> 8) & 0xFF;
  return bits == 1 || bits == 4 || bits == 8 || bits == 24;
}

// A 24-bit copy of the image drawn on white; NULL on failure.
ImagePtr OnWhite(Gdiplus::GpBitmap* source) {
  UINT width = 0, height = 0;
  if (gp::GdipGetImageWidth(source, &width) != Gdiplus::Ok ||
      gp::GdipGetImageHeight(source, &height) != Gdiplus::Ok)
    return nullptr;
  Gdiplus::GpBitmap* raw = nullptr;
  if (gp::GdipCreateBitmapFromScan0(static_cast<INT>(width), static_cast<INT>(height), 0,
                                    k24bppRGB, nullptr, &raw) != Gdiplus::Ok)
    return nullptr;
  ImagePtr canvas(raw);
  Gdiplus::GpGraphics* rawGraphics = nullptr;
  if (gp::GdipGetImageGraphicsContext(canvas.get(), &rawGraphics) != Gdiplus::Ok)
    return nullptr;
  GraphicsPtr graphics(rawGraphics);
  if (gp::GdipGraphicsClear(graphics.get(), kOpaqueWhite) != Gdiplus::Ok ||
      gp::GdipDrawImageRectI(graphics.get(), source, 0, 0, static_cast<INT>(width),
                             static_cast<INT>(height)) != Gdiplus::Ok)
    return nullptr;
  return canvas;
}

}  // namespace

CGdiPlusDll::CGdiPlusDll() {
  Gdiplus::GdiplusStartupInput input;
  if (Gdiplus::GdiplusStartup(&m_token, &input, nullptr) != Gdiplus::Ok) m_token = 0;
}

CGdiPlusDll::~CGdiPlusDll() {
  if (m_token) Gdiplus::GdiplusShutdown(m_token);
}

int CGdiPlusDll::GetEncoderClsid(const wchar_t* mimeType, CLSID* clsid) {
  UINT count = 0, size = 0;
  if (gp::GdipGetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return -1;
  HGLOBAL block = GlobalAlloc(GPTR, size);  // zero-filled
  if (!block) return -1;
  auto* codecs = static_cast<Gdiplus::ImageCodecInfo*>(GlobalLock(block));
  int found = -1;
  if (codecs && gp::GdipGetImageEncoders(count, size, codecs) == Gdiplus::Ok) {
    for (UINT i = 0; i < count && found < 0; ++i) {
      if (codecs[i].MimeType && std::wcscmp(codecs[i].MimeType, mimeType) == 0) {
        *clsid = codecs[i].Clsid;
        found = static_cast<int>(i);
      }
    }
  }
  GlobalUnlock(block);
  GlobalFree(block);
  return found;
}

int CGdiPlusDll::ConvertToBmp(const char* target, const char* source) {
  if (!Started()) return -1;
  Gdiplus::GpBitmap* raw = nullptr;
  if (gp::GdipCreateBitmapFromFile(Wide(source).c_str(), &raw) != Gdiplus::Ok || !raw) return -1;
  ImagePtr image(raw);
  CLSID bmp;
  if (GetEncoderClsid(L"image/bmp", &bmp) < 0) return -2;
  Gdiplus::PixelFormat format = 0;
  if (gp::GdipGetImagePixelFormat(image.get(), &format) != Gdiplus::Ok) return -1;
  ImagePtr canvas;
  if (!ReaderTakes(format)) {
    canvas = OnWhite(image.get());
    if (!canvas) return -3;
  }
  Gdiplus::GpBitmap* save = canvas ? canvas.get() : image.get();
  if (gp::GdipSaveImageToFile(save, Wide(target).c_str(), &bmp, nullptr) != Gdiplus::Ok)
    return -3;
  return 1;
}
