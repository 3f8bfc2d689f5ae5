// The version of the three programs, the one their package carries: the
// project's version in the top CMakeLists.txt, e.g. "0.1".
#pragma once

namespace ct {

const char* ProgramVersion();

}  // namespace ct
