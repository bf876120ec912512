#pragma once

// The desktop side of the program: opening links and files, the folder picker
// and the file dialogs. Tests replace the URL opener and answer the file
// dialogs through DialogHook, so nothing is launched and nothing blocks.

#include <QStringList>
#include <QUrl>
#include <functional>
#include <string>
#include <vector>

class QWidget;

// Opens Url through the desktop's URL handler; where that fails (no handler
// installed), through "xdg-open", then "gio open". False when nothing opened it.
bool OpenUrl(const QUrl& url);
// Opens a local file or folder through the desktop.
bool OpenLocalPath(const std::string& path);
// The same, and when nothing can open it, a message over Owner that says so
// and shows the path, so that the user can open it by other means.
bool OpenLocalPathOrTell(QWidget* owner, const std::string& path);
// The mail client on the support address.
bool OpenTechnicalSupport();

// Replaces the desktop's URL handler that OpenUrl tries first (tests record
// the URLs); an empty function restores the desktop.
void SetUrlOpener(std::function<bool(const QUrl&)> opener);
// Replaces how OpenUrl starts its fallback programs (tests record the
// programs and arguments); true when the program started. An empty function
// restores the real start, which in the dialogs' test mode starts nothing.
void SetProgramStarter(std::function<bool(const QString& program, const QStringList& arguments)> starter);

// The folder picker, starting at Path (or Root when Path is empty). True and
// Path set to the chosen folder when the user chose one; Path unchanged
// otherwise.
bool BrowseForFolder(QWidget* owner, std::string& path, const std::string& title, int flags = 0,
                     const std::string& root = std::string());

// Open dialog for several files; empty when cancelled.
std::vector<std::string> ChooseOpenFiles(QWidget* owner, const std::string& title, const std::string& folder,
                                         const std::string& filter);
// Save dialog that asks before overwriting; "" when cancelled. DefaultSuffix is
// appended (with its dot) when the chosen name has no extension.
std::string ChooseSaveFile(QWidget* owner, const std::string& title, const std::string& proposedPath,
                           const std::string& filter, const std::string& defaultSuffix);
