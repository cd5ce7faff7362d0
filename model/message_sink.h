#pragma once
// Where the model layer's words for the user go: the window shows each in a box, a terminal
// prints it, a test keeps it. An empty sink says nothing; a result still tells what failed.

#include <functional>
#include <string>

namespace zelk {

// Error, Warning and Information are boxes in the window; a Note is a line of the message pane.
enum class Severity { Error, Warning, Information, Note };
using MessageSink = std::function<void(Severity severity, const std::string& text)>;

}  // namespace zelk
