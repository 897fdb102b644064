// check_window.cpp: the window shown while the delivered files are compared.
#include "app/check_window.h"

#include <commctrl.h>

namespace {
// Shown at once when the comparison has this much to read (a quarter of a
// second or more from a warm cache, seconds from a cold disk), otherwise
// once it has taken this long.
constexpr uint64_t kShowFromBytes = 64ull * 1024 * 1024;
constexpr DWORD kShowAfterMs = 500;
// Once shown, the window stays long enough to be read rather than flash.
constexpr DWORD kShownAtLeastMs = 500;
// The window answers (paints, moves) at least this often.
constexpr DWORD kPumpEveryMs = 30;
constexpr int kBarSteps = 1000;
constexpr int kWidth = 360;
constexpr int kHeight = 115;
constexpr int kTextId = 1002;
constexpr int kBarId = 1003;
}  // namespace

KvCheckWindow::KvCheckWindow(const char* caption, uint64_t total)
    : caption_(caption), total_(total), start_(::GetTickCount()) {
  if (total_ >= kShowFromBytes) Show();
}

KvCheckWindow::~KvCheckWindow() {
  if (window_ == nullptr) return;
  pumpedAt_ = ::GetTickCount() - kPumpEveryMs;
  Step(0);  // the bar as far as the comparison came
  // Painted and answering while it stays.
  while (::GetTickCount() - shownAt_ < kShownAtLeastMs) {
    Pump();
    ::Sleep(20);
  }
  ::DestroyWindow(window_);
  Pump();
}

void KvCheckWindow::Step(uint64_t done) {
  done_ += done;
  const DWORD now = ::GetTickCount();
  if (window_ == nullptr) {
    if (now - start_ < kShowAfterMs) return;
    Show();
    if (window_ == nullptr) return;
  }
  // The bar is moved and painted a few dozen times a second, not for every
  // piece read: each move repaints it, which costs more than the reading.
  if (now - pumpedAt_ < kPumpEveryMs) return;
  if (bar_ != nullptr && total_ > 0) {
    const uint64_t part = done_ >= total_ ? total_ : done_;
    const int position = static_cast<int>(part * kBarSteps / total_);
    if (position != barPosition_) {
      barPosition_ = position;
      ::SendMessageA(bar_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    }
  }
  Pump();
}

void KvCheckWindow::Show() {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  const int x = (::GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
  const int y = (::GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
  // The dialog class, so that it looks and is found like the run's other
  // windows; topmost, as the message boxes are.
  window_ = ::CreateWindowExA(WS_EX_TOPMOST | WS_EX_DLGMODALFRAME, WC_DIALOG, caption_,
                              WS_POPUP | WS_CAPTION | WS_VISIBLE, x, y, kWidth, kHeight, nullptr,
                              nullptr, ::GetModuleHandleA(nullptr), nullptr);
  if (window_ == nullptr) return;  // the comparison goes on without it
  shownAt_ = ::GetTickCount();
  RECT client;
  ::GetClientRect(window_, &client);
  const HFONT font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  const HWND text = ::CreateWindowExA(
      0, "STATIC", "コピーしたファイルを確認しています。\nしばらくお待ちください。",
      WS_CHILD | WS_VISIBLE | SS_LEFT, 12, 10, client.right - 24, 40, window_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextId)), nullptr, nullptr);
  if (text != nullptr) ::SendMessageA(text, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  bar_ = ::CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 12, 58,
                           client.right - 24, 18, window_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(kBarId)), nullptr, nullptr);
  if (bar_ != nullptr) ::SendMessageA(bar_, PBM_SETRANGE32, 0, kBarSteps);
  ::UpdateWindow(window_);
  Pump();
}

void KvCheckWindow::Pump() {
  pumpedAt_ = ::GetTickCount();
  MSG message;
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Not this window's to take: left for the loop that owns the run.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
}
