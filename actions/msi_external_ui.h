#pragma once
// msi_external_ui.h: the installer's messages turned into the setup's own
// package progress bar and status line while the in-process runner installs,
// and the cancel answer the user gives through them.
#include <windows.h>

#include <string>

// Where the installer's progress goes; by default the package bar and the
// status line of the progress windows. Called on the installer's thread.
class IInstallerProgressSink {
 public:
  virtual ~IInstallerProgressSink() = default;
  // Without a bar no handler is registered.
  virtual bool HasBar() const = 0;
  virtual void Show() = 0;
  virtual void SetRange(int total) = 0;
  virtual void SetPosition(int position) = 0;
  virtual void SetStep(int step) = 0;
  virtual void StepIt() = 0;
  virtual void SetStatusText(const std::wstring& text) = 0;
};

// Null restores the progress windows' sink. The sink is not owned.
void SetInstallerProgressSink(IInstallerProgressSink* sink);
IInstallerProgressSink* GetInstallerProgressSink();

// The user confirmed a cancel: the next PROGRESS message is answered with
// cancel. The runner clears it when its installation ends.
void SetUserCancelled(bool cancelled);
bool IsUserCancelled();

// While a cancel question is open the handler holds the installer at its
// next message, instead of the thread being suspended where it may hold a
// lock the question's dialog needs.
void OpenCancelQuestion();
void CloseCancelQuestion();

// The callback given to MsiSetExternalUIW: 0 not handled, IDOK or IDCANCEL.
// Never throws.
INT CALLBACK MsiExternalUIHandler(LPVOID context, UINT messageType, LPCWSTR message);

// "1: 2 2: 50 3: 0 " into up to four fields (zeroed first); false for an
// unknown label or a value that is not a number. Reads a copy of the text.
bool ParseProgressMessage(const std::wstring& text, int fields[4]);
// "1: 0 2: 1033 ": the value of a record of type 0 or 2; false for type 1
// and for a text of another shape.
bool ParseCommonDataMessage(const std::wstring& text, int* type, int* value);
// Separators become line breaks and the labels the texts of the string table.
std::wstring FormatActionData(const std::wstring& text);
// Forgets the progress of the previous installation.
void ResetInstallerProgress();
