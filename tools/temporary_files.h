// Temporary output files that a signal cannot leave behind: a thread of
// their own takes the terminating signals, removes every temporary file in
// flight, and ends the process by the same signal.
#ifndef ORLIX_TOOLS_TEMPORARY_FILES_H
#define ORLIX_TOOLS_TEMPORARY_FILES_H

#include <string>

// Blocks SIGINT, SIGTERM, SIGHUP and SIGQUIT and starts the thread that
// waits for them. Call before starting any other thread, which then
// inherits the blocked set.
void RemoveTemporariesOnSignal();

// Creates and opens a file from a mkstemp template ("...XXXXXX"), which is
// completed in place, and keeps it listed until renamed or discarded.
// Returns the descriptor, or -1 with errno set.
int CreateTemporary(std::string* pathTemplate);
// Renames a listed file into place; rename's result and errno.
int RenameTemporary(const std::string& temporary, const std::string& target);
// Removes a listed file.
void DiscardTemporary(const std::string& temporary);

#endif
