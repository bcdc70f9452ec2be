#include "common/screenshot.h"

#include <wincodec.h>

#include "support/text.h"

namespace {

template <typename Interface>
struct Releaser {
  Interface* pointer = nullptr;
  ~Releaser() {
    if (pointer) pointer->Release();
  }
};

}  // namespace

COLORREF WindowPicture::At(int x, int y) const {
  uint32_t pixel = pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
  return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

WindowPicture CaptureWindow(HWND window) {
  WindowPicture picture;
  RECT bounds;
  GetWindowRect(window, &bounds);
  picture.width = bounds.right - bounds.left;
  picture.height = bounds.bottom - bounds.top;
  picture.pixels.resize(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height));
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, picture.width, picture.height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, picture.width, picture.height, screen, bounds.left, bounds.top, SRCCOPY);
  SelectObject(memory, previous);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = -picture.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(picture.height), picture.pixels.data(), &info, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  for (uint32_t& pixel : picture.pixels) pixel &= 0xFFFFFF;
  return picture;
}

bool SavePng(const WindowPicture& picture, const std::string& path) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  Releaser<IWICImagingFactory> factory;
  Releaser<IWICStream> stream;
  Releaser<IWICBitmapEncoder> encoder;
  Releaser<IWICBitmapFrameEncode> frame;
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
  UINT stride = static_cast<UINT>(picture.width) * 4;
  bool saved =
      SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                 reinterpret_cast<void**>(&factory.pointer))) &&
      SUCCEEDED(factory.pointer->CreateStream(&stream.pointer)) &&
      SUCCEEDED(stream.pointer->InitializeFromFilename(Widen(path).c_str(), GENERIC_WRITE)) &&
      SUCCEEDED(factory.pointer->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder.pointer)) &&
      SUCCEEDED(encoder.pointer->Initialize(stream.pointer, WICBitmapEncoderNoCache)) &&
      SUCCEEDED(encoder.pointer->CreateNewFrame(&frame.pointer, nullptr)) &&
      SUCCEEDED(frame.pointer->Initialize(nullptr)) &&
      SUCCEEDED(frame.pointer->SetSize(static_cast<UINT>(picture.width), static_cast<UINT>(picture.height))) &&
      SUCCEEDED(frame.pointer->SetPixelFormat(&format)) &&
      SUCCEEDED(frame.pointer->WritePixels(static_cast<UINT>(picture.height), stride,
                                           stride * static_cast<UINT>(picture.height),
                                           reinterpret_cast<BYTE*>(const_cast<uint32_t*>(picture.pixels.data())))) &&
      SUCCEEDED(frame.pointer->Commit()) && SUCCEEDED(encoder.pointer->Commit());
  return saved;
}
