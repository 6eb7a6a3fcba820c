#pragma once

#include <QIcon>

// The program's icon, drawn from its SVG picture at the usual icon sizes; every window
// shows it.
QIcon SelvaneIcon();
