// What a plugin planted by an ordinary user can do inside the analyzer that
// loads it. Two such plugins are built from this code: a style (found through
// QT_PLUGIN_PATH and QT_STYLE_OVERRIDE) and a platform plugin (found through
// -platformpluginpath). Neither is what Qt asks for, so Qt goes on without
// them, but their constructors have run inside the analyzer by then.
#pragma once

#include <QObject>

// Writes one line to standard error: what the process may do.
//   planted <kind>: CapEff <hex>, packet socket <opened|refused>
void ReportWhatThePluginMay(const char* kind);

// As the test's hand on the controls: OK on the splash, a session capture of
// $QUARN_PLANTED_FRAMES frames (the file "planted-capturing" in the working
// directory says when Start has been pressed), Write output, then close the
// main window. A message box is told on standard error ("planted box: TEXT")
// and closed. Gives up after 60 s.
void DriveTheAnalyzer();
