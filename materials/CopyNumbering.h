#pragma once
// The name under which a material picked again enters the project list: "carbon", then
// "carbon1", "carbon2"... Plain C++ so it is tested without windows.

#include <string>
#include <vector>

#include "MateCon.h"

struct CNumberedName {
    std::string name;
    int number = 0;  // 0 for the first copy, else the number appended to the name
};

// Searches the valid entries (below count) from the last to the first for one whose name,
// without as many trailing characters as its number has decimal digits, is picked. The first
// such entry gives picked + (its number + 1); without one the picked name stays, number 0.
CNumberedName NumberedCopyName(const std::vector<CMaterial>& materials, int count,
                               const std::string& picked);
