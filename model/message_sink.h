#pragma once
// Where the model layer's words for the user go: the window shows each in a box, a terminal
// prints it, a test keeps it. An empty sink says nothing; a result still tells what failed.

#include <functional>
#include <string>

namespace zelk {

enum class Severity { Error, Warning };
using MessageSink = std::function<void(Severity severity, const std::string& text)>;

}  // namespace zelk
