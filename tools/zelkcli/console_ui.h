#pragma once
// The user seen from a terminal: every message goes to standard error on one line, and
// questions are answered so that nothing is saved or discarded behind the user's back.

#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/zelkcli/pictures.h"
#include "workspace/user_interface.h"

namespace zelk {

class ConsoleUi : public UserInterface {
 public:
  explicit ConsoleUi(std::string program) : program_(std::move(program)) {}
  Answer ShowMessage(MessageKind, const std::string& text, Buttons buttons) override {
    std::string line = text;
    for (char& c : line)
      if (c == '\n') c = ' ';
    LastMessage = line;
    if (HoldMessages)
      Held.push_back(line);
    else
      std::cerr << program_ << ": " << line << "\n";
    return buttons == Buttons::Ok      ? Answer::Ok
           : buttons == Buttons::YesNo ? Answer::No
                                       : Answer::Cancel;
  }
  std::optional<std::string> OpenFileDialog(const FileDialogRequest&) override {
    return std::nullopt;
  }
  std::optional<std::string> SaveFileDialog(const FileDialogRequest&) override {
    return std::nullopt;
  }
  // Messages wait in Held while set, to come out after what belongs before them.
  bool HoldMessages = false;
  std::vector<std::string> Held;
  std::string LastMessage;  // the latest message, held or not
  void ReleaseHeld() {
    for (const std::string& line : Held) std::cerr << program_ << ": " << line << "\n";
    Held.clear();
  }
  // Runs between the steps of a search, as the window's event processing would.
  std::function<void()> OnProcessEvents;
  void ProcessEvents() override {
    if (OnProcessEvents) OnProcessEvents();
  }
  void ShowPage(Page) override {}
  void SetStatusPanel(int, const std::string&) override {}
  void Repaint(View) override {}
  void SetClipboardText(const std::string&) override {}
  std::string ClipboardText() override { return {}; }
  EditTarget FocusedEditTarget() override { return EditTarget::None; }
  void EditFocusedText(EditOp) override {}
  void CloseMainWindow() override {}
  void ShowProgress(bool) override {}
  void SetRunning(bool) override {}
  void EnableCompileTimer(bool) override {}
  std::vector<RichLine> ReportText() override { return {}; }
  bool PrintReport(const std::function<void()>&) override { return false; }
  bool RunDesignDialog(DesignDialogModel& dialog) override {
    dialog.Cancel();
    return false;
  }
  // The size charts are written at.
  std::pair<int, int> ChartSize{800, 600};
  std::pair<int, int> FitChartSize() override { return ChartSize; }
  const TextMeasure& ReferenceTextMeasure() override { return ChartTextMeasure(); }
  std::string WritePicture(const std::string& path, int width, int height,
                           const std::function<void(Canvas&)>& draw) override {
    return WriteChartPicture(path, width, height, draw);
  }
  bool PrintPage(const std::function<void(Canvas&, int, int)>&) override { return false; }

 private:
  std::string program_;
};

}  // namespace zelk
