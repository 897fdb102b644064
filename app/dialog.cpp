// dialog.cpp: KvDialog and the destination dialog's procedure.
#include "app/dialog.h"

#include <utility>

#include "app/kvpath.h"
#include "app/update_settings.h"

KvDialog* CurrentDialog = nullptr;

namespace {
// The least room the folder field is read with; a longer text gets more.
constexpr int32_t kFieldReserve = 1024;
constexpr int kIdClose = 8;

INT_PTR HandleDestinationMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      CurrentDialog = reinterpret_cast<KvDialog*>(lParam);
      CurrentDialog->window = window;
      ::SetWindowTextA(window, UpdateSettings.Caption().Text());
      ::SetDlgItemTextA(window, kFolderField, UpdateSettings.destination.Text());
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          CurrentDialog->GetItemText(kFolderField, UpdateSettings.destination);
          ::EndDialog(window, IDOK);
          break;
        case IDCANCEL:
        case kIdClose:
          ::EndDialog(window, 0);
          break;
        case kBrowseButton: {
          // The browser starts from the folder the run holds, not from what
          // has been typed; a cancelled browse puts that folder back.
          KvPath path;
          path.Assign(UpdateSettings.destination.Text());
          path.Browse(window, "インストール先を指定してください。");
          ::SetDlgItemTextA(window, kFolderField, path.text.Text());
          break;
        }
        default:
          break;
      }
      return FALSE;
    default:
      return FALSE;
  }
}
}  // namespace

int KvDialog::DoModal() {
  pending = nullptr;
  const INT_PTR result = ::DialogBoxParamA(instance, templateName, owner, procedure,
                                           reinterpret_cast<LPARAM>(this));
  if (CurrentDialog == this) CurrentDialog = nullptr;
  window = nullptr;
  if (pending) {
    std::exception_ptr error = pending;
    pending = nullptr;
    std::rethrow_exception(error);
  }
  return static_cast<int>(result);
}

void KvDialog::GetItemText(int controlId, KvString& out) {
  const HWND control = ::GetDlgItem(window, controlId);
  const int typed = control != nullptr ? ::GetWindowTextLengthA(control) : 0;
  KvString buffer;
  char* room = buffer.Room(typed + 1 > kFieldReserve ? typed + 1 : kFieldReserve);
  const UINT got = ::GetDlgItemTextA(window, controlId, room, buffer.Capacity());
  if (got != 0) {
    buffer.TakeWritten(static_cast<int32_t>(got));
    out = std::move(buffer);
  }
}

// Exceptions must not pass through the system's dialog code: they are kept
// for DoModal, and the dialog ends.
INT_PTR CALLBACK DestinationDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    return HandleDestinationMessage(window, message, wParam, lParam);
  } catch (...) {
    KvDialog* dialog =
        message == WM_INITDIALOG ? reinterpret_cast<KvDialog*>(lParam) : CurrentDialog;
    if (dialog != nullptr) dialog->pending = std::current_exception();
    ::EndDialog(window, 0);
    return FALSE;
  }
}
