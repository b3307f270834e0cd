#pragma once
// The frames of `gckmatch sequence`: image files as given, or the image files of one folder.

#include <string>
#include <vector>

namespace gck {

// `given` is a list of image files, kept as it is, or a single folder, whose png, jpg and jpeg
// files (any letter case) are taken in NameOrder. Returns false with a message when a folder is
// one of several arguments, cannot be read or holds no image file.
bool ListFrames(const std::vector<std::string>& given, std::vector<std::string>* frames,
                std::string* error);

// Whether `a` sorts before `b`: character by character, but a run of digits by its value, so
// that frame9 comes before frame10.
bool NameOrder(const std::string& a, const std::string& b);

}  // namespace gck
