// CGdiPlusDll: GDI+ for the lifetime of one object (started by the constructor, shut down by
// the destructor), and the conversion of an image file into a BMP the image reader takes.
// Objects are made where a conversion is needed, never while the module loads.
#pragma once
#include "Win.h"

class CGdiPlusDll {
 public:
  CGdiPlusDll();
  virtual ~CGdiPlusDll();
  CGdiPlusDll(const CGdiPlusDll&) = delete;
  CGdiPlusDll& operator=(const CGdiPlusDll&) = delete;

  bool Started() const { return m_token != 0; }

  // Loads `source` and saves it as a BMP under `target`: 1 success, -1 the source does not
  // load (or GDI+ did not start), -2 no BMP encoder, -3 the BMP could not be written.
  // Images with alpha, and any depth the reader does not take (16 and 32 bits), are drawn
  // onto white in 24-bit RGB first.
  [[nodiscard]] int ConvertToBmp(const char* target, const char* source);

  // The CLSID of the encoder for a MIME type ("image/bmp"); its index, or -1 when none.
  [[nodiscard]] static int GetEncoderClsid(const wchar_t* mimeType, CLSID* clsid);

 private:
  ULONG_PTR m_token = 0;
};
