#pragma once
// The compile session: the model text translated into a library source, the compiler
// started on it, and the library loaded when the compiler is done, or why there is none.
// It works on the model document and the model object of its host (the workspace).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/preferences.h"
#include "model/model_language.h"
#include "model/model_library.h"
#include "workspace/user_interface.h"

namespace zelk {

class CompileHost {
 public:
  virtual ~CompileHost() = default;
  virtual UserInterface& Ui() = 0;
  virtual TModel& ModelObject() = 0;
  virtual const std::string& ModelPath() const = 0;  // empty for an untitled model
  virtual const std::string& ModelSource() const = 0;
  virtual ModelCounts Counts() const = 0;  // of the Dimension page
  virtual const TZelkPrefs& Settings() const = 0;
  // Asks to save a modified model and saves it; false when the user cancels.
  virtual bool SaveModelFirst() = 0;
  virtual void PlaceModelCaret(std::size_t at) = 0;
  virtual void SetCompiled(bool compiled) = 0;
  virtual void LibraryChanged() = 0;  // loaded or unloaded: curves of the old one are gone
  virtual void ShowError(const std::string& text) = 0;
  virtual void AddMessage(const std::string& line) = 0;
};

class CompileSession {
 public:
  explicit CompileSession(CompileHost& host) : host_(host) {}
  CompileSession(const CompileSession&) = delete;
  CompileSession& operator=(const CompileSession&) = delete;

  std::vector<std::string> SourceLines;     // the Source page's text
  std::vector<SourceOrigin> SourceOrigins;  // the model text's line of each source line
  bool SourceIsC = false;
  std::string ModelBaseName;
  bool TimerEnabled = false;  // a compile runs: the poll watches for its end
  bool TextChanged = false;   // the model text changed since the running compile began

  // Writes the library source beside the model; false after a message (or a cancelled save).
  bool TranslateModel();
  // Unloads the library, removes what an earlier build left and starts the compile script.
  bool StartCompile(const std::string& pasFile);
  // A text that did not translate is not compiled: its message was shown, and the source
  // on disk belongs to an earlier text.
  void Compile();
  void CompilePascal();
  // The poll: the compiler's new output lines go to the Messages page; once the marker
  // folder exists, Finish.
  void TimerTick();
  // Where the translated source of the current model goes.
  std::string PasFilePath() const;
  // The library the compiler builds from it, beside the model file.
  std::string LibraryFilePath() const;

 private:
  // Loads the library the compiler built, or shows why there is none.
  void Finish();
  // Adds the log's lines written since the last call (a last unfinished one only `atEnd`),
  // each at the model text's position where the compiler names the source's.
  void ShowNewOutput(bool atEnd);
  CompileHost& host_;
  std::uintmax_t outputShown_ = 0;  // bytes of the log already on the Messages page
};

}  // namespace zelk
