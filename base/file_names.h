#pragma once
// The names of the documents: a path's parts and the companions named after a model.

#include <string>

namespace zelk {

// Last component of a path ("" for an empty path).
std::string FileNamePart(const std::string& path);
// The path's extension with its dot, in lower case (".zkd"; "" when there is none).
std::string LowercaseExtension(const std::string& path);
// The name part of `modelPath` with its extension (from the last ".") replaced by
// `extension`, or `extension` appended; `extension` alone for an untitled model.
std::string ProposedName(const std::string& modelPath, const char* extension);
// The dimension file beside a model file: the last four characters become ".dim".
std::string CompanionName(const std::string& modelPath);

}  // namespace zelk
