// update_run.h: the whole run of the updater, from the entry point to its end.
#pragma once

// Reads update.ini, guards against a second run, finds the install folder,
// shows the destination dialog and delivers the files. Every failure that
// reaches it ends the run with one error box. Always returns 0.
int RunUpdate();
