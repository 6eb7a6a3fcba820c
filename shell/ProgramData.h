#pragma once

#include <QString>

// The folder that holds the program's data `name` (the examples "Projects", the
// translation tables "Protected", the help collection "Selvane.qhc"), with a final "/":
// beside the executable when it is there, as in the build tree; else "../share/selvane/"
// from the executable's folder, where an installation puts it; else beside the
// executable, so that what is missing is reported under its usual name.
QString ProgramDataFolder(const QString& name);
