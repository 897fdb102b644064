// dialog.h: the modal dialog wrapper and the destination dialog.
#pragma once

#include <windows.h>

#include <exception>

#include "text/kvstring.h"

// Control ids of the destination dialog (template 102).
constexpr int kDestinationDialog = 102;
constexpr int kFolderField = 1000;
constexpr int kBrowseButton = 1001;

class KvDialog {
 public:
  KvDialog(const char* templateName, HINSTANCE instance, HWND owner, DLGPROC procedure)
      : templateName(templateName), instance(instance), owner(owner), procedure(procedure) {}
  virtual ~KvDialog() = default;
  KvDialog(const KvDialog&) = delete;
  KvDialog& operator=(const KvDialog&) = delete;

  // The value given to EndDialog, or -1 when the dialog cannot be made. An
  // exception raised inside the dialog procedure ends the dialog and is
  // raised again here, once the system's frames are left behind.
  int DoModal();
  // The text of a control; an empty control leaves out as it was.
  void GetItemText(int controlId, KvString& out);

  HWND window = nullptr;
  const char* templateName;
  HINSTANCE instance;
  HWND owner;
  DLGPROC procedure;
  std::exception_ptr pending;
};

// The dialog on screen; set at WM_INITDIALOG.
extern KvDialog* CurrentDialog;

INT_PTR CALLBACK DestinationDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
