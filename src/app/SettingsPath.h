#pragma once

#include <string>

// Where the viewer keeps what it remembers between starts (recent files, the last directory of
// each file dialog, the window's place): "flexherd/flexherd.conf" under the XDG configuration
// directory, that is $XDG_CONFIG_HOME when it is set to an absolute path, else $HOME/.config.
// Empty when neither gives one: the viewer then remembers nothing. Arguments are the
// variables' values, null when unset, so tests need not change the environment.
std::string settingsFilePath(const char* xdgConfigHome, const char* home);
