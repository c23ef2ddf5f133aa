// The interactive check-health dialog driven with window messages from a second thread while
// the test's main thread holds it modally, as the Control Object's thread would. Each run
// keeps a picture of the dialog in artefacts\check_health_dialog.bmp.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "CheckHealthDlg.h"
#include "CheckHealthResource.h"
#include "DialogDriver.h"
#include "WindowMessages.h"

namespace {

using sotest::Click;
using sotest::ItemText;

// Answers each run with the next scripted pair and notes the thread it ran on.
class FakeOwner : public ICheckHealthOwner {
 public:
  explicit FakeOwner(std::vector<std::pair<long, long>> answers) : m_answers(std::move(answers)) {}
  long RunInteractiveCheckHealth(long* resultCodeExtended) override {
    threads.push_back(GetCurrentThreadId());
    const auto answer = runs < m_answers.size() ? m_answers[runs] : std::make_pair(111L, 0L);
    ++runs;
    *resultCodeExtended = answer.second;
    return answer.first;
  }
  size_t runs = 0;
  std::vector<DWORD> threads;

 private:
  std::vector<std::pair<long, long>> m_answers;
};

std::string WindowText(HWND hwnd) {
  char text[512] = {};
  GetWindowTextA(hwnd, text, sizeof text);
  return text;
}

HWND WaitForDialog(const CCheckHealthDlg& dialog) {
  return sotest::WaitForShown([&] { return dialog.Handle(); });
}

// Shows the dialog modally on this thread while `drive` runs against it on another; Exit is
// pressed afterwards in any case, so a failed step never leaves the modal loop running.
struct ModalRun {
  bool shown = false;
  bool found = false;
};
ModalRun RunModal(CCheckHealthDlg& dialog, ICheckHealthOwner* owner,
                  const std::function<void(HWND)>& drive) {
  ModalRun run;
  std::thread driver([&] {
    HWND hwnd = WaitForDialog(dialog);
    run.found = hwnd != nullptr;
    if (!hwnd) return;
    drive(hwnd);
    if (IsWindow(hwnd)) Click(hwnd, IDCANCEL);
  });
  run.shown = dialog.DoModal(owner);
  driver.join();
  return run;
}

bool WriteBitmap(const char* path, int width, int height, const void* bits) {
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = stride * height;
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + info.biSizeImage;
  FILE* out = std::fopen(path, "wb");
  if (!out) return false;
  const bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                  std::fwrite(&info, sizeof info, 1, out) == 1 &&
                  std::fwrite(bits, info.biSizeImage, 1, out) == 1;
  return std::fclose(out) == 0 && ok;
}

// One copy of the window's screen area as 24-bit bottom-up rows; empty when it failed.
std::vector<BYTE> CaptureWindow(HWND hwnd, int* width, int* height) {
  RECT rect = {};
  GetWindowRect(hwnd, &rect);
  *width = rect.right - rect.left;
  *height = rect.bottom - rect.top;
  std::vector<BYTE> pixels;
  if (*width <= 0 || *height <= 0) return pixels;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = *width;
  info.bmiHeader.biHeight = *height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dib && bits) {
    HGDIOBJ old = SelectObject(memory, dib);
    if (BitBlt(memory, 0, 0, *width, *height, screen, rect.left, rect.top, SRCCOPY)) {
      GdiFlush();
      const DWORD stride = (static_cast<DWORD>(*width) * 3 + 3) & ~3u;
      const auto* first = static_cast<const BYTE*>(bits);
      pixels.assign(first, first + stride * *height);
    }
    SelectObject(memory, old);
  }
  if (dib) DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

size_t CountColours(const std::vector<BYTE>& pixels, int width, int height) {
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  std::vector<DWORD> seen;
  for (int y = 0; y < height && seen.size() < 16; ++y) {
    const BYTE* row = pixels.data() + y * stride;
    for (int x = 0; x < width; ++x) {
      const DWORD colour = row[x * 3] | (row[x * 3 + 1] << 8) | (row[x * 3 + 2] << 16);
      bool known = false;
      for (DWORD c : seen) known = known || c == colour;
      if (!known) seen.push_back(colour);
    }
  }
  return seen.size();
}

// Saves the dialog as it shows on the screen into a 24-bit BMP once two copies in a row
// agree (the X server draws on its own time); the number of distinct colours in it (a blank
// capture has one), or 0 when none was saved.
size_t SaveScreenshot(HWND hwnd, const char* path) {
  RedrawWindow(hwnd, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  int width = 0, height = 0;
  std::vector<BYTE> previous = CaptureWindow(hwnd, &width, &height);
  for (int attempt = 0; attempt < 100 && !previous.empty(); ++attempt) {
    Sleep(50);
    std::vector<BYTE> current = CaptureWindow(hwnd, &width, &height);
    if (current == previous) break;
    previous.swap(current);
  }
  if (previous.empty()) return 0;
  CreateDirectoryA("artefacts", nullptr);
  if (!WriteBitmap(path, width, height, previous.data())) return 0;
  return CountColours(previous, width, height);
}

TEST(CheckHealthDialog, ShowsTextsOfTheStringTableAndExitWithoutRunReportsNothing) {
  CCheckHealthDlg& dialog = CCheckHealthDlg::Module();
  FakeOwner owner({});
  std::string caption, instruction, label1, label2, button1, button2;
  LONG_PTR exStyle = 0;
  const ModalRun run = RunModal(dialog, &owner, [&](HWND hwnd) {
    caption = WindowText(hwnd);
    instruction = ItemText(hwnd, IDC_CH_INSTRUCTION);
    label1 = ItemText(hwnd, IDC_CH_LABEL_RESULTCODE);
    label2 = ItemText(hwnd, IDC_CH_LABEL_RESULTCODEEXTENDED);
    button1 = ItemText(hwnd, IDOK);
    button2 = ItemText(hwnd, IDCANCEL);
    exStyle = GetWindowLongPtrA(hwnd, GWL_EXSTYLE);
  });
  ASSERT_TRUE(run.found);
  EXPECT_TRUE(run.shown);
  EXPECT_EQ("POSPrinter CheckHealth Interactive", caption);
  EXPECT_EQ("In order to perform CheckHealth method, please push a CheckHealth button.",
            instruction);
  EXPECT_EQ("ResultCode", label1);
  EXPECT_EQ("ResultCodeExtended", label2);
  EXPECT_EQ("CheckHealth", button1);
  EXPECT_EQ("Exit", button2);
  EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
  EXPECT_EQ(0u, owner.runs);
  EXPECT_EQ(0, dialog.GetRunFlag());
  EXPECT_EQ(0, dialog.GetResultCode());
  EXPECT_EQ(0, dialog.GetResultCodeExtended());
  EXPECT_FALSE(dialog.IsShowing());
  EXPECT_EQ(nullptr, dialog.Handle());
}

TEST(CheckHealthDialog, EachRunShowsItsCodesAndTheLastRunIsKept) {
  CCheckHealthDlg& dialog = CCheckHealthDlg::Module();
  FakeOwner owner({{114, 1002}, {0, 0}, {112, 0}});
  std::vector<std::pair<std::string, std::string>> shown;
  bool openAfterRun = false;
  size_t colours = 0;
  const ModalRun run = RunModal(dialog, &owner, [&](HWND hwnd) {
    for (int i = 0; i < 3; ++i) {
      Click(hwnd, IDOK);
      shown.emplace_back(ItemText(hwnd, IDC_CH_RESULTCODE),
                         ItemText(hwnd, IDC_CH_RESULTCODEEXTENDED));
    }
    openAfterRun = IsWindowVisible(hwnd) != FALSE;
    colours = SaveScreenshot(hwnd, "artefacts\\check_health_dialog.bmp");
  });
  ASSERT_TRUE(run.found);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"114", "1002"}, {"0", "0"}, {"112", "0"}};
  EXPECT_EQ(expected, shown);
  EXPECT_TRUE(openAfterRun);
  EXPECT_GT(colours, 1u) << "the screenshot is blank or missing";
  EXPECT_EQ(3u, owner.runs);
  // The check runs on the thread that shows the dialog, the Control Object's.
  for (DWORD thread : owner.threads) EXPECT_EQ(GetCurrentThreadId(), thread);
  EXPECT_EQ(1, dialog.GetRunFlag());
  EXPECT_EQ(112, dialog.GetResultCode());
  EXPECT_EQ(0, dialog.GetResultCodeExtended());
}

TEST(CheckHealthDialog, ShowingAgainStartsFromNothing) {
  CCheckHealthDlg& dialog = CCheckHealthDlg::Module();
  FakeOwner first({{111, 5}});
  RunModal(dialog, &first, [](HWND hwnd) { Click(hwnd, IDOK); });
  ASSERT_EQ(111, dialog.GetResultCode());
  FakeOwner second({});
  std::string code;
  const ModalRun run = RunModal(dialog, &second, [&](HWND hwnd) {
    code = ItemText(hwnd, IDC_CH_RESULTCODE);
  });
  ASSERT_TRUE(run.found);
  EXPECT_EQ("", code);
  EXPECT_EQ(0, dialog.GetRunFlag());
  EXPECT_EQ(0, dialog.GetResultCode());
  EXPECT_EQ(0, dialog.GetResultCodeExtended());
}

TEST(CheckHealthDialog, EscapeAndTheCloseBoxEndItLikeExit) {
  for (UINT message : {UINT(WM_KEYDOWN), UINT(WM_CLOSE)}) {
    SCOPED_TRACE(message == WM_CLOSE ? "close box" : "Esc");
    CCheckHealthDlg& dialog = CCheckHealthDlg::Module();
    FakeOwner owner({});
    HWND seen = nullptr;
    bool goneAfter = false;
    std::thread driver([&] {
      seen = WaitForDialog(dialog);
      if (!seen) return;
      if (message == WM_CLOSE) {
        PostMessageA(seen, WM_CLOSE, 0, 0);
      } else {
        // The modal loop's IsDialogMessage turns Esc on a control into IDCANCEL.
        PostMessageA(GetDlgItem(seen, IDOK), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
      }
    });
    EXPECT_TRUE(dialog.DoModal(&owner));
    driver.join();
    ASSERT_NE(nullptr, seen);
    goneAfter = !IsWindow(seen);
    EXPECT_TRUE(goneAfter);
    EXPECT_EQ(0, dialog.GetRunFlag());
    EXPECT_EQ(0u, owner.runs);
  }
}

TEST(CheckHealthDialog, ASecondShowingWhileOpenIsRefusedAndLeavesTheFirstAlone) {
  CCheckHealthDlg& dialog = CCheckHealthDlg::Module();
  FakeOwner owner({{0, 0}});
  FakeOwner intruder({{111, 1}});
  bool secondShown = true;
  std::string code;
  const ModalRun run = RunModal(dialog, &owner, [&](HWND hwnd) {
    secondShown = dialog.DoModal(&intruder);  // another service object, another thread
    Click(hwnd, IDOK);
    code = ItemText(hwnd, IDC_CH_RESULTCODE);
  });
  ASSERT_TRUE(run.found);
  EXPECT_FALSE(secondShown);
  EXPECT_EQ("0", code);
  EXPECT_EQ(1u, owner.runs);
  EXPECT_EQ(0u, intruder.runs);
}

TEST(CheckHealthDialog, TheQuitMessageDestroysTheWindow) {
  CCheckHealthDlg& dialog = CCheckHealthDlg::Module();
  FakeOwner owner({});
  HWND seen = nullptr;
  std::thread driver([&] {
    seen = WaitForDialog(dialog);
    if (seen) PostMessageA(seen, CheckHealthQuitMessage(), 0, 0);
  });
  dialog.DoModal(&owner);
  driver.join();
  ASSERT_NE(nullptr, seen);
  EXPECT_FALSE(IsWindow(seen));
  EXPECT_FALSE(dialog.IsShowing());
}

// Codes reach the edits through a fixed buffer: the widest code fits whole, and a buffer
// too small gets a cut, terminated text instead of bytes past its end.
TEST(CheckHealthDialog, CodesAreWrittenWithinTheirBuffer) {
  CCheckHealthDlg& dialog = CCheckHealthDlg::Module();
  FakeOwner owner({{LONG_MIN, LONG_MAX}});
  std::string code, extended;
  RunModal(dialog, &owner, [&](HWND hwnd) {
    Click(hwnd, IDOK);
    code = ItemText(hwnd, IDC_CH_RESULTCODE);
    extended = ItemText(hwnd, IDC_CH_RESULTCODEEXTENDED);
  });
  EXPECT_EQ("-2147483648", code);
  EXPECT_EQ("2147483647", extended);

  struct Row {
    size_t size;
    long value;
    const char* text;
    size_t length;
  };
  const Row rows[] = {
      {12, LONG_MIN, "-2147483648", 11}, {11, LONG_MIN, "-214748364", 10},
      {4, 1002, "100", 3},               {1, 7, "", 0},
  };
  for (const Row& row : rows) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    const size_t length = FormatResultCode(buffer, row.size, row.value);
    SCOPED_TRACE(row.text);
    EXPECT_EQ(row.length, length);
    EXPECT_STREQ(row.text, buffer);
    EXPECT_EQ('#', buffer[row.size]);  // the byte after the buffer is untouched
  }
  EXPECT_EQ(0u, FormatResultCode(nullptr, 8, 1));
}

}  // namespace
