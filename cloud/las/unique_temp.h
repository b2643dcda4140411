#pragma once
// Temporary files written next to an output, which may sit in a shared folder.
#include <cstdio>
#include <string>

namespace kl::las {

// Creates "<path>.XXXXXX.tmp" exclusively under a name nobody can predict, so
// a link planted beside the output is never followed. The file is readable
// like an ordinary output once renamed. Nothing (and tempPath untouched) when
// it cannot be created.
std::FILE* createUniqueTemp(const std::string& path, std::string& tempPath);

}  // namespace kl::las
