// messages.cpp: message boxes. Every box of the updater is topmost.
#include "app/messages.h"

#include "text/kvstring.h"

int KvString::ShowMessage(void* owner, const char* caption, unsigned style) const {
  return ::MessageBoxA(static_cast<HWND>(owner), Text(), caption, style | MB_TOPMOST);
}

void ReportError(const KvErrorException& error, HWND owner) {
  ReportFailure(error.code, error.message.Text(), owner);
}

void ReportFailure(uint32_t code, const char* message, HWND owner) {
  try {
    KvString text;
    text.Format("エラーが発生しました。\nCode 0x%x :%s", code, message != nullptr ? message : "");
    text.ShowMessage(owner, nullptr, MB_OK);
  } catch (...) {
    // Out of memory even for the message: the box without the details.
    ::MessageBoxA(owner, "エラーが発生しました。", nullptr, MB_OK | MB_TOPMOST);
  }
}
