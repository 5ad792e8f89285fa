#pragma once
// The update's host when nobody watches: each log line goes to standard output as it happens and
// what a box would say to standard error; nothing is asked and nothing is cancelled.

#include <functional>
#include <string>

#include "Setup.Host.h"

class TConsoleHost : public ISetupHost {
 public:
  void Log(const std::string& Line) override;
  void SetStatus(const std::string&) override {}
  void SetOverallMaximum(int) override {}
  void StepOverall() override {}
  void SetFileProgress(int) override {}
  void ProcessMessages() override {}
  void ShowMessage(const std::string& Text) override;
  void ShowError(const std::string& Text) override;
  bool CancelRequested() const override { return false; }

  int ErrorCount() const { return FErrors; }
  // Hears every log line too (the run's log file).
  std::function<void(const std::string&)> OnLog;

 private:
  int FErrors = 0;
};
