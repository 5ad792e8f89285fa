#pragma once
// What the update needs from whoever runs it: the wizard's window, a test, a benchmark.
//
// The update runs on the caller's thread and hands control back through ProcessMessages between
// its steps; a cancel confirmed there (CancelRequested) stops it at its next check, and may already
// have rolled back what was moved into the backup folders.

#include <string>

class ISetupHost {
 public:
  virtual ~ISetupHost() = default;

  virtual void Log(const std::string& Line) = 0;         // a new last line of the log
  virtual void SetStatus(const std::string& Text) = 0;  // the file being worked on
  virtual void SetOverallMaximum(int Maximum) = 0;
  virtual void StepOverall() = 0;                       // one more item done; the log shows its end
  virtual void SetFileProgress(int Percent) = 0;        // 0 to 100 within the current file
  virtual void ProcessMessages() = 0;
  // Boxes with an OK button and the program's title; they wait until dismissed.
  virtual void ShowMessage(const std::string& Text) = 0;
  virtual void ShowError(const std::string& Text) = 0;
  virtual bool CancelRequested() const = 0;
};
