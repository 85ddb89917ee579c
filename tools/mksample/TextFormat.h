#pragma once

#include <string>

// Number formatting shared by the text writers, fixed so that files are byte-identical on
// every run.

// The shortest decimal text that reads back as exactly this float.
void appendFloat(std::string& out, float value);
// A float with 10 significant digits, the precision the project's OBJ writer uses.
void appendObjNumber(std::string& out, float value);
