#pragma once
// A host for the update that records what it is told and lets a test act where the window would
// process its events.

#include <functional>
#include <string>
#include <vector>

#include "Setup.Host.h"

class TRecordingHost : public ISetupHost {
 public:
  std::vector<std::string> Lines;
  std::vector<std::string> Boxes;  // messages and errors, in order
  std::vector<std::string> Errors;
  std::vector<int> FileProgress;
  std::string Status;
  int OverallMaximum = 0;
  int OverallSteps = 0;
  int EventPumps = 0;
  bool Cancel = false;
  // Runs at every pump with its number (1 for the first).
  std::function<void(int)> OnPump;

  void Log(const std::string& Line) override { Lines.push_back(Line); }
  void SetStatus(const std::string& Text) override { Status = Text; }
  void SetOverallMaximum(int Maximum) override { OverallMaximum = Maximum; }
  void StepOverall() override { ++OverallSteps; }
  void SetFileProgress(int Percent) override { FileProgress.push_back(Percent); }
  void ProcessMessages() override {
    ++EventPumps;
    if (OnPump) OnPump(EventPumps);
  }
  void ShowMessage(const std::string& Text) override { Boxes.push_back(Text); }
  void ShowError(const std::string& Text) override {
    Boxes.push_back(Text);
    Errors.push_back(Text);
  }
  bool CancelRequested() const override { return Cancel; }
};
