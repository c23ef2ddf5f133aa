// Command token codes: what the printer sub-module's builders put into a list and what its
// renderer turns into printer bytes. Codes 101-131, 157-160 and 301-307 also come from the
// service object's print-data tokenizer (one per UnifiedPOS escape sequence, through service
// 1013); the rest are built by the sub-module.
#pragma once

enum RJTokenCode : long {
  RJ_TOKEN_DATA = 0,            // plain bytes (clear print area)
  RJ_TOKEN_CHARSET = 100,       // ESC R, ESC t, FS C
  RJ_TOKEN_TEXT = 101,
  RJ_TOKEN_BOLD = 104,          // "bC"
  RJ_TOKEN_STAMP = 105,         // "sL"
  RJ_TOKEN_ITALIC = 106,        // "iC"
  RJ_TOKEN_LEFT = 107,          // "lA"
  RJ_TOKEN_REVERSE = 108,       // "rvC"
  RJ_TOKEN_RIGHT = 109,         // "rA"
  RJ_TOKEN_SINGLE_SIZE = 110,   // "1C"
  RJ_TOKEN_DOUBLE_WIDE = 111,   // "2C"
  RJ_TOKEN_DOUBLE_HIGH = 112,   // "3C"
  RJ_TOKEN_DOUBLE_SIZE = 113,   // "4C"
  RJ_TOKEN_CENTER = 114,        // "cA"
  RJ_TOKEN_NORMAL = 115,        // "N"
  RJ_TOKEN_CUT = 116,           // "#P"
  RJ_TOKEN_FEED_CUT = 117,      // "#fP"
  RJ_TOKEN_TYPEFACE = 118,      // "#fT"
  RJ_TOKEN_FEED_CUT_STAMP = 119,  // "#sP"
  RJ_TOKEN_SHADING = 120,       // "#sC"
  RJ_TOKEN_BITMAP = 121,        // "#B"
  RJ_TOKEN_FEED_LINES = 122,    // "#lF"
  RJ_TOKEN_FEED_UNITS = 123,    // "#uF"
  RJ_TOKEN_UNDERLINE = 124,     // "#uC"
  RJ_TOKEN_FEED_REVERSE = 125,  // "#rF"
  RJ_TOKEN_HSCALE = 126,        // "#hC"
  RJ_TOKEN_VSCALE = 127,        // "#vC"
  RJ_TOKEN_BOLD_OFF = 128,      // "!bC"
  RJ_TOKEN_ITALIC_OFF = 129,    // "!iC"
  RJ_TOKEN_REVERSE_OFF = 130,   // "!rvC"
  RJ_TOKEN_UNDERLINE_OFF = 131,  // "!uC"
  RJ_TOKEN_LETTER_QUALITY = 132,  // GS s n, built with its bytes
  RJ_TOKEN_RASTER = 150,        // GS v 0 raster image, built with its bytes
  RJ_TOKEN_POSITIONED = 152,    // barcode and other positioned bytes
  RJ_TOKEN_UPSIDE_DOWN = 153,   // ESC {
  RJ_TOKEN_ROTATE_LEFT = 154,
  RJ_TOKEN_ROTATE_RIGHT = 155,
  RJ_TOKEN_FORM_FEED = 156,
  RJ_TOKEN_LINE_FEED = 157,     // CR/LF of the print data
  RJ_TOKEN_WRAP_START = 158,    // start of a line in page mode and rotated print
  RJ_TOKEN_STRIKE = 159,        // "stC"
  RJ_TOKEN_STRIKE_OFF = 160,    // "!stC"
  RJ_TOKEN_RULED_LINE = 161,    // ruled-line bytes
  RJ_TOKEN_RULED_LINE_COPY = 162,  // ruled-line bytes added on the escape-sequence path
  RJ_TOKEN_ALT_COLOR = 301,     // "#rC"
  RJ_TOKEN_COLOR = 302,         // "#fC"
  RJ_TOKEN_SUBSCRIPT = 303,     // "tbC"
  RJ_TOKEN_SUPERSCRIPT = 304,   // "tpC"
  RJ_TOKEN_PASS_THROUGH = 305,  // "#E"
  RJ_TOKEN_SUBSCRIPT_OFF = 306,
  RJ_TOKEN_SUPERSCRIPT_OFF = 307,
  RJ_TOKEN_LINE_SPACING = 401,  // ESC 3 n
  RJ_TOKEN_CUT_PAPER = 403,     // CutPaper, built with its bytes
  RJ_TOKEN_MARK_FEED = 404,     // MarkFeed, built with its bytes
  RJ_TOKEN_CENTER_MODE = 511,
  RJ_TOKEN_RIGHT_MODE = 512,
  RJ_TOKEN_LEFT_MODE = 516,
  RJ_TOKEN_FONT1 = 601,
  RJ_TOKEN_FONT2 = 602,
  RJ_TOKEN_FONT3 = 603,
  RJ_TOKEN_FONT4 = 604,
  RJ_TOKEN_RESPONSE_ID = 710,   // DC2 q (0x80 + id)
  RJ_TOKEN_SET_CHARSET = 717,   // ESC R n of DirectIO
  RJ_TOKEN_PAGE_AREA = 800,
  RJ_TOKEN_PAGE_BEGIN = 801,
  RJ_TOKEN_PAGE_END = 802,
  RJ_TOKEN_FLUSH = 900,         // marker, no bytes
};
