// CBarcodeData: the text of an Aztec Code request as UTF-8, the form the printer's Aztec
// command takes, converted from the system ANSI code page.
#pragma once

class CBarcodeData {
 public:
  static constexpr long kCapacity = 4096;

  CBarcodeData();
  // NULL changes nothing. Otherwise clears the buffer and stores the text's UTF-8 form;
  // a text of kCapacity bytes or more, or whose UTF-8 form does not fit, leaves it empty.
  void Set(const char* ansiText);
  const unsigned char* Data() const { return m_data; }
  long Length() const { return m_length; }

 private:
  unsigned char m_data[kCapacity];
  long m_length;
};
