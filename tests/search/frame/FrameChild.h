#pragma once

#include <string>

// Runs the child commands given after "--child"; answers the process exit code:
// 0 when every command did what was expected, else the 1-based index of the failed one.
int RunFrameChild(int argc, char** argv);

std::string ToHex(const std::string& bytes);
std::string FromHex(const std::string& hex);
