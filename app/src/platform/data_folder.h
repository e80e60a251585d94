// Where Tickwell keeps its settings file and its log. Beside the program when
// the user may write there (the portable folder, the per-user install), so that
// a folder carried on a stick keeps its settings with it. Otherwise (Program
// Files, a read-only share) in the user's %APPDATA%\Tickwell, made on first use
// and seeded with the Tickwell.ini an administrator may have put beside the
// program.
#pragma once

#include <string>

namespace tickwell {

struct DataFolderSeam {
    // Whether the user may create files in folder and change its settings file.
    bool (*writable)(const std::string& folder);
    // The user's roaming application data folder (%APPDATA%), without a
    // backslash at the end; empty when the system names none.
    std::string (*roamingFolder)();
    static DataFolderSeam real();
};
DataFolderSeam& dataFolderSeam();

// The folder, ending in a backslash, for a program in programFolder (which
// ends in one): decided anew at each call, the fallback made and seeded.
std::string chooseDataFolder(const std::string& programFolder);

// The folder in use, decided once per run.
const std::string& dataFolder();

// Whether dataFolder() is the fallback rather than the program's own folder.
bool dataFolderIsFallback();

// Where they are, in the words of the About box.
std::string dataFolderWords();

} // namespace tickwell
