#pragma once
// The one seam between the core and the person at the screen. The Qt window implements it;
// tests implement a scripted double. The core never talks to the user any other way.

#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "base/design_dialog.h"
#include "base/rich_line.h"
#include "model/message_sink.h"

namespace zelk {

class Canvas;
class TextMeasure;

enum class MessageKind { Error, Warning, Information, Confirmation };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Yes, No, Cancel };

// Filter in the "Description|pattern|Description|pattern" form; FilterIndex counts from 1.
struct FileDialogRequest {
  std::string Title;
  std::string Filter;
  int FilterIndex = 1;
  std::string DefaultExtension;
  std::string ProposedName;
  std::string StartFolder;  // empty: the dialog's own choice
  bool ConfirmOverwrite = false;
};

enum class Page {
  // right notebook
  Data,
  Model,
  Source,
  FitChart,
  ParameterDetails,
  Covariances,
  Autocorrelation,
  Report,
  Debug,
  Profiles,  // the F-limit profiles
  FitPlots,  // observed and residuals against predicted
  // upper left
  Dimension,
  Parameters,
  Flow,
  FTest,  // the Flow page's "F-Test" sub-page
  // lower left
  Messages,
  Visibility,
};

// What a repaint request concerns; the window decides how much to redraw.
enum class View {
  Dimensions,      // texts and positions of the six dimension controls
  DataGridLayout,  // column count or headings changed
  DataGrid,        // cell texts, editor or selection changed
  ParameterGrids,
  FitChart,
  Messages,     // the message pane's lines
  ModelText,    // the model editor's text was replaced by the program
  ModelCaret,   // the model editor's caret was placed by the program
  Source,       // the generated source and whether its page is shown
  Flow,         // the Optimization page's objective, counters and objective type
  Visibility,   // the visibility tree
  Debug,        // the Debug page's grid
  Covariances,  // the Covariances page's grid and determinant line
  Profiles,     // the F-limit profiles' plots
  Report,       // the report box's text was rebuilt
  Residuals,    // the Autocorelation page's grid and the height of its graph
};

// Where the Edit commands act: the data grid itself, a parameter grid (Undo and Redo only;
// it copies by itself), or a text editor (the model editor, a grid cell's open editor) that
// edits its own text.
enum class EditTarget { None, DataGrid, ParameterGrid, TextEditor };
enum class EditOp { Cut, Copy, Paste, Delete, Undo, Redo };

// The status bar's panels: the data file, the model file, the compile state, what runs.
inline constexpr int kRunningPanel = 3;

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // Modal message box; returns the button pressed.
  virtual Answer ShowMessage(MessageKind kind, const std::string& text, Buttons buttons) = 0;
  // Returns the chosen path, or nothing when the user cancelled.
  virtual std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> SaveFileDialog(const FileDialogRequest& request) = 0;
  // Lets pending window events run; any command may run inside this call.
  virtual void ProcessEvents() = 0;
  virtual void ShowPage(Page page) = 0;
  virtual void SetStatusPanel(int index, const std::string& text) = 0;
  virtual void Repaint(View view) = 0;
  virtual void SetClipboardText(const std::string& text) = 0;
  virtual std::string ClipboardText() = 0;
  // The control holding the keyboard focus, as the Edit commands see it.
  virtual EditTarget FocusedEditTarget() = 0;
  // Cut, Copy, Paste, Delete, Undo or Redo in the focused text editor, on its own text.
  virtual void EditFocusedText(EditOp op) = 0;
  // A close that was confirmed while a computation ran may now go ahead.
  virtual void CloseMainWindow() = 0;
  // The progress window, shown with its animation running around one-shot computations.
  virtual void ShowProgress(bool shown) = 0;
  // A long computation started (true) or ended (false). Meanwhile the commands that would
  // change the model, the data, the dimensions or the parameter table are unavailable, and
  // the status bar's running panel (kRunningPanel) says what runs.
  virtual void SetRunning(bool running) = 0;
  // The compile driver's poll: while enabled, CompileTimerTimer runs every 1000 ms.
  virtual void EnableCompileTimer(bool enabled) = 0;

  // The report box: what it holds now, with the user's own edits.
  virtual std::vector<RichLine> ReportText() = 0;
  // The print dialog; when confirmed, `build` refills the report box and the box is printed
  // page after page. False when the user cancelled.
  virtual bool PrintReport(const std::function<void()>& build) = 0;
  // "Design next point(s)", modal, with the dialog's validation on every close; true on OK.
  virtual bool RunDesignDialog(DesignDialogModel& dialog) = 0;
  // Client width and height of the fit chart's paint box, in screen pixels.
  virtual std::pair<int, int> FitChartSize() = 0;
  // Text sizes on the screen a metafile is referenced to.
  virtual const TextMeasure& ReferenceTextMeasure() = 0;
  // Draws a picture of width x height pixels into an image file of the format its
  // extension names (".png", ".svg"). Returns why it failed, empty on success.
  virtual std::string WritePicture(const std::string& path, int width, int height,
                                   const std::function<void(Canvas&)>& draw) = 0;
  // The print dialog; when confirmed, one page is printed by `draw`, which receives the
  // page's canvas and its size in device units. False when the user cancelled; a printer
  // failure is reported by the platform.
  virtual bool PrintPage(const std::function<void(Canvas&, int width, int height)>& draw) = 0;
};

// The core's messages as the user's boxes, each with an OK button.
inline MessageSink BoxesOf(UserInterface& ui) {
  return [&ui](Severity severity, const std::string& text) {
    const MessageKind kind = severity == Severity::Error         ? MessageKind::Error
                             : severity == Severity::Information ? MessageKind::Information
                                                                 : MessageKind::Warning;
    ui.ShowMessage(kind, text, Buttons::Ok);
  };
}

}  // namespace zelk
