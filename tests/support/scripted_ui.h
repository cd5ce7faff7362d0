#pragma once
// A user who answers from a script: every message is recorded verbatim, every question and
// file dialog takes the next scripted answer. An unscripted question is answered Cancel and
// counted, so a test can tell that the program asked something it did not expect.

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "presentation/canvas.h"
#include "tests/support/recording_canvas.h"
#include "workspace/user_interface.h"

namespace zelk::test {

struct ShownMessage {
  MessageKind Kind;
  std::string Text;
  Buttons ButtonSet;
};

class ScriptedUi : public UserInterface {
 public:
  std::vector<ShownMessage> Messages;
  std::deque<Answer> Answers;
  int UnscriptedQuestions = 0;

  std::vector<FileDialogRequest> OpenRequests, SaveRequests;
  std::deque<std::optional<std::string>> DialogAnswers;

  std::map<int, std::string> Panels;
  std::vector<Page> PagesShown;
  std::map<View, int> Repaints;
  std::string Clipboard;
  int CloseRequests = 0;
  // The report box as the user left it, and the print dialog's answer.
  std::vector<RichLine> ReportBox;
  bool PrintConfirmed = false;
  std::vector<RichLine> ReportText() override { return ReportBox; }
  bool PrintReport(const std::function<void()>& build) override {
    if (PrintConfirmed) build();
    return PrintConfirmed;
  }
  // The user at the design dialog: edits the fields and says OK (true) or Cancel; none
  // scripted cancels. The dialog seen is kept.
  std::function<bool(DesignDialogModel&)> OnDesignDialog;
  std::vector<DesignDialogModel> DesignDialogsShown;
  bool RunDesignDialog(DesignDialogModel& dialog) override {
    DesignDialogsShown.push_back(dialog);
    if (OnDesignDialog && OnDesignDialog(dialog) &&
        dialog.Validate().first == DesignDialogModel::Field::None)
      return true;
    dialog.Cancel();
    return false;
  }
  // Runs inside ProcessEvents, as a user acting while a computation runs.
  std::function<void()> OnProcessEvents;

  Answer ShowMessage(MessageKind kind, const std::string& text, Buttons buttons) override {
    Messages.push_back({kind, text, buttons});
    if (buttons == Buttons::Ok) return Answer::Ok;
    if (Answers.empty()) {
      ++UnscriptedQuestions;
      return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
    const Answer a = Answers.front();
    Answers.pop_front();
    return a;
  }
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override {
    OpenRequests.push_back(request);
    return NextDialogAnswer();
  }
  std::optional<std::string> SaveFileDialog(const FileDialogRequest& request) override {
    SaveRequests.push_back(request);
    return NextDialogAnswer();
  }
  void ProcessEvents() override {
    if (OnProcessEvents) {
      auto action = std::move(OnProcessEvents);
      OnProcessEvents = nullptr;
      action();
    }
  }
  void ShowPage(Page page) override { PagesShown.push_back(page); }
  void SetStatusPanel(int index, const std::string& text) override { Panels[index] = text; }
  void Repaint(View view) override { ++Repaints[view]; }
  void SetClipboardText(const std::string& text) override { Clipboard = text; }
  std::string ClipboardText() override { return Clipboard; }
  EditTarget Focus = EditTarget::DataGrid;
  std::vector<EditOp> TextEdits;  // Edit commands the focused text editor received
  EditTarget FocusedEditTarget() override { return Focus; }
  void EditFocusedText(EditOp op) override { TextEdits.push_back(op); }
  void CloseMainWindow() override { ++CloseRequests; }
  bool CompileTimer = false;
  void EnableCompileTimer(bool enabled) override { CompileTimer = enabled; }
  bool ProgressShown = false;
  int ProgressChanges = 0;
  std::vector<bool> RunningStates;  // every SetRunning, in order
  void SetRunning(bool running) override { RunningStates.push_back(running); }
  void ShowProgress(bool shown) override {
    ProgressShown = shown;
    ++ProgressChanges;
  }

  // The fit chart's paint box; the documented 543 x 426 unless a test sets another.
  std::pair<int, int> ChartSize{543, 426};
  std::pair<int, int> FitChartSize() override { return ChartSize; }
  ApproximateTextMeasure Measure;
  const TextMeasure& ReferenceTextMeasure() override { return Measure; }
  // Pictures are drawn on a recording canvas instead of a file.
  struct Picture {
    std::string Path;
    int Width, Height;
    RecordingCanvas Canvas;
  };
  std::vector<Picture> Pictures;
  std::string PictureError;  // returned by WritePicture when set
  std::string WritePicture(const std::string& path, int width, int height,
                           const std::function<void(Canvas&)>& draw) override {
    Pictures.push_back({path, width, height, {}});
    draw(Pictures.back().Canvas);
    return PictureError;
  }
  // The print dialog is confirmed when PrinterPage is set: one page of that size.
  std::optional<std::pair<int, int>> PrinterPage;
  std::vector<RecordingCanvas> Printed;
  bool PrintPage(const std::function<void(Canvas&, int, int)>& draw) override {
    if (!PrinterPage) return false;
    Printed.emplace_back();
    draw(Printed.back(), PrinterPage->first, PrinterPage->second);
    return true;
  }

  // Texts of the messages shown so far, in order; clears the record.
  std::vector<std::string> TakeMessages() {
    std::vector<std::string> texts;
    for (const auto& m : Messages) texts.push_back(m.Text);
    Messages.clear();
    return texts;
  }

 private:
  std::optional<std::string> NextDialogAnswer() {
    if (DialogAnswers.empty()) return std::nullopt;
    auto a = DialogAnswers.front();
    DialogAnswers.pop_front();
    return a;
  }
};

}  // namespace zelk::test
