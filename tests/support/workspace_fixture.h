#pragma once
// A started workspace driven by a scripted user.

#include <gtest/gtest.h>

#include <memory>

#include "support/scripted_ui.h"
#include "workspace/workspace.h"

namespace zelk::test {

class WorkspaceTest : public ::testing::Test {
 protected:
  WorkspaceTest() : ws_(std::make_unique<Workspace>(ui_)) {
    ws_->Start();
    ui_.Messages.clear();
    ui_.PagesShown.clear();
  }

  // Types a text into a dimension field and returns the messages it caused.
  std::vector<std::string> Type(Dimension d, const std::string& text) {
    ws_->Dimensions().SetText(d, text);
    return ui_.TakeMessages();
  }

  void SetValue(int col, int row, double value) { ws_->Grid().StoreCell(col, row, true, value); }

  ScriptedUi ui_;
  std::unique_ptr<Workspace> ws_;
};

}  // namespace zelk::test
